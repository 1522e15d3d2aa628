#include "platform/TelnetComPort.h"

#include <libtelnet.h>

namespace {
// What we answer when the server asks: BINARY and SUPPRESS-GO-AHEAD both ways, and
// COM-PORT-OPTION from our side. Every other option (the server's ECHO among them) is refused.
const telnet_telopt_t kOptions[] = {
    {TELNET_TELOPT_BINARY, TELNET_WILL, TELNET_DO},
    {TELNET_TELOPT_SGA, TELNET_WILL, TELNET_DO},
    {TelnetComPort::kComPortOption, TELNET_WILL, TELNET_DONT},
    {-1, 0, 0},
};

// Server answers and notices (client code + 100).
constexpr uint8_t kAnswerOffset = 100;
constexpr uint8_t kNotifyModemState = 107;
constexpr uint8_t kFlowSuspend = 108;
constexpr uint8_t kFlowResume = 109;

// An answer to SET-CONTROL that speaks of outbound or inbound flow control, not of BREAK,
// DTR or RTS.
bool IsFlowAnswer(uint8_t value) { return value <= 3 || value >= 13; }
}  // namespace

TelnetComPort::TelnetComPort(std::string& output) : output_(output) {
    telnet_ = telnet_init(kOptions, &TelnetComPort::OnEvent, 0, this);
}

TelnetComPort::~TelnetComPort() {
    if (telnet_) telnet_free(telnet_);
}

void TelnetComPort::Start() {
    telnet_negotiate(telnet_, TELNET_WILL, kComPortOption);
    telnet_negotiate(telnet_, TELNET_WILL, TELNET_TELOPT_BINARY);
    telnet_negotiate(telnet_, TELNET_DO, TELNET_TELOPT_BINARY);
}

void TelnetComPort::SendData(const uint8_t* data, size_t n) {
    telnet_send(telnet_, reinterpret_cast<const char*>(data), n);
}

void TelnetComPort::SendCommand(Command command, uint32_t value) {
    char payload[5];
    size_t n = 1;
    payload[0] = static_cast<char>(command);
    if (command == kSetBaudRate) {
        for (int i = 0; i < 4; ++i) payload[n++] = static_cast<char>((value >> (24 - 8 * i)) & 0xFF);
    } else {
        payload[n++] = static_cast<char>(value & 0xFF);
    }
    telnet_subnegotiation(telnet_, kComPortOption, payload, n);
}

void TelnetComPort::Receive(const uint8_t* data, size_t n) {
    telnet_recv(telnet_, reinterpret_cast<const char*>(data), n);
}

void TelnetComPort::Report(const unsigned char* p, size_t n) {
    if (n < 1) return;
    const uint8_t code = p[0];
    if (code > kAnswerOffset && code <= kAnswerOffset + kSetControl) {
        const auto command = static_cast<Command>(code - kAnswerOffset);
        uint32_t value = 0;
        if (command == kSetBaudRate) {
            if (n < 5) return;
            value = (uint32_t(p[1]) << 24) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 8) | p[4];
        } else {
            if (n < 2) return;
            value = p[1];
            if (command == kSetControl && !IsFlowAnswer(p[1])) return;
        }
        ++answers_[command];
        lastAnswer_[command] = value;
    } else if (code == kNotifyModemState && n >= 2) {
        modemKnown_ = true;
        modemState_ = p[1];
    } else if (code == kFlowSuspend) {
        suspended_ = true;
    } else if (code == kFlowResume) {
        suspended_ = false;
    }
}

void TelnetComPort::OnEvent(telnet_t*, telnet_event_t* ev, void* user) {
    auto* self = static_cast<TelnetComPort*>(user);
    switch (ev->type) {
    case TELNET_EV_DATA:
        self->input_.append(ev->data.buffer, ev->data.size);
        break;
    case TELNET_EV_SEND:
        self->output_.append(ev->data.buffer, ev->data.size);
        break;
    case TELNET_EV_DO:
        if (ev->neg.telopt == kComPortOption) self->comPort_ = Agreement::Agreed;
        break;
    case TELNET_EV_DONT:
        if (ev->neg.telopt == kComPortOption) self->comPort_ = Agreement::Refused;
        break;
    case TELNET_EV_SUBNEGOTIATION:
        if (ev->sub.telopt == kComPortOption)
            self->Report(reinterpret_cast<const unsigned char*>(ev->sub.buffer), ev->sub.size);
        break;
    case TELNET_EV_ERROR:
        if (self->protocolError_.empty()) self->protocolError_ = ev->error.msg ? ev->error.msg : "telnet";
        break;
    default:
        break;
    }
}
