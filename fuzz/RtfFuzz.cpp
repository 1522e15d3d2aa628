// Fuzz target: any bytes as a rich-text document. The reader must end, never touch memory it
// does not own, and give at least one paragraph.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "document/RichText.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view in(reinterpret_cast<const char*>(data), size);
    RichDocument doc = ReadRichText(in);
    if (doc.paragraphs.empty()) std::abort();
    size_t total = 0;
    for (const RichParagraph& p : doc.paragraphs)
        for (const RichRun& r : p.runs) total += r.text.size();
    // Every shown character comes from at least one input byte.
    if (total > size) std::abort();
    return 0;
}
