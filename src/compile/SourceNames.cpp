#include "compile/SourceNames.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>

#include "base/Error.h"
#include "base/ResultCodes.h"
#include "base/Text.h"
#include "generate/ListLanguages.h"
#include "platform/AtomicFile.h"
#include "table/TableLayout.h"

namespace lexicorn {
namespace {

namespace fs = std::filesystem;

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string Lowered(std::string_view text) {
    std::string lowered(text);
    std::transform(lowered.begin(), lowered.end(), lowered.begin(), Lower);
    return lowered;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
// Letters beyond ASCII are parts of names in all three families.
bool StartsName(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' ||
           static_cast<unsigned char>(c) >= 0x80;
}
bool InName(char c) { return StartsName(c) || IsDigit(c); }

// Interpolated strings inside interpolated strings deeper than this are read as plain strings: a
// hostile file cannot exhaust the stack.
constexpr int kMostNesting = 64;

// Reads one file's text: names go to the set, comments and literals are passed over.
class Scanner {
  public:
    Scanner(std::string_view text, SourceLanguage language, SourceNames& names)
        : text_(text), language_(language), names_(names) {}

    void Run() { Code(false); }

  private:
    bool At(std::string_view what) const { return text_.substr(at_, what.size()) == what; }
    char Next(std::size_t ahead = 1) const { return at_ + ahead < text_.size() ? text_[at_ + ahead] : '\0'; }

    // Code up to the end, or in a hole of an interpolated string up to the '}' that closes it.
    void Code(bool hole) {
        int braces = 0;
        while (at_ < text_.size()) {
            const char c = text_[at_];
            if (StartsName(c)) {
                Name();
            } else if (IsDigit(c)) {
                Number();
            } else if (hole && c == '{') {
                ++braces;
                ++at_;
            } else if (hole && c == '}') {
                ++at_;
                if (braces-- == 0) return;
            } else if (language_ == SourceLanguage::kVisualBasic) {
                VisualBasicCode();
            } else {
                CLikeCode();
            }
        }
    }

    void CLikeCode() {
        const char c = text_[at_];
        if (At("//")) return LineComment();
        if (At("/*")) {
            const std::size_t end = text_.find("*/", at_ + 2);
            at_ = end == std::string_view::npos ? text_.size() : end + 2;
            return;
        }
        if (c == '\'') return Escaped('\'');
        if (c == '"') {
            if (language_ == SourceLanguage::kCSharp && At("\"\"\"")) return CSharpRaw();
            return Escaped('"');
        }
        if (language_ == SourceLanguage::kCSharp && (c == '@' || c == '$')) {
            // $"..", @"..", $@".." and @$"..": a verbatim string doubles its quotes, and an
            // interpolated one has code in its holes.
            const bool twoPrefixes = (Next() == '@' || Next() == '$') && Next() != c;
            const char quote = twoPrefixes ? Next(2) : Next();
            if (quote == '"') {
                const bool verbatim = c == '@' || twoPrefixes;
                const bool interpolated = c == '$' || twoPrefixes;
                at_ += twoPrefixes ? 2 : 1;
                if (!verbatim && interpolated && At("\"\"\"")) return CSharpRaw();
                return Interpolated(verbatim, interpolated);
            }
        }
        ++at_;
    }

    void VisualBasicCode() {
        const char c = text_[at_];
        if (c == '\'') return LineComment();
        if (c == '"') return Interpolated(true, false);
        if (c == '$' && Next() == '"') {
            ++at_;
            return Interpolated(true, true);
        }
        ++at_;
    }

    void Name() {
        const std::size_t start = at_;
        while (at_ < text_.size() && InName(text_[at_])) ++at_;
        const std::string_view name = text_.substr(start, at_ - start);
        const char after = at_ < text_.size() ? text_[at_] : '\0';
        if (language_ == SourceLanguage::kVisualBasic) {
            if (Lowered(name) == "rem" &&
                (after == '\0' || after == ' ' || after == '\t' || after == '\r' || after == '\n'))
                return LineComment();
            names_.ignoringCase.insert(Lowered(name));
            return;
        }
        if (language_ == SourceLanguage::kCLike && after == '"' &&
            (name == "R" || name == "LR" || name == "uR" || name == "UR" || name == "u8R"))
            return CRaw();
        // The prefix of a wide or Unicode literal is no name: L"..", u8'..'.
        if (language_ == SourceLanguage::kCLike && (after == '"' || after == '\'') &&
            (name == "L" || name == "u" || name == "U" || name == "u8"))
            return;
        names_.exact.emplace(name);
    }

    // A number, with its digit separators (1'000) and suffixes, names nothing.
    void Number() {
        while (at_ < text_.size() &&
               (InName(text_[at_]) || text_[at_] == '.' ||
                (text_[at_] == '\'' && language_ == SourceLanguage::kCLike && InName(Next()))))
            ++at_;
    }

    // To the end of the line; in C a backslash at the end of a line carries the comment on.
    void LineComment() {
        while (at_ < text_.size()) {
            const std::size_t end = text_.find('\n', at_);
            if (end == std::string_view::npos) {
                at_ = text_.size();
                return;
            }
            at_ = end + 1;
            std::size_t last = end;
            if (last > 0 && text_[last - 1] == '\r') --last;
            if (language_ == SourceLanguage::kVisualBasic || last == 0 || text_[last - 1] != '\\') return;
        }
    }

    // A literal with backslash escapes, ended by its quote or, unterminated, by the line.
    void Escaped(char quote) {
        for (++at_; at_ < text_.size(); ++at_) {
            if (text_[at_] == '\\')
                ++at_;
            else if (text_[at_] == quote || text_[at_] == '\n')
                break;
        }
        ++at_;
    }

    // R"delimiter( ... )delimiter"
    void CRaw() {
        const std::size_t open = text_.find('(', at_);
        if (open == std::string_view::npos) {
            at_ = text_.size();
            return;
        }
        const std::string close = fmt::format("){}\"", text_.substr(at_ + 1, open - at_ - 1));
        const std::size_t end = text_.find(close, open + 1);
        at_ = end == std::string_view::npos ? text_.size() : end + close.size();
    }

    // """ ... """, closed by as many quotes as opened it.
    void CSharpRaw() {
        std::size_t quotes = 0;
        while (at_ < text_.size() && text_[at_] == '"') ++quotes, ++at_;
        const std::size_t end = text_.find(std::string(quotes, '"'), at_);
        at_ = end == std::string_view::npos ? text_.size() : end + quotes;
    }

    // A string of C# ($"..", @"..") or Visual Basic: a doubled quote is one when `doubledQuotes`,
    // else a backslash escapes; {{ is a brace, and { opens a hole of code when `interpolated`.
    void Interpolated(bool doubledQuotes, bool interpolated) {
        ++at_;
        ++nesting_;
        while (at_ < text_.size()) {
            const char c = text_[at_];
            if (c == '"') {
                if (doubledQuotes && Next() == '"') {
                    at_ += 2;
                    continue;
                }
                ++at_;
                break;
            }
            if (!doubledQuotes && c == '\\') {
                at_ += 2;
            } else if (!doubledQuotes && c == '\n') {
                break;
            } else if (interpolated && c == '{' && Next() != '{' && nesting_ <= kMostNesting) {
                ++at_;
                Code(true);
            } else {
                at_ += interpolated && c == '{' ? 2 : 1;
            }
        }
        --nesting_;
    }

    std::string_view text_;
    SourceLanguage language_;
    SourceNames& names_;
    std::size_t at_ = 0;
    int nesting_ = 0;
};

bool IsStringList(const fs::path& file) {
    const std::string name = file.filename().string();
    return std::any_of(std::begin(kListLanguages), std::end(kListLanguages),
                       [&](const ListLanguage* list) { return list->listFileName == name; });
}

}  // namespace

std::optional<SourceLanguage> SourceLanguageOf(const fs::path& file) {
    static constexpr std::array kCLike = {".c",   ".h",   ".cc",  ".cpp", ".cxx", ".c++", ".hh",
                                          ".hpp", ".hxx", ".h++", ".inl", ".ipp", ".ino"};
    const std::string extension = Lowered(file.extension().string());
    if (std::find(kCLike.begin(), kCLike.end(), extension) != kCLike.end()) return SourceLanguage::kCLike;
    if (extension == ".cs") return SourceLanguage::kCSharp;
    if (extension == ".vb" || extension == ".bas") return SourceLanguage::kVisualBasic;
    return std::nullopt;
}

bool SourceNames::Names(std::string_view id) const {
    return exact.contains(std::string(id)) || ignoringCase.contains(Lowered(id));
}

void CollectNames(std::string_view text, SourceLanguage language, SourceNames& names) {
    Scanner(text, language, names).Run();
}

SourceNames ReadSourceNames(const std::vector<fs::path>& folders) {
    SourceNames names;
    for (const fs::path& folder : folders) {
        std::error_code error;
        if (!fs::is_directory(folder, error))
            throw Error(kCannotOpenFile, fmt::format("{}: no such folder", folder.string()));
        fs::recursive_directory_iterator files(folder, fs::directory_options::skip_permission_denied, error);
        for (; !error && files != fs::recursive_directory_iterator(); files.increment(error)) {
            const fs::path& file = files->path();
            const std::optional<SourceLanguage> language = SourceLanguageOf(file);
            std::error_code dangling;  // a link to nothing is no source
            if (!language || IsStringList(file) || !files->is_regular_file(dangling)) continue;
            CollectNames(ReadWholeFile(file), *language, names);
            ++names.files;
        }
        if (error) throw Error(kCannotOpenFile, fmt::format("{}: {}", folder.string(), error.message()));
    }
    return names;
}

std::vector<Finding> UnusedIdFindings(const LoadedTable& table, const CheckReport& report,
                                      const SourceNames& names) {
    using namespace table_layout;
    std::vector<Finding> findings;
    const TableReader& reader = *table.tableReader;
    for (std::size_t s = 1; s <= report.stringBytes.size(); ++s) {
        const auto row = static_cast<std::uint16_t>(StringRow(s));
        const std::string_view id = reader.CellUtf8(kIdColumn, row);
        if (id.empty() || names.Names(id)) continue;
        findings.push_back({Finding::Severity::kWarning,
                            "unused-id",
                            reader.SheetName(),
                            row,
                            kIdColumn,
                            {},
                            fmt::format("no source file names '{}'; its strings take {} bytes of the image, "
                                        "before identical strings are shared",
                                        ShownText(id), report.stringBytes[s - 1]),
                            kSuccess,
                            {}});
    }
    return findings;
}

}  // namespace lexicorn
