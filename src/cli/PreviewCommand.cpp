#include <algorithm>
#include <cctype>
#include <filesystem>

#include "cli/Commands.h"
#include "cli/TableOptions.h"
#include "compile/BuildMessages.h"
#include "compile/OwnInputs.h"
#include "compile/Preview.h"
#include "platform/AtomicFile.h"

namespace lexicorn::cli {
namespace {

class PreviewCommand final : public Subcommand {
  public:
    explicit PreviewCommand(CLI::App& app)
        : Subcommand(app.add_subcommand("preview",
                                        "Draw every string with the device's fonts as the device would, with "
                                        "its limit, and what does not show in red: a PNG, or an HTML page")) {
        options_.AddTo(Command(), "The string table");
        Command()
            .add_option("-o,--output", output_,
                        "The picture (.png), or a page with the picture and the check's findings (.html)")
            ->type_name("FILE")
            ->required();
    }

    int Run(const Console&) override {
        std::string extension = std::filesystem::path(output_).extension().string();
        std::transform(extension.begin(), extension.end(), extension.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        const bool html = extension == ".html" || extension == ".htm";
        if (!html && extension != ".png")
            throw UsageError("--output " + output_ + ": a preview is a .png picture or an .html page");
        const ProjectSettings settings = options_.Settings();
        if (settings.fonts.empty()) throw UsageError("the preview draws with the device's font: add --font");
        LoadedTable table = options_.LoadChosenTable(settings);
        // The picture never takes the place of what it is drawn from, whatever the names.
        if (const std::optional<CommandInput> input =
                InputNamedBy(output_, TableInputs(table.spreadsheetPath, options_.project, settings)))
            throw std::runtime_error(
                messages::OutputFileIsInput("preview", output_, input->role, input->path.string()));
        if (table.tableReader->Open() != kSuccess)
            throw std::runtime_error(table.spreadsheetPath + ": no such file");
        const Preview preview = RenderPreview(table, settings);
        table.tableReader->Close();
        if (html)
            WriteFileAtomically(output_, PreviewHtml(preview, table.spreadsheetPath));
        else
            SavePng(preview.picture, output_);
        return kExitSuccess;
    }

  private:
    TableOptions options_;
    std::string output_;
};

}  // namespace

std::unique_ptr<Subcommand> AddPreviewCommand(CLI::App& app) { return std::make_unique<PreviewCommand>(app); }

}  // namespace lexicorn::cli
