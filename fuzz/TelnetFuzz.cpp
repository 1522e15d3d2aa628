// Fuzz target: any bytes as what an RFC 2217 device server sends, cut in two at a point the
// input chooses; and any bytes as data through the escaping and back. The Telnet side must
// end, never touch memory it does not own, give no more data than came in, and bring every
// data byte through unchanged.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/TelnetComPort.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string commands, out;
    TelnetComPort port(commands, out);
    port.Start();
    const size_t cut = size ? data[0] % size : 0;
    port.Receive(data, cut);
    port.Receive(data + cut, size - cut);
    if (port.Input().size() > size) std::abort();
    // Answers to negotiation are commands, never data.
    if (!out.empty()) std::abort();

    std::string c1, escaped;
    TelnetComPort sender(c1, escaped);
    sender.SendData(data, size);
    std::string c2, d2;
    TelnetComPort receiver(c2, d2);
    receiver.Receive(reinterpret_cast<const uint8_t*>(escaped.data()), escaped.size());
    if (receiver.Input() != std::string(reinterpret_cast<const char*>(data), size)) std::abort();
    return 0;
}
