#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "compile/TableCheck.h"
#include "font/Picture.h"
#include "project/ProjectSettings.h"
#include "table/LoadedTable.h"

namespace lexicorn {

/// Where a string of the table lies in the preview picture.
struct PreviewCell {
    std::size_t row = 0;     ///< of the table, from 1
    std::size_t column = 0;  ///< the language's column of the table
    Box box;                 ///< in the picture
    bool marked = false;     ///< wider or of more lines than its limit, or with a character its font lacks
};

/// Every string of the chosen languages drawn as the device draws it, one row per string id and one
/// column per language, with what the check found.
struct Preview {
    Picture picture{1, 1, {}};
    std::vector<PreviewCell> cells;
    CheckReport report;

    /// The cell of a row and column of the table; none where the picture has none.
    const PreviewCell* CellAt(std::size_t row, std::size_t column) const;
};

/// What the preview paints what does not show in: missing glyphs and the part of a line past its
/// limit, and (paler) the background of their cells. Limits are drawn as lines of their own colour.
inline constexpr Colour kMarkColour{204, 0, 0};
inline constexpr Colour kMarkedCellColour{255, 228, 228};
inline constexpr Colour kLimitColour{0, 102, 204};

/// Draws the strings of the chosen languages (after default strings are filled in) in their
/// languages' fonts at their size, as `settings` has them, the limits as lines, and what does not
/// show in red. The table's reader is open. Throws std::invalid_argument when `settings` has no font
/// for any chosen language, std::runtime_error for a picture too large to hold, and as CheckTable.
Preview RenderPreview(const LoadedTable& table, const ProjectSettings& settings);

/// A page that stands alone: the picture (in it, as PNG) and a table of the findings.
std::string PreviewHtml(const Preview& preview, std::string_view tableFile);

}  // namespace lexicorn
