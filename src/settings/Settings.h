#pragma once
// The settings store: the DNC system's ini file, read through typed reads with a default at
// the moment a setting is needed, and the per-user values.
#include <bitset>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

inline constexpr const char* kNoIniCaption = "Advarsel";
inline constexpr const char* kNoIniText = "Programfeil - ingen aktiv ini-fil:";
inline constexpr const char* kVakoKey = "Software\\Vako";
inline constexpr const char* kPersonalKey = "Software\\Vako\\Personal\\";
inline constexpr const char* kDefaultIniFile = "C:\\Vako\\Vako.ini";

// Process-wide state, set by LocateIniFile.
const std::string& IniFileName();
const std::string& ProgramDirectory();
const std::string& SystemFileExt();

struct LocateOptions {
    std::string programName = "VakoEdit";  // file name without directory and extension
    std::string programDirectory;           // directory of the running program, DNC form, ends "\"
    std::vector<std::string> arguments;     // command-line arguments after the program
    std::string explicitIni;                // the skarv command's --ini: overrides steps 1-6
    // An installed program's last resort when the settings name no ini file that exists and
    // no argument names one: the ini file it gives (DNC form), unless empty.
    std::function<std::string()> fallbackIni;
};
void LocateIniFile(const LocateOptions& options);
// Directory of the running program in DNC form, from /proc/self/exe.
std::string RunningProgramDirectory();

// Test and tool hooks: set the process-wide values directly.
void SetIniFileName(const std::string& name);
void SetProgramDirectory(const std::string& dir);
void SetSystemFileExt(const std::string& ext);

std::string ReadIniText(const std::string& section, const std::string& key,
                        const std::string& def, bool convert = false);
std::string ReadIniString(const std::string& section, const std::string& key,
                          const std::string& def, bool convert = false);
bool ReadIniBool(const std::string& section, const std::string& key, bool def);
int32_t ReadIniInt(const std::string& section, const std::string& key, int32_t def);
double ReadIniFloat(const std::string& section, const std::string& key, double def);
using CharSet = std::bitset<256>;
bool ReadIniCharSet(const std::string& section, const std::string& key, const std::string& def,
                    CharSet& set);

std::string ReadProgramExt();
std::string BuildExtraFilters(const std::string& section);
std::string MachineSection(int index);

int ReadPersonalInt(const std::string& name, int def);
void WritePersonalInt(const std::string& name, int value);
std::string ReadPersonalString(const std::string& subkey, const std::string& name,
                               const std::string& def);
void WritePersonalString(const std::string& subkey, const std::string& name,
                         const std::string& value);

// Text and message helpers.
std::string ZeroPad(int32_t value, int width);
std::string FormatFixed(int width, int decimals, double value);
std::string PadText(const std::string& s, int width, bool rightAlign);
int32_t DigitsToInt(const std::string& s);
double TextToFloat(const std::string& s, int start, int count);
int FileExtPos(const std::string& name);  // 1-based position of the dot, or 0

// The raw profile read: value of [section] key in the named file, or def. Exposed for tests
// and the benchmark.
std::string ReadProfileString(const std::string& section, const std::string& key,
                              const std::string& def, const std::string& iniFile);
