// An installed program: its program directory in share/skarv-editor beside bin, and the
// user's copy of the demo shop when the shop names no ini file. The demo shop copied is the
// one the package installs (examples/shop).
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>

#include "TestSupport.h"
#include "settings/Installation.h"
#include "settings/KeyStore.h"
#include "settings/PathResolve.h"
#include "settings/Settings.h"

namespace {
const std::string kShop = std::string(SKARV_SOURCE_DIR) + "/examples/shop";

// HOME and XDG_DATA_HOME as they were, given back at the end.
struct SavedEnvironment {
    std::string home, data;
    bool hadHome, hadData;
    SavedEnvironment() {
        const char* h = std::getenv("HOME");
        const char* d = std::getenv("XDG_DATA_HOME");
        hadHome = h != nullptr;
        hadData = d != nullptr;
        home = h ? h : "";
        data = d ? d : "";
    }
    ~SavedEnvironment() {
        if (hadHome) ::setenv("HOME", home.c_str(), 1);
        else ::unsetenv("HOME");
        if (hadData) ::setenv("XDG_DATA_HOME", data.c_str(), 1);
        else ::unsetenv("XDG_DATA_HOME");
    }
};

// An installed tree in a temporary folder: usr/bin and usr/share/skarv-editor with the help
// file and the demo shop, and a home for the user; the settings read a key store in memory.
struct InstalledFixture : ::testing::Test {
    SavedEnvironment environment;
    TempDir dir;
    MemoryKeyStore store;
    std::string data, copy;
    void SetUp() override {
        namespace fs = std::filesystem;
        SetKeyStore(&store);
        fs::create_directories(dir.File("usr/bin"));
        data = dir.File("usr/share/skarv-editor");
        fs::create_directories(data + "/Hjelp");
        fs::copy_file(kShop + "/Hjelp/VakoEdit.Hlp", data + "/Hjelp/VakoEdit.Hlp");
        fs::copy(kShop, data + "/shop", fs::copy_options::recursive);
        fs::remove_all(data + "/shop/Hjelp");
        copy = dir.File("home/.local/share/skarv-editor/Demoverksted");
        ::setenv("HOME", dir.File("home").c_str(), 1);
        ::unsetenv("XDG_DATA_HOME");
    }
    void TearDown() override {
        SetKeyStore(nullptr);
        SetIniFileName("");
    }
    LocateOptions Installed() {
        LocateOptions opt;
        opt.programDirectory = dir.Dnc("usr/bin") + "\\";
        UseInstalledLayout(opt, "../share/skarv-editor");
        return opt;
    }
};
}  // namespace

TEST(Installation, DataFolderOnlyBesideAnInstalledBinary) {
    TempDir dir;
    std::filesystem::create_directories(dir.File("usr/share/skarv-editor"));
    std::filesystem::create_directories(dir.File("usr/bin"));
    EXPECT_EQ(InstalledDataDirectory(dir.File("usr/bin/"), "../share/skarv-editor"),
              dir.File("usr/share/skarv-editor"));
    // The build folder has no share folder: a program run from there is not installed, and
    // its options stay as they were.
    std::filesystem::create_directories(dir.File("build/bin"));
    EXPECT_EQ(InstalledDataDirectory(dir.File("build/bin"), "../share/skarv-editor"), "");
    LocateOptions opt;
    opt.programDirectory = dir.Dnc("build/bin") + "\\";
    UseInstalledLayout(opt, "../share/skarv-editor");
    EXPECT_EQ(opt.programDirectory, dir.Dnc("build/bin") + "\\");
    EXPECT_FALSE(opt.fallbackIni);
}

TEST(Installation, UserFolderFollowsXdgDataHome) {
    SavedEnvironment environment;
    ::setenv("XDG_DATA_HOME", "/data/home", 1);
    EXPECT_EQ(UserDemoShopDirectory(), "/data/home/skarv-editor/Demoverksted");
    ::setenv("XDG_DATA_HOME", "relative", 1);  // not absolute: ignored, as XDG says
    ::setenv("HOME", "/home/ola/", 1);
    EXPECT_EQ(UserDemoShopDirectory(), "/home/ola/.local/share/skarv-editor/Demoverksted");
    ::unsetenv("XDG_DATA_HOME");
    ::unsetenv("HOME");
    EXPECT_EQ(UserDemoShopDirectory(), "");
}

