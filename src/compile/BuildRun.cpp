#include "compile/BuildRun.h"

#include <algorithm>
#include <memory>
#include <type_traits>

#include "compile/BuildMessages.h"
#include "compile/OwnInputs.h"
#include "generate/CSource.h"
#include "generate/StringListEngine.h"
#include "image/LexicornEngine.h"
#include "platform/AtomicFile.h"
#include "table/TableLayout.h"

namespace lexicorn {
namespace {

using namespace table_layout;

constexpr const char* kImageFile = "Lexicorn.bin";
constexpr const char* kCSourceFile = "Lexicorn.c";
constexpr const char* kApiConfigFile = "LXNApiCfg.h";

// A C target that compiles the API gets the image as C source too.
bool WritesCSource(const ProjectSettings& settings) {
    return settings.targetLanguage == TargetLanguage::kC && settings.targetPlatform == TargetPlatform::kApi;
}

// The names of the files a build writes into its output folder, in the order it writes them.
std::vector<std::string> OutputNames(const ProjectSettings& settings) {
    std::vector<std::string> names = {kImageFile};
    if (WritesCSource(settings)) names.push_back(kCSourceFile);
    if (const auto list = CreateStringListEngine(settings.targetLanguage, 0, std::nullopt, 0))
        names.push_back(list->FileName());
    names.push_back(kApiConfigFile);
    return names;
}

// A build never writes over what it reads: an output that is, by whatever name or link, the table,
// the project, a font or the limits is found before anything is written. The message names both
// files.
std::optional<std::string> OutputOverInput(const LoadedTable& table, const ProjectSettings& settings,
                                           const BuildOptions& options) {
    const std::vector<CommandInput> inputs =
        TableInputs(table.spreadsheetPath, options.projectFile, settings);
    for (const std::string& name : OutputNames(settings)) {
        const std::filesystem::path output = options.outputFolder / name;
        if (const std::optional<CommandInput> input = InputNamedBy(output, inputs))
            return messages::OutputIsInput(output.string(), input->role, input->path.string());
    }
    return std::nullopt;
}

// Where the check's first error points to in the table, for the message the build shows.
struct FailurePlace {
    std::size_t row = 0;
    std::size_t column = 0;
    std::string id;
};

class Build {
  public:
    Build(BuildHost& host, LoadedTable& table, const ProjectSettings& settings, const BuildOptions& options)
        : host_(host), table_(table), reader_(*table.tableReader), settings_(settings), options_(options) {}

