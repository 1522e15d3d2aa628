// Fuzz target: any bytes as a drawing (text or binary DXF, read through the DXF library),
// converted with both writers in both orders of cutting. The first byte chooses the order and
// the chord tolerance; the rest is the file. A conversion either fails (and leaves no program)
// or writes a whole program whose every number is finite.
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "convert/DXF.h"
#include "settings/MessageSink.h"
#include "settings/PathResolve.h"
#include "settings/Strings.h"

namespace {
std::string g_dir;

void Check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "DxfFuzz: %s\n", what);
        std::abort();
    }
}

void CheckNumbers(const std::string& text) {
    Check(text.find("Nan") == std::string::npos && text.find("Inf") == std::string::npos, "Nan/Inf");
    size_t i = 0;
    while (i < text.size()) {
        char c = text[i];
        if ((c >= '0' && c <= '9') || c == '.') {
            size_t j = i;
            while (j < text.size() && ((text[j] >= '0' && text[j] <= '9') || text[j] == '.')) ++j;
            double v = 0;
            Check(ParseFloat(text.substr(i, j - i), v) && std::isfinite(v), "number");
            i = j;
        } else {
            ++i;
        }
    }
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const char* base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    std::string templ = std::string(base) + "/dxffuzz.XXXXXX";
    Check(mkdtemp(templ.data()) != nullptr, "mkdtemp");
    g_dir = templ;
    SetMessageSink([](const std::string&, const std::string&) {});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const std::string in = g_dir + "/IN.DXF";
    const std::string out = g_dir + "/IN.NC";
    DxfOptions options;
    options.order = data[0] & 1 ? DxfOrder::Shortest : DxfOrder::File;
    static const double tolerances[] = {0.01, 0.5, 0.0001, 3};
    options.tolerance = tolerances[(data[0] >> 1) & 3];
    options.maxPieces = 50000;  // a run stays within the fuzzer's time and memory
    {
        std::ofstream f(in, std::ios::binary | std::ios::trunc);
        f.write(reinterpret_cast<const char*>(data + 1), static_cast<std::streamsize>(size - 1));
    }
    for (OutputFormat format : {OutputFormat::Standard, OutputFormat::Essi}) {
        std::remove(out.c_str());
        bool ok = false;
        options.format = format;
        std::string leftOut;
        ConvertDrawing(options, NativeToDncPath(in), NativeToDncPath(out), ok, &leftOut);
        Check(ok || leftOut.empty(), "a failed conversion reported left-out entities");
        std::ifstream r(out, std::ios::binary);
        if (!ok) {
            Check(!r, "a failed conversion left a program");
            continue;
        }
        Check(static_cast<bool>(r), "no program");
        std::string text((std::istreambuf_iterator<char>(r)), std::istreambuf_iterator<char>());
        const char* tail = format == OutputFormat::Standard ? " M30\r\n%\r\n" : "\r\n63\r\n0\r\n";
        Check(text.size() >= 9 && text.compare(text.size() - std::string(tail).size(), std::string::npos, tail) == 0,
              "program without its end");
        CheckNumbers(text);
    }
    return 0;
}
