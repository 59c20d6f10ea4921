#include <fmt/format.h>

#include <ostream>

#include "cli/Commands.h"
#include "cli/Json.h"
#include "cli/TableOptions.h"
#include "compile/TableCheck.h"
#include "font/GlyphSet.h"
#include "table/TableFormats.h"

namespace lexicorn::cli {
namespace {

// The forms a glyph set is printed in, for the font converters that take them.
enum class GlyphForm { kLvFontConv, kU8g2, kSymbols };

std::string InForm(const GlyphSet& glyphs, GlyphForm form) {
    switch (form) {
        case GlyphForm::kU8g2:
            return U8g2Map(glyphs);
        case GlyphForm::kSymbols:
            return Symbols(glyphs);
        case GlyphForm::kLvFontConv:
            break;
    }
    return LvFontConvRanges(glyphs);
}

class GlyphsCommand final : public Subcommand {
  public:
    explicit GlyphsCommand(CLI::App& app)
        : Subcommand(app.add_subcommand("glyphs",
                                        "Print the characters each language's strings use, and all of them "
                                        "together, as a font converter takes them")) {
        CLI::App& command = Command();
        // Only what decides which strings a language shows: the device's options play no part.
        command.add_option("TABLE", options_.table,
                           "The string table (" + ListedTableExtensions() + "); default: the project's");
        command
            .add_option("-p,--project", options_.project,
                        "Project file (.lxn) whose table and languages to use")
            ->type_name("PROJECT.lxn");
        command
            .add_option(
                "--languages", options_.languages,
                "Language codes (row 2), separated by commas, or 'all' (default: the project's, else all)")
            ->type_name("CODES|all");
        command.add_flag("--no-default-strings", options_.noDefaultStrings,
                         "Keep empty cells empty instead of using the first language's string");
        command
            .add_option("--only", only_,
                        "Print only the set of this language, or of all together, bare: for scripts")
            ->type_name("CODE|all");
        auto* u8g2 =
            command.add_flag("--u8g2", u8g2_, "Ranges as u8g2's bdfconv takes them (-m, map files): $20-$7E");
        auto* symbols =
            command.add_flag("--symbols", symbols_, "The characters themselves (lv_font_conv --symbols)");
        auto* json = command.add_flag("--json", json_, "Print one JSON object with every form");
        u8g2->excludes(symbols)->excludes(json);
        symbols->excludes(json);
    }

    int Run(const Console& console) override {
        ProjectSettings settings = options_.Settings();
        // The characters need no font: a project's fonts are not even opened.
        settings.fonts.clear();
        settings.limits.clear();
        settings.maxWidth = 0;
        LoadedTable table = options_.LoadChosenTable(settings);
        if (table.tableReader->Open() != kSuccess)
            throw std::runtime_error(table.spreadsheetPath + ": no such file");
        const CheckReport report = CheckTable(table, settings);
        table.tableReader->Close();
        GlyphSet all;
        for (const LanguageFigures& language : report.languages) all = all.Union(language.glyphs);
        const GlyphForm form = u8g2_      ? GlyphForm::kU8g2
                               : symbols_ ? GlyphForm::kSymbols
                                          : GlyphForm::kLvFontConv;

        if (only_) {
            const GlyphSet* chosen = *only_ == "all" ? &all : nullptr;
            for (const LanguageFigures& language : report.languages)
                if (language.code == *only_) chosen = &language.glyphs;
            if (!chosen) throw UsageError(fmt::format("--only {}: no chosen language has this code", *only_));
            console.out << (json_ ? JsonSet(*chosen) : InForm(*chosen, form)) << '\n';
            return kExitSuccess;
        }
        std::string text;
        if (json_) {
            for (const LanguageFigures& language : report.languages)
                text += fmt::format(R"({}{{"code":{},{})", text.empty() ? R"({"languages":[)" : ",",
                                    JsonString(language.code), JsonSet(language.glyphs).substr(1));
            text += fmt::format(R"({}],"all":{}}})", text.empty() ? R"({"languages":[)" : "", JsonSet(all));
        } else {
            for (const LanguageFigures& language : report.languages)
                text += fmt::format("{}: {}\n", language.code, InForm(language.glyphs, form));
            text += fmt::format("all: {}", InForm(all, form));
        }
        console.out << text << '\n';
        return kExitSuccess;
    }

  private:
    static std::string JsonSet(const GlyphSet& glyphs) {
        return fmt::format(R"({{"glyphs":{},"ranges":{},"u8g2":{},"symbols":{}}})", glyphs.Count(),
                           JsonString(LvFontConvRanges(glyphs)), JsonString(U8g2Map(glyphs)),
                           JsonString(Symbols(glyphs)));
    }

    TableOptions options_;
    std::optional<std::string> only_;
    bool u8g2_ = false;
    bool symbols_ = false;
    bool json_ = false;
};

}  // namespace

std::unique_ptr<Subcommand> AddGlyphsCommand(CLI::App& app) { return std::make_unique<GlyphsCommand>(app); }

}  // namespace lexicorn::cli
