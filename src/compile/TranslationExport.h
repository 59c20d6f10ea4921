#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/Error.h"
#include "base/SettingChoices.h"
#include "project/ProjectSettings.h"
#include "table/LoadedTable.h"

// The files a table's strings travel to translators in, and back: XLIFF 1.2, which agencies'
// tools read, and gettext's PO. Each carries what the translator needs beside the text: the id,
// the limit in pixels, the notes, and the placeholders as codes that tools keep intact.
namespace lexicorn {

enum class ExchangeFormat : std::int8_t {
    kXliff = 0,
    kPo = 1,
};

inline constexpr SettingChoice<ExchangeFormat> kExchangeFormats[] = {
    {ExchangeFormat::kXliff, "xliff", "XLIFF 1.2"},
    {ExchangeFormat::kPo, "po", "gettext PO"},
};

/// How XLIFF carries a placeholder.
enum class InlineCodes : std::int8_t {
    kPh = 0,    ///< <ph id="1" ctype="x-printf">%d</ph>: the text inside, kept by Translate Toolkit
    kX = 1,     ///< <x id="1" equiv-text="%d"/>: what some commercial tools prefer
    kNone = 2,  ///< plain text
};

inline constexpr SettingChoice<InlineCodes> kInlineCodes[] = {
    {InlineCodes::kPh, "ph", "<ph> elements holding the placeholder"},
    {InlineCodes::kX, "x", "<x/> elements with the placeholder as equiv-text"},
    {InlineCodes::kNone, "none", "plain text"},
};

struct ExportOptions {
    ExchangeFormat format = ExchangeFormat::kXliff;
    InlineCodes inlineCodes = InlineCodes::kPh;
};

/// The format a file's extension names (.xlf and .xliff, .po, in any case); none for another.
std::optional<ExchangeFormat> ExchangeFormatOf(const std::filesystem::path& file);

/// The name of a language's file in a folder of them: its code and the format's extension, "de.xlf".
std::string TranslationFileName(std::string_view code, ExchangeFormat format);

/// One language's file for the translators.
struct TranslationFile {
    std::string code;
    std::string bytes;
    std::size_t strings = 0;
    std::size_t translated = 0;  ///< strings whose cell holds a translation, which the file carries
};

/// A table that the format cannot carry: every reason, a line each, naming the file and the cell.
class ExportRefused : public Error {
  public:
    explicit ExportRefused(const std::string& reasons) : Error(kSuccess, reasons) {}
};

/// The files of language entries `entries` of `table` (the default language, entry 0, is the
/// source of every one): one unit per string in table order, its id, its default string, its cell's
/// translation where there is one, its limit from `settings` and the placeholders its list
/// language knows. The table's reader is open. A table whose ids the check refuses (an empty one,
/// one twice) is refused, and so is a character XML cannot hold in an XLIFF file; both throw
/// ExportRefused. Throws TableError for a limits table that cannot be read.
std::vector<TranslationFile> ExportTranslations(const LoadedTable& table, const ProjectSettings& settings,
                                                const std::vector<std::size_t>& entries,
                                                const ExportOptions& options);

}  // namespace lexicorn
