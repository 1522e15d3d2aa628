#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <map>
#include <new>

#include "cli/Cli.h"
#include "platform/QtKeyStore.h"
#include "settings/InputFile.h"
#include "settings/Installation.h"
#include "settings/MessageSink.h"
#include "settings/PathResolve.h"
#include "settings/Settings.h"
#include "settings/TextUtil.h"

namespace {
struct Command {
    CliFn fn;
    std::string usage;
};
std::map<std::string, Command>& Commands() {
    static std::map<std::string, Command> commands;
    return commands;
}

std::string UsageText() {
    std::string u = "Bruk: skarv [--ini FIL] [--machine N] KOMMANDO ...\n";
    for (auto& [name, c] : Commands()) u += "  skarv " + c.usage + "\n";
    u += "  skarv --help | --version\n";
    return u;
}
}  // namespace

CliRegistrar::CliRegistrar(const char* name, const char* usage, CliFn fn) {
    Commands()[name] = Command{fn, usage};
}

void PrintError(const std::string& text) {
    // A message box breaks its lines at "\r"; so does the terminal here.
    std::string lines;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r') lines += text[i];
        else if (i + 1 >= text.size() || text[i + 1] != '\n') lines += '\n';
    }
    std::string t = Cp1252ToUtf8(lines);
    std::fprintf(stderr, "%s\n", t.c_str());
}

int UsageError(const std::string& message) {
    if (!message.empty()) PrintError("skarv: " + message);
    std::fputs(Cp1252ToUtf8(UsageText()).c_str(), stderr);
    return 2;
}

bool ReadAllBytes(const std::string& name, std::string& bytes, InputFault* fault) {
    InputFault f = InputFault::None;
    // Standard input is read as far as the limit: a device that never ends stops there.
    bool ok = name.empty() || name == "-" ? ReadInputStream(STDIN_FILENO, bytes, f)
                                          : ReadInputFile(name, bytes, f);
    if (fault) *fault = f;
    return ok;
}

bool LoadInput(const std::string& name, std::string& bytes) {
    InputFault fault = InputFault::None;
    if (ReadAllBytes(name, bytes, &fault)) return true;
    PrintError(LoadFailureText(name.empty() ? "-" : name, fault));
    return false;
}

bool SaveOutput(const std::string& target, const std::string& bytes) {
    if (WriteAllBytes(target, bytes)) return true;
    ShowMessageBox("Lagre fil", "Feil med lagring av " + target);
    return false;
}

bool OptionValue(const std::vector<std::string>& args, size_t& i, std::string& value) {
    if (i + 1 >= args.size()) return false;
    value = args[++i];
    return true;
}

bool WriteAllBytes(const std::string& name, const std::string& bytes) {
    if (name == "-") {
        return std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size() &&
               std::fflush(stdout) == 0;
    }
    std::string target = ResolvePath(name);
    std::string tmp = target + ".skarv-tmp";
    int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) return false;
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0) {
            ::close(fd);
            ::unlink(tmp.c_str());
            return false;
        }
        done += static_cast<size_t>(n);
    }
    if (::fsync(fd) != 0 || ::close(fd) != 0 || ::rename(tmp.c_str(), target.c_str()) != 0) {
        ::unlink(tmp.c_str());
        return false;
    }
    return true;
}

bool ParseLineRange(const std::string& text, long long& first, long long& last) {
    size_t dash = text.find('-');
    if (dash == std::string::npos) return false;
    int a, b;
    if (!ParseCliInt(text.substr(0, dash), a) || !ParseCliInt(text.substr(dash + 1), b)) return false;
    if (a < 1 || b < a) return false;
    first = a - 1;
    last = b - 1;
    return true;
}

bool ParseCliInt(const std::string& s, int& value) {
    if (s.empty()) return false;
    size_t i = (s[0] == '-' || s[0] == '+') ? 1 : 0;
    if (i == s.size()) return false;
    long long v = 0;
    for (; i < s.size(); ++i) {
        if (s[i] < '0' || s[i] > '9') return false;
        v = v * 10 + (s[i] - '0');
        if (v > 2147483647LL) return false;
    }
    value = static_cast<int>(s[0] == '-' ? -v : v);
    return true;
}

int main(int argc, char** argv) {
    CliContext ctx;
    int i = 1;
    for (; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--ini" || a == "--machine") {
            if (i + 1 >= argc) return UsageError(a + " mangler verdi");
            std::string v = argv[++i];
            if (a == "--ini") {
                ctx.iniFile = v;
            } else if (!ParseCliInt(v, ctx.machine) || ctx.machine < 1) {
                return UsageError("ugyldig maskinnummer: " + v);
            } else {
                ctx.machineGiven = true;
            }
        } else if (a == "-h" || a == "--help") {
            std::fputs(Cp1252ToUtf8(UsageText()).c_str(), stdout);
            return 0;
        } else if (a == "--version") {
            std::printf("skarv (Skarv-Editor) %s\n", SKARV_VERSION);
            return 0;
        } else {
            break;
        }
    }
    if (i >= argc) return UsageError("");
    std::string name = argv[i++];
    auto it = Commands().find(name);
    if (it == Commands().end()) return UsageError("ukjent kommando: " + name);
    for (; i < argc; ++i) ctx.args.emplace_back(argv[i]);

    SetMessageSink([](const std::string& caption, const std::string& text) {
        PrintError(caption + ": " + text);
    });
    static QtKeyStore store;
    SetKeyStore(&store);
    LocateOptions opt;
    opt.programDirectory = RunningProgramDirectory();
    UseInstalledLayout(opt);
    if (!ctx.iniFile.empty()) {
        char buf[4096];
        std::string p = ctx.iniFile;
        if (p[0] != '/' && p.find('\\') == std::string::npos && ::getcwd(buf, sizeof buf))
            p = std::string(buf) + "/" + p;
        opt.explicitIni = p[0] == '/' ? NativeToDncPath(p) : p;
        // An ini file that is there but is no file to read (a folder, a FIFO) is told; a
        // missing one gives the defaults, as the editor does.
        InputFile probe;
        if (!probe.Open(opt.explicitIni) && probe.Fault() != InputFault::Missing) {
            PrintError(LoadFailureText(ctx.iniFile, probe.Fault()));
            return 1;
        }
    }
    LocateIniFile(opt);
    InitTextDebug();
    // The one guard of every command: whatever a command did not catch ends it with the
    // reason and status 1, never with an abort.
    try {
        return it->second.fn(ctx);
    } catch (const std::bad_alloc&) {
        PrintError("skarv: " + std::string(kOutOfMemoryText));
    } catch (const std::exception& e) {
        PrintError("skarv: " + Utf8ToCp1252(e.what()));
    } catch (...) {
        PrintError("skarv: " + std::string(kUnknownErrorText));
    }
    return 1;
}
