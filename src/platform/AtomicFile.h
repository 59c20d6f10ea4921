#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/Error.h"

namespace lexicorn {

/// A file that could not be written or put in place: the message names it and gives the system's
/// reason; File is the name it was asked for by, for a caller that has to say which of several failed.
class WriteFailure : public Error {
  public:
    WriteFailure(std::filesystem::path file, const std::string& message)
        : Error(kCannotCreateFile, message), file_(std::move(file)) {}
    const std::filesystem::path& File() const { return file_; }

  private:
    std::filesystem::path file_;
};

/// Replaces a file whole or not at all: the bytes go to a temporary file in the same folder, every
/// write is checked and flushed to disk, and only Commit renames the temporary file over the old
/// one. Anything short of a successful Commit leaves an existing file as it was and removes the
/// temporary file; where the system allows, the temporary file has no name until Commit, so that
/// not even a killed process leaves it behind. A file whose write permission has been taken away is not
/// replaced. Writes go through symbolic links to the file they name.
class AtomicFile {
  public:
    enum class Flush {
        kToDisk,         ///< Commit waits until the bytes are on the disk: they survive a power cut
        kLeaveToSystem,  ///< the system writes them back in its own time, as cp does
    };
    explicit AtomicFile(const std::filesystem::path& path, Flush flush = Flush::kToDisk);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    /// True once something has gone wrong: Commit will fail.
    bool Failed() const { return !failure_.empty(); }
    /// Appends bytes; after a failure further writes do nothing and Commit fails.
    void Write(std::string_view bytes);
    /// Replaces bytes already written, from `offset` (which `bytes` must not pass the end from).
    void WriteAt(std::uint64_t offset, std::string_view bytes);
    /// Appends `length` bytes of another open file from `offset`, copied inside the system where it
    /// can (as cp does) rather than through this process. A source shorter than that fails.
    void WriteFrom(std::FILE* source, std::uint64_t offset, std::uint64_t length);
    /// Completes the file without putting it in place: the bytes are flushed (once, however often
    /// this is called).
    /// Throws WriteFailure (kCannotCreateFile), naming the file and the system's reason, when it cannot.
    void Finish();
    /// Finishes the file and gives it its hidden name beside the target: all that is left is the
    /// rename. Throws as Finish.
    void Stage();
    /// Finishes the file and puts it in place; throws as Finish.
    void Commit();

  private:
    // A set replaces its members' old files one rename at a time and must be able to undo them.
    friend class FileSet;
    /// Keeps the file that Commit will replace under a hidden name beside it: a second link where
    /// the file system has them, else the file itself moved aside. Throws as Finish.
    void KeepOldFile();
    /// Undoes Commit (and a KeepOldFile that moved the old file aside): the old file has its name
    /// again, or a file that was new is gone. Empty when so, else what is left where.
    std::string PutBackOldFile();
    /// Lets the kept old file go: the new one stays.
    void DropOldFile();
    /// After Stage: the file in place holds exactly the bytes (and permissions) of the new one.
    bool MatchesOldFile() const;

    /// The file a path names once its symbolic links are followed: writes through a link land on the
    /// file it names, as a plain open would.
    static std::filesystem::path ResolveLinks(const std::filesystem::path& path);
    /// The folder a file is in, "." for a bare name.
    static std::filesystem::path FolderOf(const std::filesystem::path& file);
    /// A name beside `target` that a listing hides: ".Lexicorn.bin.<suffix>".
    static std::string HiddenName(const std::filesystem::path& target, std::string_view suffix);

    void Fail(const std::string& why);
    [[noreturn]] void ThrowFailure() const;
    void Abandon();
    /// Writes all of `bytes`, at `offset` or else at the end, retrying after signals.
    void Put(std::string_view bytes, std::optional<std::uint64_t> offset);
    /// Links the finished unnamed file under a hidden name beside the target.
    void Name();

    std::filesystem::path requested_;
    std::filesystem::path target_;
    std::string temporary_;  // the temporary file's name; empty while it has none
    int fd_ = -1;
    bool finished_ = false;
    bool placed_ = false;        // Commit has renamed the new file over the target
    std::string kept_;           // the old file's hidden name while a set may still put it back
    bool keptByMoving_ = false;  // the old file left its name for kept_ (no second link possible)
    unsigned mode_ = 0;
    Flush flush_;
    std::string failure_;
};

/// Files that belong together, replaced together: each is written whole to a temporary file
/// beside it, and only when every one of them is complete are they put in place, one rename each.
/// The old files are kept aside until every rename has succeeded, so that a rename that fails
/// after others puts theirs back. A member whose old file already holds its bytes is not replaced:
/// the old file keeps its time stamp, so that a build tool sees nothing to do. Anything short of a
/// successful Commit leaves every old file as it was and no temporary file.
class FileSet {
  public:
    FileSet() = default;
    ~FileSet();
    FileSet(const FileSet&) = delete;
    FileSet& operator=(const FileSet&) = delete;

    /// A new member; write to it and Finish it. Throws as AtomicFile::Finish when the file cannot
    /// even be started (a read-only file or folder, a folder in its place).
    AtomicFile& Add(const std::filesystem::path& path);
    /// Finishes every member, then puts them all in place; throws as AtomicFile::Finish, naming the
    /// member that failed (and an old file that could not be put back, should that happen too).
    void Commit();

  private:
    std::vector<std::unique_ptr<AtomicFile>> files_;
};

/// The whole regular file at `path`. Throws Error (kCannotOpenFile), naming the file and the
/// system's reason, when it cannot be read.
std::string ReadWholeFile(const std::filesystem::path& path);

/// Replaces the file at `path` with `bytes` through an AtomicFile; throws as Commit.
void WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes);

}  // namespace lexicorn
