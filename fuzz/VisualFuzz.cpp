// Fuzz target: any bytes as a text in the control-code notation ("[CR][LF]"), and any bytes
// written in it. A faulty text is reported exactly once and its good parts kept; the notation
// of any bytes reads back as those bytes.
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "settings/MessageSink.h"
#include "settings/Visual.h"

namespace {
int g_messages = 0;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    SetMessageSink([](const std::string&, const std::string&) { ++g_messages; });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using fuzz::Check;
    const std::string s(reinterpret_cast<const char*>(data), size);

    g_messages = 0;
    bool ok = false;
    const std::string bytes = VisualToString(s, &ok);
    Check(g_messages == (ok ? 0 : 1), "a faulty text is reported once, a sound one never");
    Check(bytes.size() <= s.size(), "the notation never makes more bytes than characters");
    if (s.find('[') == std::string::npos) Check(bytes == s, "a text without tokens is its own bytes");

    // Any bytes in the notation, and back.
    const std::string visual = StringToVisual(s);
    Check(visual.find_first_of("\r\n") == std::string::npos, "the notation holds no line break");
    g_messages = 0;
    Check(VisualToString(visual, &ok) == s && ok && g_messages == 0, "bytes through the notation and back");
    std::string byByte;
    for (unsigned char c : s) byByte += CharToVisual(c);
    Check(byByte == visual, "the notation of a text is that of its bytes");
    for (unsigned char c : s) {
        unsigned char b = 0;
        const std::string token = CharToVisual(c);
        if (token.size() > 1) Check(ParseVisualToken(token, b) && b == c, "a byte's token names it");
    }
    // What a text names, written and read again, is unchanged.
    Check(VisualToString(StringToVisual(bytes)) == bytes, "the bytes of a text are stable");
    return 0;
}
