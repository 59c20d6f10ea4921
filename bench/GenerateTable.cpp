// Writes a large string table for the benchmarks: LANGUAGES language columns of STRINGS strings, as CSV,
// and optionally the same messages as one gettext .po file per language.
#include <fmt/format.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

namespace {

// Every tenth string repeats an earlier one, as real tables do ("OK", "Cancel"), so sharing is exercised.
std::string Text(int language, int string) {
    const int source = string % 10 == 9 ? string / 2 : string;
    return fmt::format("Message {} of language {}: the quick brown fox jumps over the lazy dog", source, language);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4 && argc != 5) {
        std::cerr << "usage: generate-table OUT.csv LANGUAGES STRINGS [PO_FOLDER]\n";
        return 2;
    }
    const int languages = std::atoi(argv[2]);
    const int strings = std::atoi(argv[3]);
    std::ofstream csv(argv[1], std::ios::binary);
    csv << "ID";
    for (int l = 0; l < languages; ++l) csv << fmt::format(",Language {}", l);
    csv << "\n";
    for (int l = 0; l < languages; ++l) csv << fmt::format(",{}{}", static_cast<char>('a' + l / 26), static_cast<char>('a' + l % 26));
    csv << "\n";
    for (int s = 0; s < strings; ++s) {
        csv << fmt::format("STRING_{}", s);
        for (int l = 0; l < languages; ++l) csv << ',' << Text(l, s);
        csv << "\n";
    }
    if (argc == 5) {
        std::filesystem::create_directories(argv[4]);
        for (int l = 0; l < languages; ++l) {
            std::ofstream po(std::filesystem::path(argv[4]) / fmt::format("lang{}.po", l), std::ios::binary);
            po << "msgid \"\"\nmsgstr \"\"\n\"Content-Type: text/plain; charset=UTF-8\\n\"\n\n";
            for (int s = 0; s < strings; ++s)
                po << fmt::format("msgid \"STRING_{}\"\nmsgstr \"{}\"\n\n", s, Text(l, s));
        }
    }
    return csv ? 0 : 1;
}
