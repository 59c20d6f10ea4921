// Builds images in every combination of table type, encoding, byte order and alignment, compiles the
// generated sources with the target runtime into a small program, runs it and checks every string.
#include <fmt/format.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "base/Unicode.h"
#include "compile/BuildRun.h"
#include "generate/CSource.h"
#include "merge/Merge.h"
#include "platform/CodePage.h"
#include "support/TestSupport.h"

namespace lexicorn {
namespace {

namespace fs = std::filesystem;

const std::vector<std::vector<std::string>> kAsciiTable = {
    {"ID", "English",
     "Fran\xC3\xA7"
     "ais",
     "Deutsch"},
    {"", "en", "fr", "de"},
    {"OK_TEXT", "OK", "OK", "OK"},
    {"TITLE", "Title", "Titre \xC3\xA9t\xC3\xA9",
     "\xC3\x9C"
     "berschrift"},
    {"EMPTY_TEXT", "Default", "", "[USE_DEFAULT]"},
    {"LONG_TEXT", std::string(300, 'x'), "Long \xE2\x80\x9Cquoted\xE2\x80\x9D", "l\xC3\xA4nger"},
};

std::vector<std::vector<std::string>> UnicodeTable() {
    auto table = kAsciiTable;
    table[0].push_back("\xCE\x95\xCE\xBB\xCE\xBB\xCE\xB7\xCE\xBD\xCE\xB9\xCE\xBA\xCE\xAC");  // Greek
    table[1].push_back("el");
    table[2].push_back("\xCE\x95\xCE\xBD\xCF\x84\xCE\xAC\xCE\xBE\xCE\xB5\xCE\xB9");
    table[3].push_back("\xF0\x9F\x98\x80 emoji");  // beyond 16 bits: a surrogate pair in UTF-16
    table[4].push_back("");
    table[5].push_back("\xE4\xB8\xAD\xE6\x96\x87");
    return table;
}

struct Combination {
    std::int8_t tableType, encoding;
    std::uint8_t byteOrder, alignment;
    bool fileSystem;  ///< the target has one: the runtime reads image files too
};

std::string Name(const Combination& c);
void PrintTo(const Combination& c, std::ostream* os) { *os << Name(c); }

std::string Name(const Combination& c) {
    static const char* const kEncodings[] = {"Ascii", "Wide", "Utf8"};
    return fmt::format("Lxn{}{}{}Align{}{}", c.tableType ? 32 : 16, kEncodings[c.encoding],
                       c.byteOrder ? "Big" : "Little", c.alignment, c.fileSystem ? "Files" : "");
}

// The text as the image holds it, as the check program prints it: hexadecimal units.
std::string Units(const std::string& utf8, std::int8_t encoding) {
    std::string bytes = utf8, line;
    if (encoding == 1) {
        for (char16_t u : Utf8ToUtf16(utf8)) line += fmt::format(" {:x}", static_cast<unsigned>(u));
        return line;
    }
    if (encoding == 0) {
        char32_t missing = 0;
        EXPECT_TRUE(CodePage("CP1252").FromUtf8(utf8, bytes, missing));
    }
    for (char c : bytes) line += fmt::format(" {:x}", static_cast<unsigned>(static_cast<unsigned char>(c)));
    return line;
}

std::string Expected(const std::vector<std::vector<std::string>>& table, std::int8_t encoding) {
    std::string lines;
    for (std::size_t l = 1; l < table[0].size(); ++l) {
        lines += fmt::format("language {} {}{}\n", l - 1, table[1][l], Units(table[0][l], encoding));
        for (std::size_t s = 2; s < table.size(); ++s) {
            std::string text = table[s][l];
            if (text.empty() || text == "[USE_DEFAULT]") text = table[s][1];
            lines += fmt::format("string {} {}{}\n", l - 1, s - 2, Units(text, encoding));
        }
    }
    return lines + "OK\n";
}

int Shell(const std::string& command, std::string* output = nullptr) {
    std::FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return -1;
    char buffer[4096];
    std::string text;
    while (std::size_t got = std::fread(buffer, 1, sizeof buffer, pipe)) text.append(buffer, got);
    const int status = pclose(pipe);
    if (output) *output = text;
    if (status != 0) ADD_FAILURE() << command << "\n" << text;
    return status;
}

class Runtime : public testing::TestWithParam<Combination> {};

TEST_P(Runtime, ReadsEveryStringOfTheCompiledImage) {
    const Combination& c = GetParam();
    const auto rows = c.encoding == 0 ? kAsciiTable : UnicodeTable();
    test::TempDir dir;
    std::vector<std::size_t> everyLanguage(rows[0].size() - 1);
    for (std::size_t i = 0; i < everyLanguage.size(); ++i) everyLanguage[i] = i;
    LoadedTable table = test::MakeLoadedTable(rows, everyLanguage);
    test::RecordingHost host;
    ProjectSettings settings;
    settings.tableType = static_cast<TableType>(c.tableType);
    settings.encoding = static_cast<Encoding>(c.encoding);
    settings.byteOrder = static_cast<ByteOrder>(c.byteOrder);
    settings.alignment = c.alignment;
    settings.noFileSystem = !c.fileSystem;
    settings.searchStep = 4;
    const BuildOutcome outcome = BuildLexicorn(host, table, settings, {dir.path(), 0x622B634C});
    ASSERT_EQ(outcome.kind, BuildOutcome::Kind::kSucceeded) << (host.errors.empty() ? "" : host.errors[0]);

    const fs::path program = dir / "check";
    ASSERT_EQ(Shell(fmt::format("{} -std=c99 -Wall -Wextra -pedantic -Werror -I{} -I{} {}/lexicorn_runtime.c "
                                "{}/Lexicorn.c {} -o {}",
                                LEXICORN_C_COMPILER, dir.path().string(), LEXICORN_RUNTIME_DIR,
                                LEXICORN_RUNTIME_DIR, dir.path().string(), LEXICORN_RUNTIME_CHECK,
                                program.string())),
              0);
    std::string output;
    ASSERT_EQ(Shell(fmt::format("cd {} && timeout 60 {} Lexicorn.bin", dir.path().string(), program.string()),
                    &output),
              0);
    EXPECT_EQ(output, Expected(rows, c.encoding));

    // The prebuilt library reads the same image as the runtime compiled with the build's configuration.
    const fs::path linked = dir / "check-library";
    ASSERT_EQ(
        Shell(fmt::format("{} -std=c99 -Wall -Wextra -pedantic -Werror -I{} -I{} {}/Lexicorn.c {} {} -o {}",
                          LEXICORN_C_COMPILER, dir.path().string(), LEXICORN_RUNTIME_DIR, dir.path().string(),
                          LEXICORN_RUNTIME_CHECK, LEXICORN_RUNTIME_LIBRARY, linked.string())),
        0);
    ASSERT_EQ(Shell(fmt::format("cd {} && timeout 60 {} Lexicorn.bin", dir.path().string(), linked.string()),
                    &output),
              0);
    EXPECT_EQ(output, Expected(rows, c.encoding));
}

std::vector<Combination> AllCombinations() {
    std::vector<Combination> all;
    for (std::int8_t type : {0, 1})
        for (std::int8_t encoding : {0, 1, 2})
            for (std::uint8_t order : {0, 1})
                for (std::uint8_t alignment : {1, 2, 4})
                    all.push_back({type, encoding, order, alignment, alignment == 1});
    return all;
}

INSTANTIATE_TEST_SUITE_P(EveryForm, Runtime, testing::ValuesIn(AllCombinations()),
                         [](const auto& testCase) { return Name(testCase.param); });

// A program that reads its images from files or memory needs no Lexicorn.c to link with the library.
TEST(RuntimeLibrary, LinksWithoutAnEmbeddedImage) {
    test::TempDir dir;
    test::WriteFile(dir / "reader.c",
                    "#include \"Lexicorn.h\"\n"
                    "static unsigned char buffer[64];\n"
                    "int main(void) {\n"
                    "    lxn_image image;\n"
                    "    return lxn_attach(&image, buffer, sizeof buffer) == LXN_ERR_SIGNATURE ? 0 : 1;\n"
                    "}\n");
    const fs::path program = dir / "reader";
    ASSERT_EQ(Shell(fmt::format("{} -std=c99 -Wall -Wextra -pedantic -Werror -I{} {} {} -o {}",
                                LEXICORN_C_COMPILER, LEXICORN_RUNTIME_DIR, (dir / "reader.c").string(),
                                LEXICORN_RUNTIME_LIBRARY, program.string())),
              0);
    EXPECT_EQ(Shell(program.string()), 0);
}

// Firmware that holds the runtime must not look as if it held an image.
TEST(RuntimeObject, HoldsNoSignature) {
    test::TempDir dir;
    test::WriteFile(dir / "LXNApiCfg.h", "#include \"Lexicorn.h\"\n#define LXNCFG_API_FOR_ROM 0\n");
    for (const char* compiler : {LEXICORN_C_COMPILER, "clang"}) {
        if (std::string(compiler) == "clang" && std::system("command -v clang >/dev/null 2>&1") != 0)
            continue;
        for (const char* optimisation : {"-O0", "-O2"}) {
            const fs::path object = dir / "runtime.o";
            ASSERT_EQ(Shell(fmt::format("{} {} -std=c99 -Wall -Wextra -pedantic -Werror -I{} -I{} -c "
                                        "{}/lexicorn_runtime.c -o {}",
                                        compiler, optimisation, dir.path().string(), LEXICORN_RUNTIME_DIR,
                                        LEXICORN_RUNTIME_DIR, object.string())),
                      0);
            const std::string bytes = test::ReadFile(object);
            EXPECT_EQ(bytes.find("\x4F\x30\x2F\x10\x80\x7F\x60\x5F"), std::string::npos) << compiler;
            EXPECT_EQ(bytes.find("\x10\x2F\x30\x4F\x5F\x60\x7F\x80"), std::string::npos) << compiler;
        }
    }
}

// Where the target has no file system, the runtime needs nothing of the C library but memcpy, so
// that a bare-metal program links without stdio or an allocator; the file-system code is compiled
// only where LXNApiCfg.h asks for it.
TEST(RuntimeObject, CallsNoCLibraryButMemcpyWithoutAFileSystem) {
    test::TempDir dir;
    for (TableType type : {TableType::k16Bit, TableType::k32Bit})
        for (Encoding encoding : {Encoding::kSingleByte, Encoding::kUtf16})
            for (bool fileSystem : {false, true}) {
                ProjectSettings settings;
                settings.tableType = type;
                settings.encoding = encoding;
                settings.noFileSystem = !fileSystem;
                test::WriteFile(dir / "LXNApiCfg.h", FormatApiConfigHeader(ApiConfigOf(settings)));
                const fs::path object = dir / "runtime.o";
                ASSERT_EQ(
                    Shell(fmt::format("{} -Os -fno-stack-protector -std=c99 -Wall -Wextra -pedantic -Werror "
                                      "-I{} -I{} -c {}/lexicorn_runtime.c -o {}",
                                      LEXICORN_C_COMPILER, dir.path().string(), LEXICORN_RUNTIME_DIR,
                                      LEXICORN_RUNTIME_DIR, object.string())),
                    0);
                std::string undefined;
                ASSERT_EQ(Shell("nm -u " + object.string(), &undefined), 0);
                std::istringstream symbols(undefined);
                bool readsFiles = false;
                for (std::string kind, name; symbols >> kind >> name;) {
                    readsFiles |= name == "fopen";
                    const bool allowed = fileSystem || name == "memcpy" || name == "embeddedLexicorn";
                    EXPECT_TRUE(allowed) << name << " in " << FormatApiConfigHeader(ApiConfigOf(settings));
                }
                EXPECT_EQ(readsFiles, fileSystem) << undefined;
            }
}

// An image of one string, GREETING, built into `folder` in the byte order given, search step 4.
std::string BuildGreeting(const char* greeting, const fs::path& folder, ByteOrder order) {
    fs::create_directories(folder);
    LoadedTable table = test::MakeLoadedTable({{"ID", "English"}, {"", "en"}, {"GREETING", greeting}}, {0});
    test::RecordingHost host;
    ProjectSettings settings;
    settings.byteOrder = order;
    settings.searchStep = 4;
    EXPECT_EQ(BuildLexicorn(host, table, settings, {folder, 0x622B634C}).kind,
              BuildOutcome::Kind::kSucceeded);
    return test::ReadFile(folder / "Lexicorn.bin");
}

// What a device finds in `firmware` as the runtime searches it (lxn_find): the image's offset, its byte
// order and its greeting, one line. The runtime is compiled with the configuration of the build in
// `sources`.
std::string DeviceFinds(const fs::path& dir, const fs::path& sources, const fs::path& firmware) {
    test::WriteFile(dir / "device.c",
                    "#include <stdio.h>\n#include \"Lexicorn.h\"\n"
                    "static unsigned char flash[1 << 16];\n"
                    "int main(int argc, char** argv) {\n"
                    "    FILE* file = fopen(argv[1], \"rb\");\n"
                    "    size_t size = file ? fread(flash, 1, sizeof flash, file) : 0;\n"
                    "    lxn_image image;\n"
                    "    char text[32];\n"
                    "    (void)argc;\n"
                    "    if (lxn_find(&image, flash, size) != LXN_OK) return 1;\n"
                    "    if (lxn_get_string(&image, 0, 0, text, sizeof text, NULL) != LXN_OK) return 2;\n"
                    "    printf(\"%ld %d %s\\n\", (long)(image.data - flash), image.big_endian, text);\n"
                    "    return 0;\n"
                    "}\n");
    const fs::path program = dir / "device";
    EXPECT_EQ(
        Shell(fmt::format("{} -std=c99 -Wall -Wextra -pedantic -Werror -I{} -I{} {}/lexicorn_runtime.c "
                          "{}/Lexicorn.c {} -o {}",
                          LEXICORN_C_COMPILER, sources.string(), LEXICORN_RUNTIME_DIR, LEXICORN_RUNTIME_DIR,
                          sources.string(), (dir / "device.c").string(), program.string())),
        0);
    std::string output;
    EXPECT_EQ(Shell(fmt::format("{} {}", program.string(), firmware.string()), &output), 0);
    return output;
}

MergeResult MergeAtTheEnd(const fs::path& image, const fs::path& target, const fs::path& output) {
    return Merge({image.string(),
                  target.string(),
                  output.string(),
                  {MergeMode::kAppend, MergePlacement::kEnd, 0, 4, 0},
                  {}});
}

// A big-endian image merged into firmware that holds an old one: the old one's signature is cleared,
// so the device's runtime, searching the firmware, finds the new image.
TEST(RuntimeMerge, FindsTheNewBigEndianImageAndNotTheOldOne) {
    test::TempDir dir;
    const std::string oldImage = BuildGreeting("old greeting", dir / "old", ByteOrder::kBig);
    const std::string newImage = BuildGreeting("new greeting", dir / "new", ByteOrder::kBig);
    test::WriteFile(dir / "firmware.bin", std::string(1000, '\xAA') + oldImage + std::string(61, '\xBB'));

    const MergeResult result =
        MergeAtTheEnd(dir / "new" / "Lexicorn.bin", dir / "firmware.bin", dir / "merged.bin");
    ASSERT_EQ(result.code, kSuccess);
    ASSERT_TRUE(result.target);
    EXPECT_EQ(result.target->findings.images,
              (std::vector<OldImage>{{1000, static_cast<std::uint32_t>(oldImage.size())}}));
    const std::string merged = test::ReadFile(dir / "merged.bin");
    const std::size_t newAt = (1000 + oldImage.size() + 61 + 3) / 4 * 4;
    EXPECT_EQ(merged.substr(1000, 8), std::string(8, '\0'));
    EXPECT_EQ(merged.substr(newAt), newImage);
    EXPECT_EQ(DeviceFinds(dir.path(), dir / "new", dir / "merged.bin"),
              fmt::format("{} 1 new greeting\n", newAt));
}

// Firmware that holds two old images, one of each byte order, with a signature between them that
// has no image behind it: neither old image is found any more, and the signature stays as it was.
TEST(RuntimeMerge, FindsNoneOfSeveralOldImages) {
    test::TempDir dir;
    const std::string first = BuildGreeting("first greeting", dir / "first", ByteOrder::kLittle);
    const std::string second = BuildGreeting("second greeting", dir / "second", ByteOrder::kBig);
    const std::string newImage = BuildGreeting("new greeting", dir / "new", ByteOrder::kLittle);
    const std::string bare = first.substr(0, 8) + std::string(40, '\xCC');
    // Everything at multiples of 4, where the device searches.
    const std::string firmware = std::string(1000, '\xAA') + first +
                                 std::string((4 - first.size() % 4) % 4, '\xAA') + bare + second +
                                 std::string(60, '\xBB');
    test::WriteFile(dir / "firmware.bin", firmware);
    ASSERT_EQ(DeviceFinds(dir.path(), dir / "new", dir / "firmware.bin"), "1000 0 first greeting\n");

    const MergeResult result =
        MergeAtTheEnd(dir / "new" / "Lexicorn.bin", dir / "firmware.bin", dir / "merged.bin");
    ASSERT_EQ(result.code, kSuccess);
    ASSERT_TRUE(result.target);
    const std::size_t bareAt = firmware.find(bare), secondAt = bareAt + bare.size();
    EXPECT_EQ(result.target->findings.images,
              (std::vector<OldImage>{
                  {1000, static_cast<std::uint32_t>(first.size())},
                  {static_cast<std::uint32_t>(secondAt), static_cast<std::uint32_t>(second.size())}}));
    const std::string merged = test::ReadFile(dir / "merged.bin");
    EXPECT_EQ(merged.substr(bareAt, bare.size()), bare);
    const std::size_t newAt = (firmware.size() + 3) / 4 * 4;
    EXPECT_EQ(merged.substr(newAt), newImage);
    EXPECT_EQ(DeviceFinds(dir.path(), dir / "new", dir / "merged.bin"),
              fmt::format("{} 0 new greeting\n", newAt));
}

}  // namespace
}  // namespace lexicorn
