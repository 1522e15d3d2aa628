// Fuzz target: any bytes as the DNC server's reply over TCP, cut into pieces as the socket
// might deliver them, and any text as the server address of the settings. The lines do not
// depend on the pieces, hold no line end and stay within the limit.
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "transfer/LineClient.h"
#include "transfer/TcpTransfer.h"

namespace {
using fuzz::Check;

std::vector<std::string> Lines(std::string_view bytes, const std::vector<size_t>& pieces, size_t max,
                               std::string& partial) {
    LineReader reader(max);
    std::vector<std::string> out;
    size_t at = 0;
    std::string line;
    for (size_t n : pieces) {
        reader.Feed(bytes.substr(at, n));
        at += n;
        while (reader.Next(line)) {
            Check(line.size() <= max, "a line stays within the limit");
            Check(line.find('\n') == std::string::npos, "a line holds no LF");
            out.push_back(line);
        }
    }
    partial = reader.Partial();
    Check(partial.size() <= max && partial.find('\n') == std::string::npos, "the unfinished line");
    return out;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const size_t max = data[0] % 2 ? LineClient::MaxLineLength() : size_t(1) + data[0] % 64;
    const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    std::string partialWhole, partialPieces;
    const std::vector<std::string> whole = Lines(bytes, {bytes.size()}, max, partialWhole);
    const std::vector<std::string> pieces = Lines(bytes, fuzz::Pieces(bytes, bytes.size()), max, partialPieces);
    Check(whole == pieces && partialWhole == partialPieces, "the lines depend on the pieces the bytes came in");
    size_t lineEnds = 0;
    for (char c : bytes) lineEnds += c == '\n';
    Check(whole.size() == lineEnds, "one line for each LF");

    const std::string value(bytes);
    const VakoAddress a = ParseVakoIP(value);
    const bool colon = value.find(':') != std::string::npos;
    Check((colon ? a.host + ":" + a.port : a.host) == value, "the address is the setting split at its first colon");
    if (!colon) Check(a.port == kVakoDefaultPort, "the default port");
    Check(HasControlByte(VakoRequestLine(a.host, a.port)) == HasControlByte(a.host + a.port),
          "the request line carries a control byte exactly when its parts do");
    return 0;
}
