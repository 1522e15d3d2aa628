#pragma once
// A tape test: an ini file for the tape settings, the simulated card as the driver of the
// port I/O, and recorders of the error boxes and the messages.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "TestSupport.h"
#include "platform/SimulatedCard.h"
#include "transfer/IO.h"
#include "transfer/Punch.h"

class TapeFixture : public ::testing::Test {
protected:
    // Keys of section VakoEdit (the tape section unless "Maskin" names another).
    void UseIni(const std::string& vakoEditKeys, const std::string& more = std::string()) {
        ini_.reset();  // restores the previous ini file before the new one is set
        ini_ = std::make_unique<ScopedIni>("[VakoEdit]\r\n" + vakoEditKeys + "\r\n" + more);
        LoadPunchSection();
    }
    void SetUp() override {
        card = std::make_shared<SimulatedCard>();
        previousFactory_ = SetIoDriverFactory([this]() -> std::shared_ptr<IoDriver> {
            ++driversMade;
            return card;
        });
        previousBox_ = SetPortErrorBox([this](const std::string& c, const std::string& t) {
            errors.emplace_back(c, t);
        });
    }
    void TearDown() override {
        PortIO().PortClose();
        SetIoDriverFactory(previousFactory_);
        SetPortErrorBox(previousBox_);
        ini_.reset();
    }
    std::vector<std::string> ErrorTexts() const {
        std::vector<std::string> t;
        for (auto& e : errors) t.push_back(e.second);
        return t;
    }

    std::shared_ptr<SimulatedCard> card;
    int driversMade = 0;
    std::vector<std::pair<std::string, std::string>> errors;  // the error boxes
    MessageRecorder messages;

private:
    std::unique_ptr<ScopedIni> ini_;
    IoDriverFactory previousFactory_;
    ErrorBoxFn previousBox_;
};
