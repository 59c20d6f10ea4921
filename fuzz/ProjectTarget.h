#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "FuzzCheck.h"
#include "project/ProjectFile.h"

namespace fuzz_project {

// Settings unlike the start-up defaults in every field, so that a load that forgets one shows.
inline lexicorn::ProjectSettings Unusual() {
    lexicorn::ProjectSettings settings;
    settings.encoding = lexicorn::Encoding::kUtf8;
    settings.tableType = lexicorn::TableType::k32Bit;
    settings.alignment = 4;
    settings.byteOrder = lexicorn::ByteOrder::kBig;
    settings.searchStep = 2;
    settings.mergeMode = lexicorn::MergeMode::kAppend;
    settings.mergePlacement = lexicorn::MergePlacement::kAddress;
    settings.mergeAddress = 0x12345678;
    settings.useDefaultString = false;
    settings.targetLanguage = lexicorn::TargetLanguage::kCSharp;
    settings.targetPlatform = lexicorn::TargetPlatform::kDotNet;
    settings.codePage = "CP1250";
    settings.noFileSystem = true;
    settings.table = "/elsewhere/table.xlsx";
    settings.languages = {"xx", "yy"};
    settings.outputFolder = "/elsewhere/out";
    return settings;
}

}  // namespace fuzz_project

// A project file of arbitrary bytes, loaded as the window and `lexicorn build -p` load one. A
// refusal leaves the settings as they were; what is loaded is saved and loaded again, into other
// settings, and must come back the same.
inline int FuzzProject(const std::uint8_t* data, std::size_t size) {
    namespace fs = std::filesystem;
    // One folder for the process, gone when it ends.
    static const struct Folder {
        fs::path path = fs::temp_directory_path() / ("lexicorn-fuzz-project-" + std::to_string(getpid()));
        Folder() { fs::create_directories(path); }
        ~Folder() {
            std::error_code ignored;
            fs::remove_all(path, ignored);
        }
    } scratch;
    const fs::path& folder = scratch.path;
    const fs::path path = folder / "fuzz.lxn";
    {
        std::ofstream file(path, std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    lexicorn::ProjectSettings loaded;
    const lexicorn::ProjectFileResult result = lexicorn::LoadProjectFile(path, loaded);
    if (!result) {
        FUZZ_CHECK(loaded == lexicorn::ProjectSettings{}, "a refused file changes nothing");
        FUZZ_CHECK(
            result.status == lexicorn::ProjectFileResult::Status::kNotAProject || !result.message.empty(),
            "a refusal says why");
        return 0;
    }
    const fs::path saved = folder / "saved.lxn";
    FUZZ_CHECK(lexicorn::SaveProjectFile(saved, loaded), "what was loaded can be saved");
    lexicorn::ProjectSettings again = fuzz_project::Unusual();
    FUZZ_CHECK(lexicorn::LoadProjectFile(saved, again), "what was saved can be loaded");
    FUZZ_CHECK(again == loaded, "the same settings after saving and loading");
    return 0;
}
