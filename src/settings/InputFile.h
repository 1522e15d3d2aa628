#pragma once
// Files that come from outside, read whole: a program to open, a drawing to convert, a file
// for the skarv command. Only a regular file is read; a folder, a FIFO, a device or a socket is
// refused (opened without waiting, so a FIFO without a writer cannot hold the program), a file
// above the size limit is refused, and a file that fails, is cut short or is removed while it
// is read counts as not read. The editor and the skarv command share the rule and the words.
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

enum class InputFault {
    None,
    Missing,    // nothing by that name
    NoAccess,   // the user may not read it
    Folder,     // a folder
    NotAFile,   // a FIFO, a device or a socket
    TooLarge,   // above the limit
    ReadError,  // the disk or the network gave an error while it was read
    Changed,    // removed or cut short while it was read
};

inline constexpr const char* kLoadFailCaption = "Laste fil";
inline constexpr const char* kLoadFailText = "Feil med lasting av ";  // + file name

// What the program reads of one file at most. A program of a hundred megabytes is well
// inside it; a file above it is refused before anything is read, and a stream is cut off
// there (the text control holds twice a program's size: its bytes and their colours).
inline constexpr size_t kInputLimit = size_t{256} << 20;

class InputFile {
public:
    InputFile() = default;
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    // Opens a file (DNC or native path) for reading. False with Fault() set when it is not a
    // regular file that can be read, or is larger than limit.
    bool Open(const std::string& name, size_t limit = kInputLimit);
    // The size when it was opened.
    size_t Size() const { return size_; }
    // Calls piece(data, size) for each piece of the file in order. False with Fault() set
    // when the file could not be read whole; the pieces given until then were its start.
    bool ReadAll(const std::function<void(const char* data, size_t size)>& piece);
    void Close();
    InputFault Fault() const { return fault_; }
    int Error() const { return error_; }  // errno of the failed step

private:
    int fd_ = -1;
    size_t size_ = 0;
    size_t limit_ = kInputLimit;
    std::string native_;
    InputFault fault_ = InputFault::None;
    int error_ = 0;
};

// The whole file into bytes (DNC or native path). False with the fault; bytes then empty.
bool ReadInputFile(const std::string& name, std::string& bytes, InputFault& fault,
                   size_t limit = kInputLimit);
// All of a stream (standard input) into bytes, at most limit bytes: a stream that never ends
// (a device such as /dev/zero) is cut off there and counts as too large.
bool ReadInputStream(int fd, std::string& bytes, InputFault& fault, size_t limit = kInputLimit);

// The fault from an errno value of open() or stat().
InputFault FaultOfErrno(int error);
// Why a file that is there could not be read, in the system's words; empty for a missing
// file (the load message says it all) and for no fault.
std::string InputFaultReason(InputFault fault);
// The load failure: "Feil med lasting av " + name, and the reason on a line of its own
// (a message box breaks at "\r") when there is one.
std::string LoadFailureText(const std::string& name, InputFault fault);

// Test seam of the file layer: runs after the first piece of every file read through
// InputFile, with its native path (a test removes or cuts the file there). Empty: none.
void SetInputReadHook(std::function<void(const std::string& nativePath)> hook);
