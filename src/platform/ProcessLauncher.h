#pragma once
// The real launcher: a detached process, started directly (no shell).
#include "settings/Launcher.h"

class ProcessLauncher : public Launcher {
public:
    bool Start(const std::string& program, const std::vector<std::string>& args) override;
};
