#pragma once

#include <QPixmap>
#include <QString>

namespace lexicorn::gui {

/// The product logo that ships inside the program.
QPixmap ProductLogo();

/// The release notes (Markdown) that ship inside the program.
QString ReleaseNotesResource();

}  // namespace lexicorn::gui
