#include <fmt/format.h>

#include <filesystem>
#include <ostream>

#include "cli/Commands.h"
#include "cli/Json.h"
#include "cli/StandardStreams.h"
#include "image/ImageReader.h"
#include "platform/AtomicFile.h"

namespace lexicorn::cli {
namespace {

class DumpCommand final : public Subcommand {
  public:
    explicit DumpCommand(CLI::App& app)
        : Subcommand(app.add_subcommand("dump",
                                        "Check a Lexicorn image and print its header, languages "
                                        "and strings")) {
        Command().add_option("IMAGE", file_, "The image (Lexicorn.bin); - reads standard input")->required();
        Command().add_flag("--json", json_, "Print one JSON object");
        Command()
            .add_option("--code-page", codePage_, "Code page of single-byte text (default CP1252)")
            ->type_name("NAME");
    }

    int Run(const Console& console) override {
        CheckCodePage(codePage_);
        const bool standardInput = file_ == kStandardStream;
        std::error_code missing;
        if (!standardInput && !std::filesystem::exists(file_, missing))
            throw std::runtime_error(file_ + ": no such file");
        const std::string bytes = standardInput ? ReadStandardInput(console) : ReadWholeFile(file_);
        ImageContents image;
        try {
            image = ReadImage({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()}, codePage_);
        } catch (const ImageError& error) {
            throw std::runtime_error(fmt::format("{}: not a valid Lexicorn image: {}",
                                                 standardInput ? kStandardInputName : file_, error.what()));
        }
        if (json_)
            PrintJson(image, console.out);
        else
            PrintText(image, console.out);
        return kExitSuccess;
    }

  private:
    static const char* OrderName(const ImageContents& image) { return image.byteOrder ? "big" : "little"; }
    static int TableBits(const ImageContents& image) { return image.tableType == 1 ? 32 : 16; }

    static void PrintJson(const ImageContents& image, std::ostream& out) {
        out << fmt::format(
            R"({{"uniqueId":"0x{:x}","imageSize":{},"byteOrder":"{}","encoding":{},"tableType":{},)",
            image.uniqueId, image.imageSize, OrderName(image), image.encoding, TableBits(image));
        out << fmt::format(R"("stringCount":{},"languages":[)", image.stringCount);
        for (std::size_t l = 0; l < image.languages.size(); ++l)
            out << (l ? "," : "") << R"({"code":)" << JsonString(image.languages[l].codeText) << R"(,"name":)"
                << JsonString(image.languages[l].name) << '}';
        out << R"(],"strings":[)";
        for (std::size_t l = 0; l < image.stringOffsets.size(); ++l) {
            out << (l ? ",[" : "[");
            for (std::size_t s = 0; s < image.stringOffsets[l].size(); ++s)
                out << (s ? "," : "") << JsonString(image.String(l, s));
            out << ']';
        }
        out << "]}\n";
    }

    static void PrintText(const ImageContents& image, std::ostream& out) {
        static const char* const kEncodings[] = {"single byte", "UTF-16", "UTF-8"};
        out << fmt::format("unique id:    0x{:x}\nimage size:   {} bytes\nbyte order:   {} endian\n",
                           image.uniqueId, image.imageSize, OrderName(image));
        out << fmt::format(
            "encoding:     {} ({})\ntable type:   {}-bit offsets\nlanguages:    {}\nstrings:      {}\n",
            image.encoding, kEncodings[image.encoding], TableBits(image), image.languages.size(),
            image.stringCount);
        for (std::size_t l = 0; l < image.languages.size(); ++l) {
            out << fmt::format("\nlanguage {}: {} {}\n", l, image.languages[l].codeText,
                               JsonString(image.languages[l].name));
            for (std::size_t s = 0; s < image.stringOffsets[l].size(); ++s)
                out << fmt::format("  {:5} {}\n", s, JsonString(image.String(l, s)));
        }
    }

    std::string file_;
    std::string codePage_ = kDefaultCodePage;
    bool json_ = false;
};

}  // namespace

std::unique_ptr<Subcommand> AddDumpCommand(CLI::App& app) { return std::make_unique<DumpCommand>(app); }

}  // namespace lexicorn::cli
