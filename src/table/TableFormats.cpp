#include "table/TableFormats.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace lexicorn {
namespace {

std::string ListedExtensions(bool workbooksOnly) {
    std::string list;
    for (const TableFormat& format : kTableFormats)
        if (format.listed && (!workbooksOnly || format.reading == TableReading::kWorkbook))
            list += (list.empty() ? "" : ", ") + std::string(format.extension);
    return list;
}

}  // namespace

const TableFormat* TableFormatOf(const std::string& path) {
    std::string extension = std::filesystem::path(path).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    const auto found = std::find_if(std::begin(kTableFormats), std::end(kTableFormats),
                                    [&](const TableFormat& format) { return format.extension == extension; });
    return found == std::end(kTableFormats) ? nullptr : found;
}

std::string ListedTableExtensions() { return ListedExtensions(false); }

std::string ListedWorkbookExtensions() { return ListedExtensions(true); }

}  // namespace lexicorn
