// Fuzz target: any bytes as a word-address program, read with the mill and the lathe rules.
#include <cstdint>
#include <string_view>

#include "PlotFuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    PlotSettings mill;
    plotfuzz::Run(text, mill);
    PlotSettings lathe;
    lathe.lathe = true;
    plotfuzz::Run(text, lathe);
    return 0;
}
