#include "support/TestSupport.h"

#include <fmt/format.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <random>

namespace lexicorn::test {

// A random name, tried again while it is taken: mkdtemp is not there on every system the tests run on.
TempDir::TempDir() {
    const std::filesystem::path parent = std::filesystem::temp_directory_path();
    std::mt19937_64 names(std::random_device{}());
    for (int attempt = 0; attempt < 100; ++attempt) {
        // Six characters, as mkdtemp's: tools that wrap their messages to the terminal's width (srec_cat)
        // wrap them where the tests expect them.
        std::filesystem::path candidate = parent / fmt::format("lexicorn-test-{:06x}", names() & 0xFFFFFF);
        if (std::filesystem::create_directory(candidate)) {
            path_ = std::move(candidate);
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary folder in " + parent.string());
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add,
                                 ignored);
    std::filesystem::remove_all(path_, ignored);
}

void SetEnvironment(const char* name, const char* value) {
#ifdef _WIN32
    _putenv_s(name, value);
#else
    setenv(name, value, 1);
#endif
}

void UnsetEnvironment(const char* name) {
#ifdef _WIN32
    _putenv_s(name, "");  // an empty value removes the variable there
#else
    unsetenv(name);
#endif
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) throw std::runtime_error("cannot read " + path.string());
    return std::string(std::istreambuf_iterator<char>(file), {});
}

void WriteFile(const std::filesystem::path& path, const std::string& content) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << content;
    if (!file) throw std::runtime_error("cannot write " + path.string());
}

std::vector<std::uint8_t> Hex(const std::string& pairs) {
    std::vector<std::uint8_t> bytes;
    std::string digits;
    std::copy_if(pairs.begin(), pairs.end(), std::back_inserter(digits), [](char c) { return c != ' '; });
    for (std::size_t i = 0; i + 1 < digits.size(); i += 2)
        bytes.push_back(static_cast<std::uint8_t>(std::stoi(digits.substr(i, 2), nullptr, 16)));
    return bytes;
}

MemoryTable::MemoryTable(std::vector<std::vector<std::string>> rows, std::string name)
    : TableReader(std::move(name), 0, 0), rows_(std::move(rows)) {}

void MemoryTable::Load() {
    ++opens;
    std::size_t columns = 0;
    for (const auto& row : rows_) columns = std::max(columns, row.size());
    SetCounts(columns, rows_.size());
}

std::string_view MemoryTable::CellText(std::uint16_t column, std::uint16_t row) const {
    const auto& cells = rows_[row - 1];
    return column <= cells.size() ? std::string_view(cells[column - 1]) : std::string_view();
}

LoadedTable MakeLoadedTable(std::vector<std::vector<std::string>> rows, std::vector<std::size_t> selected,
                            std::size_t notesColumn) {
    LoadedTable table;
    table.tableReader = std::make_unique<MemoryTable>(std::move(rows));
    table.tableReader->Open();
    table.notesColumn = notesColumn;
    for (std::size_t column = 2; column <= table.tableReader->GetColumnCount(); ++column)
        if (column != notesColumn)
            table.languages.push_back({table.tableReader->GetCellW(static_cast<std::uint16_t>(column), 1),
                                       table.tableReader->GetCellW(static_cast<std::uint16_t>(column), 2),
                                       false, column});
    table.tableLanguageCount = static_cast<int>(table.languages.size());
    for (std::size_t i : selected) table.languages.at(i).selected = true;
    table.tableReader->Close();
    table.spreadsheetPath = "memory.csv";
    return table;
}

void RecordingHost::SetStatusText(const std::string& text) {
    statusTexts.push_back(text);
    calls.push_back("SetStatusText " + text);
}

void RecordingHost::Step() {
    ++steps;
    calls.push_back("Step");
    if (steps == cancelAtStep) cancelRequested = true;
    if (onStep) onStep(steps);
}

void RecordingHost::ShowError(const std::string& text, ResultCode code) {
    errors.push_back(text);
    errorCodes.push_back(code);
    calls.push_back("Error " + text);
}

void RecordingHost::ShowInformation(const std::string& text) {
    information.push_back(text);
    calls.push_back("Information " + text);
}

void RecordingHost::Pause(std::chrono::milliseconds duration) {
    calls.push_back("Pause " + std::to_string(duration.count()));
}

bool RecordingHost::CancelRequested() const {
    if (++checks == cancelAtCheck) cancelRequested = true;
    return cancelRequested;
}

int RecordingHost::Count(const std::string& call) const {
    return static_cast<int>(std::count(calls.begin(), calls.end(), call));
}

std::string FirmwareText(const FirmwareFile& file) {
    std::string text;
    WriteFirmware(file, file.format, 0, [&](std::string_view piece) { text += piece; });
    return text;
}

}  // namespace lexicorn::test
