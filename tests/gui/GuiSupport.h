#pragma once

#include <QDir>
#include <QString>
#include <QWidget>

namespace lexicorn::test {

/// Saves what `window` shows as <name>.png in the build folder's screenshots folder, so that the
/// windows can be looked at without a display.
inline void SaveScreenshot(QWidget& window, const QString& name) {
    QDir().mkpath(QStringLiteral(LEXICORN_SCREENSHOTS_DIR));
    window.grab().save(QStringLiteral(LEXICORN_SCREENSHOTS_DIR "/") + name + QStringLiteral(".png"));
}

}  // namespace lexicorn::test
