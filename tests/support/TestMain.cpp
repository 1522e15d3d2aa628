// Every test program starts a QApplication on the offscreen platform, so window tests and
// core tests share one main. The user's real settings are never touched: the key stores
// point at a temporary XDG folder.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    std::string xdg = (std::filesystem::temp_directory_path() /
                       ("skarv-xdg-" + std::to_string(::getpid()))).string();
    std::filesystem::create_directories(xdg + "/user");
    std::filesystem::create_directories(xdg + "/system");
    ::setenv("XDG_CONFIG_HOME", (xdg + "/user").c_str(), 1);
    ::setenv("XDG_CONFIG_DIRS", (xdg + "/system").c_str(), 1);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    int rc = RUN_ALL_TESTS();
    std::error_code ec;
    std::filesystem::remove_all(xdg, ec);
    return rc;
}
