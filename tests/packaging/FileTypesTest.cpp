// The file type of NC programs as the desktops see it once the package is installed: the
// package's type merged with the shared database by update-mime-database, asked through
// GLib (gio, the GNOME and Xfce file managers) and through Qt (QMimeDatabase, KDE). Files of
// the other types that share an extension keep their type.
#include <gtest/gtest.h>

#include <QMimeDatabase>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "TestSupport.h"

namespace fs = std::filesystem;

namespace {
const std::string kPackaging = std::string(SKARV_SOURCE_DIR) + "/packaging";
const std::string kShop = std::string(SKARV_SOURCE_DIR) + "/examples/shop";
const char* const kSharedPackages = "/usr/share/mime/packages";

// A database of the shared types and the package's, the desktop entry beside it with the
// cache of the types the entries open, as the triggers of shared-mime-info and
// desktop-file-utils make them on installation, and the process's data folders pointed at
// it (before Qt reads its database).
class MergedDatabase {
public:
    MergedDatabase() {
        fs::create_directories(dir_.File("share/mime/packages"));
        fs::create_directories(dir_.File("share/applications"));
        fs::create_directories(dir_.File("home"));
        for (auto& e : fs::directory_iterator(kSharedPackages))
            fs::copy_file(e.path(), dir_.File("share/mime/packages/") + e.path().filename().string());
        fs::copy_file(kPackaging + "/no.vako.SkarvEditor.xml",
                      dir_.File("share/mime/packages/no.vako.SkarvEditor.xml"),
                      fs::copy_options::overwrite_existing);
        fs::copy_file(kPackaging + "/no.vako.SkarvEditor.desktop",
                      dir_.File("share/applications/no.vako.SkarvEditor.desktop"));
        std::string err;
        ok_ = RunProgram({"/usr/bin/update-mime-database", dir_.File("share/mime")}, nullptr, &err) == 0 &&
              RunProgram({"/usr/bin/update-desktop-database", dir_.File("share/applications")},
                         nullptr, &err) == 0;
        error_ = err;
        ::setenv("XDG_DATA_DIRS", dir_.File("share").c_str(), 1);
        ::setenv("XDG_DATA_HOME", dir_.File("home").c_str(), 1);
    }
    bool ok() const { return ok_; }
    const std::string& error() const { return error_; }

private:
    TempDir dir_;
    bool ok_ = false;
    std::string error_;
};

// The type GLib gives the file, content included.
std::string GioType(const std::string& file) {
    std::string out;
    RunProgram({"/usr/bin/gio", "info", "-a", "standard::content-type", file}, &out, nullptr);
    const std::string key = "standard::content-type: ";
    size_t at = out.find(key);
    if (at == std::string::npos) return "(ingen: " + out + ")";
    size_t end = out.find('\n', at);
    return out.substr(at + key.size(), end - at - key.size());
}

bool Tools() {
    return ::access("/usr/bin/update-mime-database", X_OK) == 0 &&
           ::access("/usr/bin/update-desktop-database", X_OK) == 0 &&
           ::access("/usr/bin/gio", X_OK) == 0 && fs::is_directory(kSharedPackages);
}
}  // namespace

