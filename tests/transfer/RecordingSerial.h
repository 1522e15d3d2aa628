#pragma once
// A serial device that records what the port asks of it, accepts a set number of bytes per
// write and hands out scripted input, for the unit tests of the port operations.
#include <memory>
#include <string>
#include <vector>

#include "transfer/SerialDevice.h"

struct SerialRecord {
    std::vector<std::string> calls;     // "Open COM2", "SetupQueues 4096 1024", ...
    std::vector<std::string> writes;    // the bytes of every write call
    std::vector<SerialDcb> states;      // every state set
    CommTimeouts timeouts;
    std::string failStep;               // "Open", "SetupQueues", ... fails
    size_t acceptPerWrite = SIZE_MAX;   // bytes taken by each write
    std::string input;                  // bytes the line delivers; then it is silent
    bool closed = false;
};

class RecordingSerial : public SerialDevice {
public:
    explicit RecordingSerial(std::shared_ptr<SerialRecord> r) : r_(std::move(r)) {}
    bool Open(const std::string& name) override { return Step("Open " + name, "Open"); }
    bool SetupQueues(uint32_t in, uint32_t out) override {
        return Step("SetupQueues " + std::to_string(in) + " " + std::to_string(out), "SetupQueues");
    }
    bool GetState(SerialDcb& dcb) override {
        dcb = SerialDcb{};
        return Step("GetState", "GetState");
    }
    bool SetState(const SerialDcb& dcb) override {
        r_->states.push_back(dcb);
        return Step("SetState", "SetState");
    }
    bool Escape(EscapeFunction f) override {
        return Step(f == EscapeFunction::SETXON ? "Escape SETXON" : f == EscapeFunction::SETXOFF ? "Escape SETXOFF" : "Escape", "Escape");
    }
    bool SetTimeouts(const CommTimeouts& t) override {
        r_->timeouts = t;
        return Step("SetTimeouts", "SetTimeouts");
    }
    bool Write(const uint8_t* data, uint32_t n, uint32_t& written, int32_t) override {
        written = static_cast<uint32_t>(std::min<size_t>(n, r_->acceptPerWrite));
        r_->writes.emplace_back(reinterpret_cast<const char*>(data), written);
        return true;
    }
    bool ReadByte(uint8_t& b, bool& got) override {
        got = !r_->input.empty();
        if (got) {
            b = static_cast<uint8_t>(r_->input[0]);
            r_->input.erase(0, 1);
        }
        return true;
    }
    void Close() override {
        r_->calls.push_back("Close");
        r_->closed = true;
    }

private:
    bool Step(const std::string& call, const std::string& step) {
        r_->calls.push_back(call);
        return r_->failStep != step;
    }
    std::shared_ptr<SerialRecord> r_;
};

// Installs recording ports for the test's lifetime; every port opened shares one record.
class ScopedRecordingPorts {
public:
    ScopedRecordingPorts() : record(std::make_shared<SerialRecord>()) {
        auto r = record;
        previous_ = SetSerialDeviceFactory([r](const std::string&) { return std::unique_ptr<SerialDevice>(new RecordingSerial(r)); });
    }
    ~ScopedRecordingPorts() { SetSerialDeviceFactory(previous_); }
    std::shared_ptr<SerialRecord> record;

private:
    SerialDeviceFactory previous_;
};
