#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "base/Error.h"
#include "project/ProjectSettings.h"
#include "table/LoadedTable.h"

// Translations coming back from translators: the XLIFF (1.2 and 1.1) and PO files that export
// writes, as their tools and converters return them, read into the cells they belong in.
namespace lexicorn {

/// One unit of a translation file.
struct ImportedUnit {
    std::string id;        ///< empty when the unit names none
    bool idNamed = false;  ///< the id is the string's own (resname, msgctxt), not a converter's number
    std::string source;    ///< inline codes as their text
    std::string target;
    bool fuzzy = false;  ///< a PO entry marked fuzzy: not yet a translation
    std::size_t line = 0;
};

/// A translation file as read: its language and its units in its order.
struct TranslationDocument {
    std::string fileName;
    std::string language;  ///< target-language, or the PO header's Language
    std::vector<ImportedUnit> units;
};

/// A translation file that cannot be read: "FILE:LINE: what".
class TranslationFileError : public Error {
  public:
    explicit TranslationFileError(const std::string& message) : Error(kCannotOpenFile, message) {}
};

/// Reads the translation file `fileName`, whose bytes are `bytes`: XLIFF 1.x by its extension
/// (.xlf, .xliff) or its content, else PO. Inline codes (<ph>, <x/>, <g>, <bx/>, <ex/>, <bpt>,
/// <ept>, <it>, <mrk>) read as the text they stand for. Throws TranslationFileError.
TranslationDocument ReadTranslationDocument(const std::string& fileName, std::string_view bytes);

/// A cell to be given new text.
struct CellChange {
    std::size_t row = 0;  ///< from 1
    std::size_t column = 0;
    std::string text;
};

/// What an import makes of one file.
struct LanguageImport {
    std::string fileName;
    std::string code;
    std::size_t column = 0;
    bool added = false;                ///< the table had no column for the language
    std::vector<std::string> changed;  ///< cells, "C5"
    std::vector<std::string> unchanged;
    std::vector<std::string> skipped;  ///< cells whose unit was not taken (see the warnings)
    std::size_t empty = 0;             ///< units without a translation, whose cells stay
    std::size_t bySource = 0;          ///< units matched by their source text, naming no id of the table
};

struct ImportOptions {
    bool acceptChangedSources = false;  ///< take a unit whose source is no longer the default string
};

/// An import worked out: the changes, or the problems that refuse it.
struct ImportPlan {
    std::vector<std::string> problems;  ///< each refuses the import: "FILE:LINE: what"
    std::vector<std::string> warnings;  ///< units skipped: "FILE:LINE: what"
    std::vector<LanguageImport> languages;
    std::vector<CellChange> changes;  ///< in row order, then column order; a new column's name and code
};

/// Works out what `documents` change in `table` (whose reader is open): units by id, else by their
/// unique default string; a language the table lacks gets a new column after the last one. A
/// placeholder unlike the default string's, an id the table lacks, a unit no string matches and a
/// language twice are problems; a fuzzy entry and a changed source (unless `options` take it) are
/// warnings that skip the unit.
ImportPlan PlanImport(const LoadedTable& table, const ProjectSettings& settings,
                      const std::vector<TranslationDocument>& documents, const ImportOptions& options);

}  // namespace lexicorn
