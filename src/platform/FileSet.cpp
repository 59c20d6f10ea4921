// What the whole-or-nothing file replacement does the same on every system: a file's own steps that
// call nothing of the system's, sets of files and whole reads.
#include <cerrno>
#include <fstream>
#include <iterator>

#include "platform/AtomicFile.h"

namespace lexicorn {
namespace fs = std::filesystem;

fs::path AtomicFile::ResolveLinks(const fs::path& path) {
    std::error_code ec;
    fs::path resolved = path;
    for (int hops = 0; hops < 40 && fs::is_symlink(resolved, ec); ++hops) {
        fs::path target = fs::read_symlink(resolved, ec);
        if (ec) break;
        resolved = target.is_absolute() ? target : resolved.parent_path() / target;
    }
    return resolved;
}

fs::path AtomicFile::FolderOf(const fs::path& file) {
    return file.has_parent_path() ? file.parent_path() : fs::path(".");
}

AtomicFile::~AtomicFile() { Abandon(); }

void AtomicFile::Fail(const std::string& why) {
    if (failure_.empty()) failure_ = requested_.string() + ": " + why;
    Abandon();
}

void AtomicFile::ThrowFailure() const { throw WriteFailure(requested_, failure_); }

void AtomicFile::Write(std::string_view bytes) { Put(bytes, std::nullopt); }

void AtomicFile::WriteAt(std::uint64_t offset, std::string_view bytes) { Put(bytes, offset); }

FileSet::~FileSet() = default;

AtomicFile& FileSet::Add(const std::filesystem::path& path) {
    files_.push_back(std::make_unique<AtomicFile>(path));
    if (files_.back()->Failed()) files_.back()->Finish();  // throws: the file cannot even be started
    return *files_.back();
}

void FileSet::Commit() {
    // Everything that can fail happens to every member before the first one replaces its old file.
    for (const auto& file : files_) file->Stage();
    // A file rewritten with the same bytes would only make everything built from it out of date.
    std::vector<AtomicFile*> changed;
    for (const auto& file : files_) {
        if (file->MatchesOldFile())
            file->Abandon();
        else
            changed.push_back(file.get());
    }
    // Only a rename is left to fail (a file made immutable, a folder put in a member's place): the
    // old files wait aside until every new one is in place.
    try {
        for (AtomicFile* file : changed) file->KeepOldFile();
        for (AtomicFile* file : changed) file->Commit();
    } catch (const WriteFailure& error) {
        std::string message = error.what();
        for (auto file = files_.rbegin(); file != files_.rend(); ++file) {
            if (const std::string left = (*file)->PutBackOldFile(); !left.empty()) message += "\r" + left;
            (*file)->Abandon();
        }
        throw WriteFailure(error.File(), message);
    }
    for (AtomicFile* file : changed) file->DropOldFile();
}

std::string ReadWholeFile(const fs::path& path) {
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    if (status.type() == fs::file_type::not_found)
        throw Error(kCannotOpenFile, WithSystemReason(path.string(), ENOENT));
    if (error) throw Error(kCannotOpenFile, path.string() + ": " + error.message());
    if (!fs::is_regular_file(status)) throw Error(kCannotOpenFile, path.string() + ": not a regular file");
    std::ifstream file(path, std::ios::binary);
    if (!file) throw Error(kCannotOpenFile, WithSystemReason(path.string(), errno));
    std::string bytes(std::istreambuf_iterator<char>(file), {});
    if (file.bad()) throw Error(kCannotOpenFile, WithSystemReason(path.string(), errno));
    return bytes;
}

void WriteFileAtomically(const fs::path& path, std::string_view bytes) {
    AtomicFile file(path);
    file.Write(bytes);
    file.Commit();
}

}  // namespace lexicorn