TEST(FileTypes, NcProgramsOpenInTheEditorAndOtherFilesKeepTheirType) {
    if (!Tools()) GTEST_SKIP() << "shared-mime-info, desktop-file-utils or gio missing";
    MergedDatabase database;
    ASSERT_TRUE(database.ok()) << database.error();
    QMimeDatabase qt;
    ASSERT_TRUE(qt.mimeTypeForName("text/x-nc-program").isValid());
    EXPECT_TRUE(qt.mimeTypeForName("text/x-nc-program").inherits("text/plain"));

    TempDir files;
    auto demo = [&](const std::string& from, const std::string& name) {
        fs::copy_file(kShop + "/" + from, files.File(name));
        return name;
    };
    auto make = [&](const std::string& name, const std::string& bytes) {
        WriteFileBytes(files.File(name), bytes);
        return name;
    };
    const std::string nc = "%\r\nO1001 (AKSEL)\r\nN10 G21 G40\r\nN20 G0 X40. Z2.\r\nM30\r\n";
    std::string binary(40000, '\0');
    for (size_t i = 0; i < binary.size(); ++i) binary[i] = static_cast<char>((i * 7919) % 251);
    const std::vector<std::pair<std::string, std::string>> cases = {
        // The demo shop's programs, by the names the machines give them.
        {demo("Dreiebenk/AKSEL.NC", "AKSEL.NC"), "text/x-nc-program"},
        {demo("Fres/FLENS.NC", "FLENS.NC"), "text/x-nc-program"},
        {demo("Fres/LOKK.H", "LOKK.H"), "text/x-nc-program"},
        {demo("Portal/DEKSEL.MPF", "DEKSEL.MPF"), "text/x-nc-program"},
        {demo("Plasma/BRAKETT.ESI", "BRAKETT.ESI"), "text/x-nc-program"},
        {demo("Tegninger/PLATE.DXF", "PLATE.DXF"), "image/vnd.dxf"},
        // Every extension; also where the shared database knows the extension for another
        // type (netCDF ".nc", disc images ".iso", Neo Geo ".ngc").
        {make("prog.nc", nc), "text/x-nc-program"},
        {make("prog.ngc", "(FRESING)\nG21 G90\nG0 X0 Y0\nM2\n"), "text/x-nc-program"},
        {make("PROG.SPF", "; underprogram\r\nG1 X10 F100\r\nM17\r\n"), "text/x-nc-program"},
        {make("PROG.TAP", nc), "text/x-nc-program"},
        {make("PROG.EIA", nc), "text/x-nc-program"},
        {make("PROG.ISO", nc), "text/x-nc-program"},
        {make("O1002.iso", "O1002\nG0 X0\nM30\n"), "text/x-nc-program"},
        {make("PLATE.esi", "3\n+1000+0\n7\n"), "text/x-nc-program"},
        {make("nc-start", nc), "text/x-nc-program"},
        {make("heidenhain", "0  BEGIN PGM 12 MM\r\n1 END PGM 12 MM\r\n"), "text/x-nc-program"},
        // C headers stay C headers, a netCDF file and a disc image stay what they are.
        {make("hode.h", "#ifndef HODE_H\n#define HODE_H\nint f(void);\n#endif\n"), "text/x-chdr"},
        {make("kommentar.h", "/* 0 BEGIN PGM is no program here */\nint g;\n"), "text/x-chdr"},
        {make("data.nc", std::string("CDF\x01\0\0\0\0", 8) + binary), "application/x-netcdf"},
        {make("disk.iso", binary), "application/x-cd-image"},
    };
    for (const auto& [name, type] : cases) {
        SCOPED_TRACE(name);
        EXPECT_EQ(GioType(files.File(name)), type);
        EXPECT_EQ(qt.mimeTypeForFile(QString::fromStdString(files.File(name))).name().toStdString(),
                  type);
    }

    // The programs of other controls from the shared samples, where they are.
    const std::string samples = SharedDir() + "/nc-samples";
    if (fs::is_directory(samples)) {
        for (auto& e : fs::directory_iterator(samples)) {
            if (e.path().extension() != ".ngc") continue;
            SCOPED_TRACE(e.path().string());
            EXPECT_EQ(GioType(e.path().string()), "text/x-nc-program");
            EXPECT_EQ(qt.mimeTypeForFile(QString::fromStdString(e.path().string())).name().toStdString(),
                      "text/x-nc-program");
        }
    }
}

TEST(FileTypes, TheEditorIsAnApplicationForProgramsAndDrawings) {
    if (!Tools()) GTEST_SKIP() << "shared-mime-info, desktop-file-utils or gio missing";
    MergedDatabase database;
    ASSERT_TRUE(database.ok()) << database.error();
    // GLib lists an entry only when the program it starts is on the path.
    const char* path = std::getenv("PATH");
    ::setenv("PATH", (BinDir() + ":" + (path ? path : "/usr/bin:/bin")).c_str(), 1);
    for (const char* type : {"text/x-nc-program", "image/vnd.dxf"}) {
        std::string out;
        RunProgram({"/usr/bin/gio", "mime", type}, &out, nullptr);
        SCOPED_TRACE(type);
        size_t registered = out.find("Registered applications:");
        ASSERT_NE(registered, std::string::npos) << out;
        EXPECT_NE(out.find("no.vako.SkarvEditor.desktop", registered), std::string::npos) << out;
    }
}
