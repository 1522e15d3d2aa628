// Fuzz target: any bytes as a Heidenhain conversational program.
#include <cstdint>
#include <string_view>

#include "PlotFuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    PlotSettings s;
    s.dialect = PlotDialect::Heidenhain;
    plotfuzz::Run(std::string_view(reinterpret_cast<const char*>(data), size), s);
    return 0;
}