    // The build from the engine's creation to LXNApiCfg.h. Returns the first failure, or 0 when it
    // ran through or stopped at a cancellation check.
    ResultCode Run() {
        check_ = CheckTable(table_, settings_);
        if (!check_.findings.empty()) host_.ShowFindings(check_);
        // A table the check refuses is not built at all: no progress shows, and the message names
        // the first problem in cell order.
        if (ResultCode refused = CheckRefusal()) return refused;
        stringCount_ = static_cast<std::uint32_t>(StringCount(reader_.GetRowCount()));
        languageCount_ = static_cast<std::uint32_t>(table_.SelectedCount());

        engine_ = CreateLexicornEngine(settings_.tableType);
        // A damaged project may hold another table type; 16-bit offsets are the default.
        if (!engine_) engine_ = CreateLexicornEngine(TableType::k16Bit);
        if (ResultCode result = engine_->Initialize(languageCount_, stringCount_, settings_.alignment,
                                                    settings_.byteOrder, settings_.encoding))
            return result;
        if (options_.uniqueId) engine_->SetUniqueId(*options_.uniqueId);

        host_.SetCaption(messages::kProgressCaption);
        host_.SetStatusText(messages::kCreatingLanguageTable);
        host_.SetRange(stringCount_ * languageCount_ + languageCount_);
        host_.Show();
        reader_.SetCodePage(settings_.codePage);
        reader_.SetUtf8Mode(settings_.encoding == Encoding::kUtf8);

        ResultCode result = kSuccess;
        if (settings_.encoding == Encoding::kUtf16)
            result = AddTable<std::u16string>();
        else if (settings_.encoding == Encoding::kSingleByte || settings_.encoding == Encoding::kUtf8)
            result = AddTable<std::string>();
        if (result || stopped_) return result;

        host_.Complete();
        host_.SetStatusText(messages::kCreatingImage);
        FileSet outputs;
        if (ResultCode saved = Written([&] { return engine_->SaveImage(AddOutput(outputs, kImageFile)); }))
            return saved;
        host_.Pause(kReadingPause);
        if (StopRequested()) return kSuccess;
        if (WritesCSource(settings_)) {
            host_.SetStatusText(messages::kCreatingCSource);
            if (ResultCode saved =
                    Written([&] { return SaveCSource(*engine_, AddOutput(outputs, kCSourceFile)); }))
                return saved;
            host_.Pause(kReadingPause);
            if (StopRequested()) return kSuccess;
        }
        if (ResultCode listed = WriteStringList(outputs); listed || stopped_) return listed;
        if (ResultCode written = Written([&] {
                WriteApiConfigHeader(ApiConfigOf(settings_), AddOutput(outputs, kApiConfigFile));
                return kSuccess;
            }))
            return written;
        // The last point where a cancel keeps the old files: after it, the new set takes their place.
        if (StopRequested()) return kSuccess;
        return Written([&] {
            outputs.Commit();
            return kSuccess;
        });
    }

    BuildOutcome Report(ResultCode result) {
        BuildOutcome outcome;
        outcome.result = result;
        // A cancel that came after the last check is too late: the new files stand, and the summary
        // says that the cancel did not stop them.
        const bool cancelled = stopped_ && result == kSuccess;
        const bool tooLate = !stopped_ && result == kSuccess && host_.CancelRequested();
        host_.ClearCancelRequest();
        if (cancelled) {
            host_.ShowInformation(messages::kCancelledByUser);
            outcome.kind = BuildOutcome::Kind::kCancelled;
            return outcome;
        }
        if (result == kSuccess) {
            host_.ShowInformation(
                messages::Summary(languageCount_, stringCount_, engine_->GetImageSize(), ShownFolder()) +
                (tooLate ? messages::kCancelTooLate : ""));
            outcome.kind = BuildOutcome::Kind::kSucceeded;
            outcome.files = written_;
            outcome.imageSize = engine_->GetImageSize();
            engine_->GetUniqueId(outcome.uniqueId);
            outcome.stringCount = stringCount_;
            return outcome;
        }
        host_.ShowError(FailureMessage(result), result);
        outcome.kind = BuildOutcome::Kind::kFailed;
        outcome.failedFile = failedFile_;
        return outcome;
    }

    void CleanUp() {
        host_.Hide();
        reader_.Close();
        stringList_.reset();
        engine_.reset();
    }

  private:
    std::filesystem::path Output(const std::string& name) const { return options_.outputFolder / name; }

    ResultCode CheckRefusal() {
        for (const Finding& finding : check_.findings)
            if (finding.severity == Finding::Severity::kError) {
                refusal_ = &finding;
                // The place as the build would have met it, for the message the build has always shown.
                failure_ = {finding.row, finding.column,
                            finding.column == kIdColumn
                                ? reader_.GetCell(kIdColumn, static_cast<std::uint16_t>(finding.row))
                                : std::string()};
                return finding.code != kSuccess ? finding.code : kInvalidStringId;
            }
        return options_.strict && check_.Warnings() > 0 ? kCheckWarnings : kSuccess;
    }

    // The output folder as the summary names it: whole, so that the user knows where to look.
    std::string ShownFolder() const {
        std::error_code ignored;
        const std::filesystem::path folder = std::filesystem::absolute(options_.outputFolder, ignored);
        return folder.lexically_normal().string();
    }

