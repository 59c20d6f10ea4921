#pragma once

#include <QPixmap>
#include <QString>

namespace lexicorn::gui {

/// The size of the product logo in points.
inline constexpr QSize kLogoSize(145, 49);

/// The product logo, `devicePixelRatio` pixels a point.
QPixmap ProductLogo(qreal devicePixelRatio = 1);

/// The release notes (Markdown) that ship inside the program.
QString ReleaseNotesResource();

}  // namespace lexicorn::gui
