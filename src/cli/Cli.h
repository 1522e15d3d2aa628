#pragma once
// The skarv command: sub-commands register themselves with SKARV_COMMAND in their own file.
#include <string>
#include <string_view>
#include <vector>

#include "settings/InputFile.h"

struct CliContext {
    std::vector<std::string> args;  // the sub-command's own arguments
    std::string iniFile;            // --ini, empty when not given
    int machine = 1;                // --machine, 1-based
    bool machineGiven = false;
};

using CliFn = int (*)(CliContext&);

struct CliRegistrar {
    CliRegistrar(const char* name, const char* usage, CliFn fn);
};

#define SKARV_COMMAND(name, usage, fn) \
    static const CliRegistrar cliRegistrar_##fn(name, usage, fn)

// Prints "skarv: " + message and the usage text on standard error; returns 2.
int UsageError(const std::string& message);
// Prints a message of the system's own on standard error (Windows-1252 shown as UTF-8).
void PrintError(const std::string& text);
// What the guard of the commands prints for a failure no command caught.
inline constexpr const char* kOutOfMemoryText = "ikke nok minne";
inline constexpr const char* kUnknownErrorText = "ukjent feil";

// Reads a whole file (DNC or native path) or standard input when name is empty or "-": only
// a regular file, at most kInputLimit bytes (also of standard input). fault says why not.
bool ReadAllBytes(const std::string& name, std::string& bytes, InputFault* fault = nullptr);
// ReadAllBytes; on failure the load message with its reason is printed.
bool LoadInput(const std::string& name, std::string& bytes);
// Writes bytes to a file safely (temporary file, then rename) or to standard output for "-".
bool WriteAllBytes(const std::string& name, const std::string& bytes);
// WriteAllBytes; on failure "Feil med lagring av " + target under "Lagre fil" is shown.
bool SaveOutput(const std::string& target, const std::string& bytes);
// The value after the option at args[i], with i moved onto it; false when the option is last.
bool OptionValue(const std::vector<std::string>& args, size_t& i, std::string& value);
// Parses a whole decimal number; false on anything else.
bool ParseCliInt(const std::string& s, int& value);

// "--lines FØRSTE-SISTE" (1-based) as 0-based first and last; false when it is no range.
bool ParseLineRange(const std::string& text, long long& first, long long& last);
