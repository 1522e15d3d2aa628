#pragma once
// Starting another program (the configuration program, the calculator, the help viewer):
// detached, without a shell. The real launcher lives in the platform layer
// (ProcessLauncher); tests record what would be started.
#include <string>
#include <vector>

class Launcher {
public:
    virtual ~Launcher() = default;
    // Starts program with args and returns at once; false when it could not be started.
    virtual bool Start(const std::string& program, const std::vector<std::string>& args) = 0;
};

// The launcher the windows use; null until the program installs one.
Launcher* GetLauncher();
void SetLauncher(Launcher* launcher);  // not owned

// The full path of an executable file named name in one of the folders of pathList
// (colon-separated, as PATH); empty when there is none. A name with a "/" is checked as is.
std::string FindProgramOnPath(const std::string& name, const std::string& pathList);
