#include "gui/Logo.h"

// The resources live in a static library, so they are registered by hand before first use.
static void RegisterResources() { Q_INIT_RESOURCE(wizard); }

namespace lexicorn::gui {

QPixmap ProductLogo() {
    RegisterResources();
    return QPixmap(QStringLiteral(":/lexicorn/logo.png"));
}

QString ReleaseNotesResource() {
    RegisterResources();
    return QStringLiteral(":/lexicorn/release-notes.md");
}

}  // namespace lexicorn::gui
