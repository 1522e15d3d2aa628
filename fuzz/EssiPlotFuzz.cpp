// Fuzz target: any bytes as an ESSI program of a cutting machine.
#include <cstdint>
#include <string_view>

#include "PlotFuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    PlotSettings s;
    s.dialect = PlotDialect::Essi;
    plotfuzz::Run(std::string_view(reinterpret_cast<const char*>(data), size), s);
    return 0;
}
