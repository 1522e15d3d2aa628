#include "platform/TelnetComPort.h"

#include <libtelnet.h>

namespace {
// The options taken: BINARY and SUPPRESS-GO-AHEAD both ways, COM-PORT-OPTION on our side.
// Every other option (the server's ECHO among them) is refused.
bool WeTake(unsigned char option) {
    return option == TELNET_TELOPT_BINARY || option == TELNET_TELOPT_SGA ||
           option == TelnetComPort::kComPortOption;
}
bool ServerMay(unsigned char option) {
    return option == TELNET_TELOPT_BINARY || option == TELNET_TELOPT_SGA;
}

// Server answers and notices (client code + 100).
constexpr uint8_t kAnswerOffset = 100;
constexpr uint8_t kNotifyModemState = 107;
constexpr uint8_t kFlowSuspend = 108;
constexpr uint8_t kFlowResume = 109;

// An answer to SET-CONTROL that speaks of outbound or inbound flow control, not of BREAK,
// DTR or RTS.
bool IsFlowAnswer(uint8_t value) { return value <= 3 || value >= 13; }
}  // namespace

TelnetComPort::TelnetComPort(std::string& commandOutput, std::string& dataOutput)
    : commands_(commandOutput), data_(dataOutput) {
    // Negotiation events come to us unanswered; we answer them in Negotiate.
    telnet_ = telnet_init(nullptr, &TelnetComPort::OnEvent, TELNET_FLAG_PROXY, this);
}

TelnetComPort::~TelnetComPort() {
    if (telnet_) telnet_free(telnet_);
}

void TelnetComPort::Ask(unsigned char command, unsigned char option) {
    if (command == TELNET_WILL) usAsked_[option] = true;
    if (command == TELNET_DO) himAsked_[option] = true;
    telnet_negotiate(telnet_, command, option);
}

void TelnetComPort::Start() {
    Ask(TELNET_WILL, kComPortOption);
    Ask(TELNET_WILL, TELNET_TELOPT_BINARY);
    Ask(TELNET_DO, TELNET_TELOPT_BINARY);
}

void TelnetComPort::Negotiate(unsigned char command, unsigned char option) {
    switch (command) {
    case TELNET_DO:
        if (!WeTake(option)) {
            telnet_negotiate(telnet_, TELNET_WONT, option);
        } else if (!us_[option]) {
            us_[option] = true;
            if (!usAsked_[option]) Ask(TELNET_WILL, option);
            if (option == kComPortOption) comPort_ = Agreement::Agreed;
        }
        break;
    case TELNET_DONT:
        if (us_[option] || usAsked_[option]) {
            if (us_[option]) telnet_negotiate(telnet_, TELNET_WONT, option);
            us_[option] = usAsked_[option] = false;
        }
        if (option == kComPortOption) comPort_ = Agreement::Refused;
        break;
    case TELNET_WILL:
        if (!ServerMay(option)) {
            telnet_negotiate(telnet_, TELNET_DONT, option);
        } else if (!him_[option]) {
            him_[option] = true;
            if (!himAsked_[option]) Ask(TELNET_DO, option);
        }
        break;
    case TELNET_WONT:
        if (him_[option]) telnet_negotiate(telnet_, TELNET_DONT, option);
        him_[option] = himAsked_[option] = false;
        break;
    }
}

void TelnetComPort::SendData(const uint8_t* data, size_t n) {
    toData_ = true;
    telnet_send(telnet_, reinterpret_cast<const char*>(data), n);
    toData_ = false;
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
        (self->toData_ ? self->data_ : self->commands_).append(ev->data.buffer, ev->data.size);
        break;
    case TELNET_EV_WILL:
        self->Negotiate(TELNET_WILL, ev->neg.telopt);
        break;
    case TELNET_EV_WONT:
        self->Negotiate(TELNET_WONT, ev->neg.telopt);
        break;
    case TELNET_EV_DO:
        self->Negotiate(TELNET_DO, ev->neg.telopt);
        break;
    case TELNET_EV_DONT:
        self->Negotiate(TELNET_DONT, ev->neg.telopt);
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
