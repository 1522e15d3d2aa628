// Files from outside read whole: what is no regular file is refused at once (a FIFO without a
// writer included), a file that fails, is cut short or is removed while it is read is not
// read, and nothing is read past the limit, also from a stream that never ends.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "TestSupport.h"
#include "settings/InputFile.h"
#include "settings/TextUtil.h"

namespace {
struct HookGuard {
    ~HookGuard() { SetInputReadHook(nullptr); }
};

InputFault FaultOf(const std::string& name, size_t limit = kInputLimit) {
    std::string bytes = "old";
    InputFault fault = InputFault::None;
    bool ok = ReadInputFile(name, bytes, fault, limit);
    EXPECT_EQ(ok, fault == InputFault::None) << name;
    if (!ok) {
        EXPECT_TRUE(bytes.empty()) << name;
    }
    return fault;
}
}  // namespace

TEST(InputFile, OnlyRegularFilesAreRead) {
    TempDir dir;
    WriteFileBytes(dir.File("P.NC"), "N10\r\nN20\r\n");
    std::string bytes;
    InputFault fault;
    ASSERT_TRUE(ReadInputFile(dir.Dnc("p.nc"), bytes, fault));  // DNC path, case ignored
    EXPECT_EQ(bytes, "N10\r\nN20\r\n");
    WriteFileBytes(dir.File("TOM.NC"), "");
    EXPECT_EQ(FaultOf(dir.File("TOM.NC")), InputFault::None);

    EXPECT_EQ(FaultOf(dir.File("MANGLER.NC")), InputFault::Missing);
    EXPECT_EQ(FaultOf(dir.File("MANGLER/P.NC")), InputFault::Missing);
    std::filesystem::create_directory(dir.File("MAPPE.NC"));
    EXPECT_EQ(FaultOf(dir.File("MAPPE.NC")), InputFault::Folder);
    // A FIFO nobody writes to is refused at once instead of holding the program.
    ASSERT_EQ(::mkfifo(dir.File("KO.NC").c_str(), 0600), 0);
    EXPECT_EQ(FaultOf(dir.File("KO.NC")), InputFault::NotAFile);
    // Devices that never end.
    EXPECT_EQ(FaultOf("/dev/zero"), InputFault::NotAFile);
    EXPECT_EQ(FaultOf("/dev/urandom"), InputFault::NotAFile);
    // A file whose reading fails (this process's own memory at address 0).
    EXPECT_EQ(FaultOf("/proc/self/mem"), InputFault::ReadError);
    // Above the limit nothing is read.
    EXPECT_EQ(FaultOf(dir.File("P.NC"), 9), InputFault::TooLarge);
    EXPECT_EQ(FaultOf(dir.File("P.NC"), 10), InputFault::None);
    // A file the user may not read (the superuser reads every file: the test reads as
    // nobody then).
    ::chmod(dir.path().c_str(), 0755);
    ::chmod(dir.File("P.NC").c_str(), 0);
    const bool asRoot = ::geteuid() == 0;
    if (asRoot) {
        ASSERT_EQ(::seteuid(65534), 0);
    }
    InputFault noAccess = FaultOf(dir.File("P.NC"));
    if (asRoot) {
        ASSERT_EQ(::seteuid(0), 0);
    }
    EXPECT_EQ(noAccess, InputFault::NoAccess);
}

TEST(InputFile, FilesThatChangeWhileTheyAreRead) {
    TempDir dir;
    HookGuard guard;
    const std::string program(300000, 'N');  // three pieces
    // Removed after the first piece: not the file that was asked for.
    WriteFileBytes(dir.File("A.NC"), program);
    SetInputReadHook([](const std::string& native) { std::filesystem::remove(native); });
    EXPECT_EQ(FaultOf(dir.File("A.NC")), InputFault::Changed);
    // Cut short.
    WriteFileBytes(dir.File("B.NC"), program);
    SetInputReadHook([](const std::string& native) { ::truncate(native.c_str(), 1000); });
    EXPECT_EQ(FaultOf(dir.File("B.NC")), InputFault::Changed);
    // Grown (a log being written): read as far as it went.
    WriteFileBytes(dir.File("C.NC"), program);
    SetInputReadHook([](const std::string& native) {
        int fd = ::open(native.c_str(), O_WRONLY | O_APPEND);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::write(fd, "END", 3), 3);
        ::close(fd);
    });
    std::string bytes;
    InputFault fault;
    ASSERT_TRUE(ReadInputFile(dir.File("C.NC"), bytes, fault));
    EXPECT_EQ(bytes, program + "END");
    // Grown past the limit while read (the hook above appends again).
    WriteFileBytes(dir.File("D.NC"), program);
    EXPECT_EQ(FaultOf(dir.File("D.NC"), program.size() + 1), InputFault::TooLarge);
}

TEST(InputFile, StreamsAreCutOffAtTheLimit) {
    int fd = ::open("/dev/zero", O_RDONLY);
    ASSERT_GE(fd, 0);
    std::string bytes;
    InputFault fault = InputFault::None;
    EXPECT_FALSE(ReadInputStream(fd, bytes, fault, 1 << 20));
    ::close(fd);
    EXPECT_EQ(fault, InputFault::TooLarge);
    EXPECT_TRUE(bytes.empty());

    int p[2];
    ASSERT_EQ(::pipe(p), 0);
    ASSERT_EQ(::write(p[1], "N10\r\n", 5), 5);
    ::close(p[1]);
    EXPECT_TRUE(ReadInputStream(p[0], bytes, fault, 5));
    ::close(p[0]);
    EXPECT_EQ(bytes, "N10\r\n");
}

TEST(InputFile, TheLoadMessageGivesTheReason) {
    EXPECT_EQ(LoadFailureText("C:\\NC\\P.NC", InputFault::Missing), "Feil med lasting av C:\\NC\\P.NC");
    EXPECT_EQ(LoadFailureText("P.NC", InputFault::Folder),
              "Feil med lasting av P.NC\rNavnet er en mappe, ikke en fil.");
    for (InputFault f : {InputFault::NoAccess, InputFault::Folder, InputFault::NotAFile,
                         InputFault::TooLarge, InputFault::ReadError, InputFault::Changed})
        EXPECT_FALSE(InputFaultReason(f).empty());
}

// The text files of the catalogue's excerpts take the same rule: a FIFO does not hold them.
TEST(InputFile, TextFilesRefuseWhatIsNoFile) {
    TempDir dir;
    ASSERT_EQ(::mkfifo(dir.File("KO.NC").c_str(), 0600), 0);
    std::filesystem::create_directory(dir.File("MAPPE.NC"));
    for (const char* name : {"KO.NC", "MAPPE.NC"}) {
        TextFile f;
        bool ok = true;
        OpenTextForRead(dir.Dnc(name), f, ok);
        EXPECT_FALSE(ok) << name;
        EXPECT_FALSE(MoreText(f)) << name;
    }
}
