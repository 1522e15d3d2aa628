#include <gtest/gtest.h>

#include <cstdlib>

#include "TestSupport.h"
#include "platform/QtKeyStore.h"
#include "settings/PathResolve.h"
#include "settings/Settings.h"

// The test main points XDG_CONFIG_HOME and XDG_CONFIG_DIRS at temporary folders, so these
// files are the per-user and the machine-wide stores of this process.
namespace {
std::string UserFile() { return std::string(std::getenv("XDG_CONFIG_HOME")) + "/Vako.conf"; }
std::string SystemFile() { return std::string(std::getenv("XDG_CONFIG_DIRS")) + "/Vako.conf"; }
}  // namespace

TEST(QtKeyStore, PersonalValuesRoundTripInTheUserFile) {
    QtKeyStore store;
    SetKeyStore(&store);
    WritePersonalInt("TekstFormatering", 1);
    WritePersonalString("VakoEdit\\Recent", "File1", "C:\\VAKO\\MASKIN1\\SKJÆR.NC");
    EXPECT_EQ(ReadPersonalInt("TekstFormatering", 0), 1);
    EXPECT_EQ(ReadPersonalString("VakoEdit\\Recent", "File1", "x"), "C:\\VAKO\\MASKIN1\\SKJÆR.NC");
    EXPECT_EQ(ReadPersonalString("VakoEdit\\Recent", "File2", "x"), "");
    std::string file = ReadFileBytes(UserFile());
    EXPECT_NE(file.find("[Personal]"), std::string::npos) << file;
    // Stored as UTF-8 text in the file.
    EXPECT_NE(file.find("SKJ\xc3\x86R.NC"), std::string::npos) << file;
    SetKeyStore(nullptr);
}

TEST(QtKeyStore, MachineWideValueLocatesTheIni) {
    TempDir dir;
    WriteFileBytes(dir.File("dnc/Vako.ini"), "[Program]\r\nSysExt=.bin\r\n");
    std::string dnc = NativeToDncPath(dir.File("dnc/Vako.ini"));
    std::string conf = "[General]\nINI-Fil=" + Cp1252ToUtf8(dnc) + "\n";
    // QSettings writes "\" as "\\" in its files.
    std::string escaped;
    for (char c : conf) {
        escaped.push_back(c);
        if (c == '\\') escaped.push_back('\\');
    }
    WriteFileBytes(SystemFile(), escaped);
    QtKeyStore store;
    SetKeyStore(&store);
    std::string value;
    EXPECT_TRUE(store.OpenKey(KeyRoot::LocalMachine, "Software\\Vako", false, false));
    ASSERT_TRUE(store.ReadValue(KeyRoot::LocalMachine, "Software\\Vako", "INI-Fil", value));
    EXPECT_EQ(value, dnc);
    LocateOptions opt;
    opt.programDirectory = NativeToDncPath(dir.path()) + "\\";
    LocateIniFile(opt);
    EXPECT_EQ(IniFileName(), dnc);
    EXPECT_EQ(SystemFileExt(), ".BIN");
    SetKeyStore(nullptr);
    SetIniFileName("");
    std::remove(SystemFile().c_str());
}

TEST(QtKeyStore, ValueNamesOfTheRootKeyAndOfASubkey) {
    WriteFileBytes(UserFile(), "[General]\nCOM5=/dev/ttyUSB0\nINI-Fil=Vako.ini\n\n[Personal]\nTekstFormatering=1\n");
    QtKeyStore store;
    std::vector<std::string> names;
    ASSERT_TRUE(store.ValueNames(KeyRoot::CurrentUser, "Software\\Vako", names));
    EXPECT_EQ(names, (std::vector<std::string>{"COM5", "INI-Fil"}));
    ASSERT_TRUE(store.ValueNames(KeyRoot::CurrentUser, "Software\\Vako\\Personal", names));
    EXPECT_EQ(names, (std::vector<std::string>{"TekstFormatering"}));
    std::remove(UserFile().c_str());
    EXPECT_FALSE(store.ValueNames(KeyRoot::CurrentUser, "Software\\Vako", names));
}
