// Writes a large string table for the benchmarks: LANGUAGES language columns of STRINGS strings, as CSV
// (or, for an OUT name ending in .xlsx, as a workbook), and optionally the same messages as one gettext
// .po file per language.
#include <fmt/format.h>
#include <xlsxwriter.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

namespace {

// Every tenth string repeats an earlier one, as real tables do ("OK", "Cancel"), so sharing is exercised.
std::string Text(int language, int string) {
    const int source = string % 10 == 9 ? string / 2 : string;
    return fmt::format("Message {} of language {}: the quick brown fox jumps over the lazy dog", source,
                       language);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4 && argc != 5) {
        std::cerr << "usage: generate-table OUT.csv LANGUAGES STRINGS [PO_FOLDER]\n";
        return 2;
    }
    const int languages = std::atoi(argv[2]);
    const int strings = std::atoi(argv[3]);
    if (std::string(argv[1]).ends_with(".xlsx")) {
        lxw_workbook* workbook = workbook_new(argv[1]);
        lxw_worksheet* sheet = workbook_add_worksheet(workbook, nullptr);
        worksheet_write_string(sheet, 0, 0, "ID", nullptr);
        for (int l = 0; l < languages; ++l) {
            const auto column = static_cast<lxw_col_t>(l + 1);
            worksheet_write_string(sheet, 0, column, fmt::format("Language {}", l).c_str(), nullptr);
            worksheet_write_string(sheet, 1, column,
                                   fmt::format("{}{}", char('a' + l / 26), char('a' + l % 26)).c_str(),
                                   nullptr);
        }
        for (int s = 0; s < strings; ++s) {
            const auto row = static_cast<lxw_row_t>(s + 2);
            worksheet_write_string(sheet, row, 0, fmt::format("STRING_{}", s).c_str(), nullptr);
            for (int l = 0; l < languages; ++l)
                worksheet_write_string(sheet, row, static_cast<lxw_col_t>(l + 1), Text(l, s).c_str(),
                                       nullptr);
        }
        return workbook_close(workbook) == LXW_NO_ERROR ? 0 : 1;
    }
    std::ofstream csv(argv[1], std::ios::binary);
    csv << "ID";
    for (int l = 0; l < languages; ++l) csv << fmt::format(",Language {}", l);
    csv << "\n";
    for (int l = 0; l < languages; ++l)
        csv << fmt::format(",{}{}", static_cast<char>('a' + l / 26), static_cast<char>('a' + l % 26));
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
