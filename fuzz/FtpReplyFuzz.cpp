// Fuzz target: any bytes as what an FTP server says on the control connection, cut into
// pieces as the socket might deliver them. The replies do not depend on the pieces, each
// begins with its code and stays within the limit; the data ports the passive replies name
// are ports or nothing.
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "transfer/FtpReplies.h"

namespace {
using fuzz::Check;

std::vector<std::string> Replies(std::string_view bytes, const std::vector<size_t>& pieces, size_t max,
                                 bool& pending) {
    FtpReplyReader reader(max);
    std::vector<std::string> out;
    size_t at = 0;
    for (size_t n : pieces) {
        reader.Feed(bytes.substr(at, n));
        at += n;
        int code = -1;
        std::string text;
        while (reader.Next(code, text)) {
            Check(code >= 0 && code <= 999, "a reply code has three digits");
            Check(text.size() <= max, "a reply stays within the limit");
            Check(text.size() >= 3 && text.compare(0, 3, std::string(1, char('0' + code / 100)) +
                                                            char('0' + code / 10 % 10) + char('0' + code % 10)) == 0,
                  "a reply begins with its code");
            out.push_back(std::to_string(code) + "|" + text);
        }
    }
    pending = reader.HasBytes();
    return out;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const size_t max = data[0] % 2 ? kMaxFtpReply : size_t(4) + data[0] % 64;
    const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    bool pendingWhole = false, pendingPieces = false;
    const std::vector<std::string> whole = Replies(bytes, {bytes.size()}, max, pendingWhole);
    const std::vector<std::string> pieces = Replies(bytes, fuzz::Pieces(bytes, bytes.size()), max, pendingPieces);
    Check(whole == pieces, "the replies depend on the pieces the bytes came in");
    Check(pendingWhole == pendingPieces, "what is left depends on the pieces");

    const int passive = PassivePort(bytes);
    Check(passive >= 0 && passive <= 65535, "a passive reply names a port or none");
    const int extended = ExtendedPassivePort(bytes);
    Check(extended >= 0 && extended <= 65535, "an extended passive reply names a port or none");
    if (extended > 0) Check(bytes.find("(|||") != std::string_view::npos, "the port is written in the reply");
    return 0;
}
