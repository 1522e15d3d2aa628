// skarv visual, show and ini: the control-code notation and the typed settings reads.
#include <cstdio>
#include <cstdlib>

#include "cli/Cli.h"
#include "settings/Settings.h"
#include "settings/Strings.h"
#include "settings/Visual.h"

namespace {
int Visual(CliContext& ctx) {
    if (ctx.args.size() != 1) return UsageError("visual tar en tekst");
    bool ok = true;
    std::string bytes = VisualToString(ctx.args[0], &ok);
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
    return ok ? 0 : 1;
}

int Show(CliContext& ctx) {
    if (ctx.args.size() > 1) return UsageError("show tar høyst én fil");
    std::string bytes;
    std::string name = ctx.args.empty() ? std::string() : ctx.args[0];
    if (!LoadInput(name, bytes)) return 1;
    // StringToVisual takes at most 65535 bytes at a time.
    std::string out;
    for (size_t p = 0; p < bytes.size(); p += 65535) out += StringToVisual(std::string_view(bytes).substr(p, 65535));
    out += "\n";
    std::fwrite(out.data(), 1, out.size(), stdout);
    return 0;
}

int Ini(CliContext& ctx) {
    if (ctx.args.size() != 4) return UsageError("ini tar SEKSJON NØKKEL TYPE STANDARD");
    const std::string& section = ctx.args[0];
    const std::string& key = ctx.args[1];
    const std::string& type = ctx.args[2];
    const std::string& def = ctx.args[3];
    std::string out;
    if (type == "text") {
        out = ReadIniText(section, key, def);
    } else if (type == "string") {
        out = ReadIniString(section, key, def);
    } else if (type == "bool") {
        bool d;
        if (def == "True" || def == "true" || def == "1") d = true;
        else if (def == "False" || def == "false" || def == "0") d = false;
        else return UsageError("ugyldig standardverdi for bool: " + def);
        out = ReadIniBool(section, key, d) ? "True" : "False";
    } else if (type == "int") {
        int d;
        if (!ParseCliInt(def, d)) return UsageError("ugyldig standardverdi for int: " + def);
        out = std::to_string(ReadIniInt(section, key, d));
    } else if (type == "float") {
        double d;
        if (!ParseFloat(def, d)) return UsageError("ugyldig standardverdi for float: " + def);
        out = FormatFixed(0, 4, ReadIniFloat(section, key, d));
    } else if (type == "charset") {
        CharSet set;
        ReadIniCharSet(section, key, def, set);
        std::string members;
        for (int b = 0; b < 256; ++b)
            if (set.test(static_cast<size_t>(b))) members.push_back(static_cast<char>(b));
        out = StringToVisual(members);
    } else {
        return UsageError("ukjent type: " + type);
    }
    out += "\n";
    std::fwrite(out.data(), 1, out.size(), stdout);
    return 0;
}
}  // namespace

SKARV_COMMAND("visual", "[--ini FIL] visual TEKST", Visual);
SKARV_COMMAND("show", "show [FIL]", Show);
SKARV_COMMAND("ini", "[--ini FIL] ini SEKSJON NØKKEL text|string|bool|int|float|charset STANDARD", Ini);