TEST_F(InstalledFixture, WithoutAShopIniTheDemoShopIsCopiedAndUsed) {
    LocateIniFile(Installed());
    // The copy's ini file, with the machines' folders in the copy and the program directory
    // where the help file is installed.
    EXPECT_EQ(IniFileName(), NativeToDncPath(copy + "/Vako.ini"));
    EXPECT_EQ(ReadIniText("Maskin1", "Navn", ""), "Dreiebenk DB-1");
    EXPECT_EQ(ReadIniText("Maskin5", "Navn", ""), "Plasmaskjærer");  // Windows-1252, as the system reads it
    EXPECT_EQ(ResolvePath(ReadIniString("Maskin1", "Katalog", "")), copy + "/Dreiebenk/");
    EXPECT_TRUE(FileExists(ReadIniString("Maskin2", "Katalog", "") + "LOKK.H"));
    EXPECT_TRUE(FileExists(ProgramDirectory() + "Hjelp\\VakoEdit.Hlp")) << ProgramDirectory();
    EXPECT_EQ(ResolvePath(ProgramDirectory()), data + "/");
    // Every file of the demo is in the copy, the template made into the ini file.
    for (auto& e : std::filesystem::recursive_directory_iterator(data + "/shop")) {
        auto relative = std::filesystem::relative(e.path(), data + "/shop");
        if (relative == "Vako.ini.in") continue;
        EXPECT_TRUE(std::filesystem::exists(copy / relative)) << relative;
    }
    EXPECT_FALSE(std::filesystem::exists(copy + "/Vako.ini.in"));
    EXPECT_EQ(ReadIniText("Program", "ExeKatalog", "").find('@'), std::string::npos);
}

TEST_F(InstalledFixture, TheUsersCopyIsMadeOnceAndKeptAsTheUserLeftIt) {
    LocateIniFile(Installed());
    WriteFileBytes(copy + "/Dreiebenk/AKSEL.NC", "%\r\nENDRET\r\n");
    std::string ini = ReadFileBytes(copy + "/Vako.ini") + "[Maskin6]\r\nNavn=Ny maskin\r\n";
    WriteFileBytes(copy + "/Vako.ini", ini);
    std::filesystem::remove(copy + "/Fres/LOKK.H");
    LocateIniFile(Installed());
    EXPECT_EQ(ReadFileBytes(copy + "/Dreiebenk/AKSEL.NC"), "%\r\nENDRET\r\n");
    EXPECT_EQ(ReadIniText("Maskin6", "Navn", ""), "Ny maskin");
    EXPECT_FALSE(std::filesystem::exists(copy + "/Fres/LOKK.H"));
    // Without its ini file the copy is made again; the user's programs stay.
    std::filesystem::remove(copy + "/Vako.ini");
    LocateIniFile(Installed());
    EXPECT_EQ(ReadIniText("Maskin6", "Navn", "ingen"), "ingen");
    EXPECT_EQ(ReadFileBytes(copy + "/Dreiebenk/AKSEL.NC"), "%\r\nENDRET\r\n");
    EXPECT_TRUE(std::filesystem::exists(copy + "/Fres/LOKK.H"));
}

TEST_F(InstalledFixture, TheShopsOwnIniIsNeverReplacedByTheDemo) {
    WriteFileBytes(dir.File("verksted/Vako.ini"), "[Program]\r\nMaskiner=7\r\n");
    store.WriteValue(KeyRoot::LocalMachine, kVakoKey, "INI-Fil", dir.Dnc("verksted/Vako.ini"));
    LocateIniFile(Installed());
    EXPECT_EQ(IniFileName(), dir.Dnc("verksted/Vako.ini"));
    EXPECT_EQ(ReadIniInt("Program", "Maskiner", 1), 7);
    // The help file lies in the program directory of the installation.
    EXPECT_EQ(ResolvePath(ProgramDirectory()), data + "/");
    EXPECT_FALSE(std::filesystem::exists(copy));

    // A first argument naming an ini file, and the skarv command's --ini, choose the file
    // even when it is not there; no demo is copied for them.
    LocateOptions opt = Installed();
    opt.arguments = {dir.Dnc("verksted/Vako.ini")};
    store.WriteValue(KeyRoot::LocalMachine, kVakoKey, "INI-Fil", "");
    LocateIniFile(opt);
    EXPECT_EQ(IniFileName(), dir.Dnc("verksted/Vako.ini"));
    opt = Installed();
    opt.explicitIni = dir.Dnc("finnes-ikke.ini");
    LocateIniFile(opt);
    EXPECT_EQ(IniFileName(), dir.Dnc("finnes-ikke.ini"));
    EXPECT_FALSE(std::filesystem::exists(copy));
}

TEST_F(InstalledFixture, ACopyThatCannotBeMadeLeavesTheDefault) {
    // A file where the user's data folder should be: no folder can be made under it.
    WriteFileBytes(dir.File("home/.local/share"), "ikke en mappe");
    LocateIniFile(Installed());
    EXPECT_EQ(IniFileName(), kDefaultIniFile);
    EXPECT_EQ(CopyDemoShop(data + "/shop", copy, "C:\\usr\\"), "");
    // Nor without the template: no ini file is made up.
    EXPECT_EQ(CopyDemoShop(dir.File("tom"), dir.File("kopi"), "C:\\usr\\"), "");
    EXPECT_FALSE(std::filesystem::exists(dir.File("kopi/Vako.ini")));
}