    // Runs a write of an output file; a file that cannot be written ends the build with the
    // error's code, and the file and the reason are kept for the message and the outcome.
    template <typename Write>
    ResultCode Written(Write&& write) {
        try {
            return write();
        } catch (const WriteFailure& failure) {
            failedFile_ = failure.what();
            failedOutput_ = failure.File();
            return failure.Code();
        }
    }

    // A new file of the set, which the outcome lists once the set is in place.
    AtomicFile& AddOutput(FileSet& outputs, const std::string& name) {
        written_.push_back(Output(name));
        return outputs.Add(written_.back());
    }

    // The points where a build looks at the cancellation request; nowhere else.
    bool StopRequested() { return stopped_ = host_.CancelRequested(); }

    template <typename Text>
    Text ReadCell(std::uint16_t column, std::uint16_t row) const {
        if constexpr (std::is_same_v<Text, std::u16string>)
            return reader_.GetCellW(column, row);
        else
            return reader_.GetCell(column, row);
    }

    template <typename Text>
    ResultCode AddTable() {
        static const Text kUseDefaultText(kUseDefault.begin(), kUseDefault.end());
        const auto languageColumn = [this](std::size_t entry) {
            return static_cast<std::uint16_t>(table_.LanguageColumn(entry));
        };
        const std::size_t entries = static_cast<std::size_t>(std::max(table_.tableLanguageCount, 0));

        for (std::size_t i = 0; i < entries; ++i) {
            if (StopRequested()) return kSuccess;
            if (!table_.languages[i].selected) continue;
            const Text name = ReadCell<Text>(languageColumn(i), kNameRow);
            const std::string code = reader_.GetCell(languageColumn(i), kCodeRow);
            if (ResultCode result = engine_->AddLanguage(code, name)) return result;
            host_.Step();
        }
        host_.Pause(kReadingPause);

        for (std::size_t i = 0; i < entries; ++i) {
            if (StopRequested()) return kSuccess;
            if (!table_.languages[i].selected) continue;
            for (std::uint32_t s = 1; s <= stringCount_; ++s) {
                if (StopRequested()) return kSuccess;
                host_.SetStatusText(messages::AddingString(i + 1, s, engine_->GetImageSize()));
                const auto row = static_cast<std::uint16_t>(StringRow(s));
                Text text = ReadCell<Text>(languageColumn(i), row);
                if (text == kUseDefaultText || (settings_.useDefaultString && text.empty()))
                    text = ReadCell<Text>(kDefaultColumn, row);
                if (ResultCode result = engine_->AddString(text)) return result;
                host_.Step();
            }
        }
        return kSuccess;
    }

    ResultCode WriteStringList(FileSet& outputs) {
        std::uint32_t uniqueId = 0;
        engine_->GetUniqueId(uniqueId);
        stringList_ = CreateStringListEngine(settings_.targetLanguage, stringCount_, std::nullopt, uniqueId);
        if (!stringList_) return kUnknownTargetLanguage;
        host_.SetRange(stringCount_);
        host_.SetStatusText(messages::CreatingStringList(stringList_->FileName()));
        for (std::uint32_t s = 1; s <= stringCount_; ++s) {
            if (StopRequested()) return kSuccess;
            const auto row = static_cast<std::uint16_t>(StringRow(s));
            if (ResultCode result = stringList_->AddId(reader_.GetCell(kIdColumn, row))) return result;
            host_.Step();
        }
        return Written([&] {
            AtomicFile& file = AddOutput(outputs, stringList_->FileName());
            file.Write(stringList_->FormatFile());
            file.Finish();
            return kSuccess;
        });
    }

