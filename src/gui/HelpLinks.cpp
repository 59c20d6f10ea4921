#include "gui/HelpLinks.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace lexicorn::gui {
namespace {

constexpr const char* kManualFile = "manual.html";

// The manual's folder: installed beside the program's share folder, else the source tree's.
QString ManualFolder() {
    const QString installed =
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral(LEXICORN_RELATIVE_DOCDIR));
    if (QFileInfo::exists(QDir(installed).filePath(QString::fromLatin1(kManualFile)))) return installed;
    return QStringLiteral(LEXICORN_SOURCE_DOCDIR);
}

}  // namespace

QUrl HelpUrl(HelpPage page) {
    QUrl url = QUrl::fromLocalFile(QDir(ManualFolder()).filePath(QString::fromLatin1(kManualFile)));
    switch (page) {
        case HelpPage::kHome:
            break;
        case HelpPage::kUpdates:
            url.setFragment(QStringLiteral("updates"));
            break;
        case HelpPage::kManual:
            url.setFragment(QStringLiteral("using"));
            break;
    }
    return url;
}

QString HomePageCaption() { return QStringLiteral("Lexicorn Wizard manual"); }

}  // namespace lexicorn::gui
