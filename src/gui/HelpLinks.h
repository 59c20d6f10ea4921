#pragma once

#include <QString>
#include <QUrl>

namespace lexicorn::gui {

/// The pages that the About page's links and the Online Help button open. They are the manual
/// that ships with the program, so they work without a network.
enum class HelpPage {
    kHome,     ///< the About page's web link: the manual's first page
    kUpdates,  ///< "Check for Updates": where new versions come from and what changed
    kManual,   ///< "Onlne Help": how to use the program
};

/// The address of `page`, in the installed manual or, when running from the build tree, in the
/// source tree's docs folder.
QUrl HelpUrl(HelpPage page);

/// The text that the About page shows as its web link.
QString HomePageCaption();

}  // namespace lexicorn::gui