    std::string FailureMessage(ResultCode result) const {
        switch (result) {
            case kCannotCreateFile: {
                // Whichever file failed, and at whatever stage (the set is put in place last), the
                // message names it and the system's reason.
                if (failedOutput_.empty()) break;
                const std::string name = failedOutput_.filename().string();
                const bool isList = stringList_ && name == stringList_->FileName();
                return messages::WriteFailed(
                    failedFile_,
                    isList ? messages::CannotCreateStringList(name) : messages::CannotCreateFile(name),
                    result);
            }
            case kEmptyStringId:
                return messages::EmptyStringId(failure_.row);
            case kCapacityExceeded:
                return messages::ImageTooLarge();
            case kImageIncomplete:
                // An image without string rows is never complete: the user's table, not the program.
                if (stringCount_ == 0) return messages::kNoStrings;
                break;
            case kDuplicateStringId:
                return messages::DuplicateStringId(failure_.id, failure_.row);
            case kStringIdTooLong:
                return messages::StringIdTooLong(failure_.id, failure_.row);
            case kCellTooLong:
                return messages::CellTooLong(failure_.row, failure_.column, kMaxCellLength);
            case kInvalidStringId:
                if (!refusal_) break;
                // A cell the check refuses for what the build has no message of its own (a character
                // the code page lacks): the file, the cell and the check's reason.
                if (refusal_->code == kSuccess)
                    return LocatedMessage(table_.spreadsheetPath, refusal_->row, refusal_->column,
                                          refusal_->message);
                return messages::InvalidStringId(refusal_->message, refusal_->row);
            case kCheckWarnings:
                return messages::WarningsRefused(check_.Warnings());
            case kGlyphMissing:
                if (refusal_) return messages::GlyphMissing(refusal_->message, refusal_->Cell());
                break;
            case kTooWide:
                if (refusal_) return messages::TooWide(refusal_->message, refusal_->Cell());
                break;
            case kPlaceholderMismatch:
                if (refusal_) return messages::PlaceholderMismatch(refusal_->message, refusal_->Cell());
                break;
        }
        return messages::InternalError(result);
    }

    BuildHost& host_;
    LoadedTable& table_;
    TableReader& reader_;
    const ProjectSettings& settings_;
    const BuildOptions& options_;
    std::unique_ptr<LexicornEngine> engine_;
    std::unique_ptr<StringListEngine> stringList_;
    std::uint32_t stringCount_ = 0;
    std::uint32_t languageCount_ = 0;
    bool stopped_ = false;
    FailurePlace failure_;
    std::string failedFile_;              // the file that could not be written and the reason
    std::filesystem::path failedOutput_;  // that file
    CheckReport check_;
    const Finding* refusal_ = nullptr;
    std::vector<std::filesystem::path> written_;  // the files of the set, in the order written
};

}  // namespace

BuildOutcome BuildLexicorn(BuildHost& host, LoadedTable& table, const ProjectSettings& settings,
                           const BuildOptions& options) {
    if (table.spreadsheetPath.empty() || !table.tableReader) {
        host.ShowError(messages::kNoExcelFileSelected, kSuccess);
        return {};
    }
    // A loaded table of one column: there is a file, but nothing in it to choose.
    if (table.tableLanguageCount == 0) {
        host.ShowError(messages::kNoLanguageColumn, kSuccess);
        return {};
    }
    if (table.SelectedCount() == 0) {
        host.ShowError(messages::kNoLanguagesSelected, kSuccess);
        return {};
    }
    if (const std::optional<std::string> clash = OutputOverInput(table, settings, options)) {
        host.ShowError(*clash, kOutputIsInput);
        BuildOutcome refused;
        refused.result = kOutputIsInput;
        return refused;
    }
    if (table.tableReader->Open() != kSuccess) {
        host.ShowError(messages::kCannotOpenExcelFile, kSuccess);
        return {};
    }

    Build build(host, table, settings, options);
    BuildOutcome outcome;
    try {
        outcome = build.Report(build.Run());
    } catch (...) {
        build.CleanUp();
        throw;
    }
    build.CleanUp();
    outcome.tableRead = true;
    return outcome;
}

}  // namespace lexicorn
