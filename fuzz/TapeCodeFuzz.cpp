// Fuzz target: any bytes from a machine, received through a tape code. The first byte
// chooses the code; the rest comes over a port that hands out one byte per read and falls
// silent at the end. The lines hold exactly the decoded printable bytes that came before the
// end of the tape, cut where a line end came; the codes turn every character of their
// repertoire into a byte that decodes back to it.
#include <cstdint>
#include <memory>
#include <string>

#include "FuzzSupport.h"
#include "convert/IsoEia.h"
#include "transfer/EditCom.h"

namespace {
using fuzz::Check;

// The machine's side: the bytes one per read, then a read that times out.
class TapeFromMachine : public SerialDevice {
public:
    explicit TapeFromMachine(std::string bytes) : bytes_(std::move(bytes)) {}
    bool Open(const std::string&) override { return true; }
    bool SetupQueues(uint32_t, uint32_t) override { return true; }
    bool GetState(SerialDcb&) override { return true; }
    bool SetState(const SerialDcb&) override { return true; }
    bool Escape(EscapeFunction) override { return true; }
    bool SetTimeouts(const CommTimeouts&) override { return true; }
    bool Write(const uint8_t*, uint32_t n, uint32_t& written, int32_t) override {
        written = n;
        return true;
    }
    bool ReadByte(uint8_t& byte, bool& got) override {
        got = at_ < bytes_.size();
        if (got) byte = static_cast<uint8_t>(bytes_[at_++]);
        return true;
    }
    void Close() override {}

private:
    std::string bytes_;
    size_t at_ = 0;
};

bool EndsTheTape(uint8_t c) { return c == 0x03 || c == 0x04 || c == 0x14 || c == 0x1A; }
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const auto mode = static_cast<TTapeCode>(data[0] % 8);
    const std::string tape(reinterpret_cast<const char*>(data + 1), size - 1);

    TComPort port;
    port.Code = mode;
    port.Handle = std::make_unique<TapeFromMachine>(tape);
    std::string received;
    size_t lines = 0;
    for (bool done = false; !done;) {
        std::string line;
        ReadComLine(port, line, done);
        Check(lines <= tape.size(), "reception ends");
        if (line.empty()) continue;
        ++lines;
        for (unsigned char c : line) Check(c >= 0x20, "a line holds printable bytes only");
        received += line;
    }
    std::string expected;
    size_t ends = 0;
    for (unsigned char b : tape) {
        const uint8_t c = DecodeByte(mode, b);
        if (EndsTheTape(c)) break;
        if (c >= 0x20) expected += static_cast<char>(c);
        if (c == '\r' || c == '\n') ++ends;
    }
    Check(received == expected, "the lines hold the decoded bytes before the end of the tape");
    Check(lines <= ends + 1, "a line ends only at a line end or at the end of the tape");

    // The codes over the input's bytes as text: what a code can carry comes back as it was.
    for (unsigned char c : tape) {
        const uint8_t sent = EncodeByte(mode, c);
        const uint8_t back = DecodeByte(mode, sent);
        switch (mode) {
        case tcAscii:
            Check(sent == c && back == c, "ASCII passes every byte");
            break;
        case tcIso:
        case tcIsoAscii:
        case tcSoftIso:
            if (c < 0x80) {
                Check((__builtin_popcount(sent) & 1) == 0 || (mode == tcSoftIso && c == 0x13),
                      "ISO sends even parity");
                Check(back == c, "ISO comes back");
            }
            break;
        case tcEia:
        case tcEiaIso:
        case tcIsoEia:
        case tcAsciiIso:
            if (c >= '0' && c <= '9') Check(back == c, "digits come back");
            if (c >= 'A' && c <= 'Z') Check(back == c, "letters come back");
            break;
        }
    }
    return 0;
}
