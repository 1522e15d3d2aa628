#pragma once
// Unsaved work that survives a crash or a power cut: while the document is modified the
// editor keeps a recovery copy of its text, with the document's name and machine, in a
// per-user folder. A copy whose editor no longer runs is offered at the next start. This is
// the copy's file form, its safe writing, which copies are left over, and the writer that
// works beside the user interface so that typing never waits on the disk.
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

inline constexpr const char* kRecoveryCaption = "Gjenoppretting";
// The copies are written this often while the document is modified.
inline constexpr int kRecoveryIntervalMs = 30000;

// "Ulagret arbeid fra " + when + " ble funnet for " + name + ". Gjenopprette ?"
std::string RecoveryQuestionText(const std::string& when, const std::string& name);
// The local date and time of a copy, "dd.mm.yyyy hh:mm".
std::string RecoveryTimeText(int64_t unixTime);

// A running process as the copies know their writer: its id and its start time (the id
// alone may have been given to another process since).
struct ProcessIdentity {
    long pid = 0;
    unsigned long long start = 0;  // clock ticks after boot; 0 where the system does not say
    bool operator==(const ProcessIdentity&) const = default;
};
ProcessIdentity ThisProcess();
bool ProcessRuns(const ProcessIdentity& process);

// The per-user folder of the copies: $XDG_STATE_HOME/skarv-editor/recovery, where
// XDG_STATE_HOME defaults to ~/.local/state. Native path.
std::string RecoveryFolder();

struct RecoveryCopy {
    ProcessIdentity writer;
    int64_t savedAt = 0;     // seconds since the epoch
    std::string folder;      // CurrentFolder, DNC form
    std::string fileName;    // FileName; empty for a document without a name
    std::string shownName;   // the name the question shows (the unsaved-changes caption)
    int machine = 0;         // CurrentMachine
    std::string text;        // the document's bytes
    std::string path;        // where the copy lies (set when read)
};

// The copy's bytes: a header of tagged, length-counted fields, then the text; and back.
// Decoding refuses anything cut short or malformed.
std::string EncodeRecoveryCopy(const RecoveryCopy& copy);
bool DecodeRecoveryCopy(std::string_view bytes, RecoveryCopy& copy);

// The file of a writer's copy in a folder.
std::string RecoveryCopyPath(const std::string& folder, const ProcessIdentity& writer);
// Writes the writer's copy safely: a temporary file beside it, flushed to the disk, then
// renamed into place and the folder flushed, so a crash or a power cut leaves either the
// old copy or the new one. The folder is made (mode 0700) when missing; the copy is 0600.
bool WriteRecoveryCopy(const std::string& folder, const RecoveryCopy& copy);
bool RemoveRecoveryCopy(const std::string& path);
// The copies in a folder whose writer no longer runs, oldest first. Files that are not
// whole copies are left where they are; temporary files of dead writers are removed.
std::vector<RecoveryCopy> LeftOverRecoveryCopies(const std::string& folder);

// Writes this process's copy on a thread of its own: the user interface hands over a
// snapshot of the text and goes on. Work is done in order; a newer snapshot replaces one
// still waiting, and a removal drops it.
class RecoveryWriter {
public:
    RecoveryWriter(std::string folder, ProcessIdentity self);
    ~RecoveryWriter();  // finishes what waits
    RecoveryWriter(const RecoveryWriter&) = delete;
    RecoveryWriter& operator=(const RecoveryWriter&) = delete;

    void Write(RecoveryCopy copy);
    void Remove();
    // Writes on the caller's thread after what waits (at SIGTERM, before the process ends).
    bool WriteNow(RecoveryCopy copy);
    // Waits until nothing is left to do (tests, and the end of the program).
    void Flush();
    const std::string& Path() const { return path_; }
    // Whether the last write that was done succeeded.
    bool LastWriteOk() const;

private:
    void Run();
    bool Do(std::optional<RecoveryCopy>& copy, bool remove);

    const std::string folder_;
    const ProcessIdentity self_;
    const std::string path_;
    mutable std::mutex mutex_;
    std::condition_variable wake_, idle_;
    std::optional<RecoveryCopy> pending_;
    bool removePending_ = false;
    bool busy_ = false;
    bool stop_ = false;
    bool lastOk_ = true;
    std::thread thread_;
};
