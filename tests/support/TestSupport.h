#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "compile/BuildRun.h"
#include "merge/Firmware.h"
#include "project/ProjectSettings.h"
#include "table/TableReader.h"

namespace lexicorn::test {

/// A fresh folder under the system's temporary folder, removed with everything in it afterwards.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

  private:
    std::filesystem::path path_;
};

/// The process's environment, as the programs under test read it with getenv.
void SetEnvironment(const char* name, const char* value);
void UnsetEnvironment(const char* name);

std::string ReadFile(const std::filesystem::path& path);
void WriteFile(const std::filesystem::path& path, const std::string& content);
/// Bytes written as hexadecimal pairs, spaces ignored: "4F 30 2F".
std::vector<std::uint8_t> Hex(const std::string& pairs);

/// The merge tests' shorthands for their tables of cases: `using namespace test::merge_shorthands;`.
namespace merge_shorthands {
inline constexpr MergeMode kAppend = MergeMode::kAppend;
inline constexpr MergeMode kOverwrite = MergeMode::kOverwrite;
inline constexpr MergePlacement kBeginning = MergePlacement::kBeginning;
inline constexpr MergePlacement kEnd = MergePlacement::kEnd;
inline constexpr MergePlacement kAddress = MergePlacement::kAddress;
}  // namespace merge_shorthands

/// `file` written whole in its own form.
std::string FirmwareText(const FirmwareFile& file);

/// A table held in memory, rows of UTF-8 cells; rows may be ragged. Its file name names a file that
/// always exists, so that Open finds it.
class MemoryTable final : public TableReader {
  public:
    explicit MemoryTable(std::vector<std::vector<std::string>> rows, std::string name = "/dev/null");
    int opens = 0;

  protected:
    void Load() override;
    void Unload() override {}
    std::string_view CellText(std::uint16_t column, std::uint16_t row) const override;

  private:
    std::vector<std::vector<std::string>> rows_;
};

/// A loaded table over `rows` with the given language entries (0 = column 2) selected; column
/// `notesColumn`, when not 0, holds notes and is no language.
LoadedTable MakeLoadedTable(std::vector<std::vector<std::string>> rows, std::vector<std::size_t> selected,
                            std::size_t notesColumn = 0);

/// A build host that records what the build asks of it, one line per call.
class RecordingHost final : public BuildHost {
  public:
    std::vector<std::string> calls;  ///< "SetRange 6", "Step", "Pause 1000", "Error ...", ...
    std::vector<std::string> errors;
    std::vector<ResultCode> errorCodes;
    std::vector<std::string> information;
    std::vector<std::string> statusTexts;
    int steps = 0;
    /// Sets the cancel request at the step with this number (counted from 1); 0 never.
    int cancelAtStep = 0;
    /// Called at every step, for tests that look at the disk mid-build.
    std::function<void(int step)> onStep;
    mutable bool cancelRequested = false;
    /// Sets the cancel request when the build looks at it for this time (counted from 1); 0 never.
    int cancelAtCheck = 0;
    mutable int checks = 0;  ///< how often the build has looked at the cancel request

    void SetCaption(const std::string& text) override { calls.push_back("SetCaption " + text); }
    void SetStatusText(const std::string& text) override;
    void SetRange(std::uint32_t count) override { calls.push_back("SetRange " + std::to_string(count)); }
    void Step() override;
    void Complete() override { calls.push_back("Complete"); }
    void Show() override { calls.push_back("Show"); }
    void Hide() override { calls.push_back("Hide"); }
    void ShowError(const std::string& text, ResultCode code) override;
    void ShowInformation(const std::string& text) override;
    void Pause(std::chrono::milliseconds duration) override;
    bool CancelRequested() const override;
    void ClearCancelRequest() override { cancelRequested = false; }
    void ShowFindings(const CheckReport& shown) override { report = shown; }
    CheckReport report;  ///< what the check before the build found

    int Count(const std::string& call) const;
};

}  // namespace lexicorn::test

namespace lexicorn {
/// A little-endian 32-bit word of an image in memory.
inline std::uint32_t GetUnsignedForTest(const std::uint8_t* at) {
    return at[0] | at[1] << 8 | at[2] << 16 | static_cast<std::uint32_t>(at[3]) << 24;
}
}  // namespace lexicorn
