#include "gui/SplashScreen.h"

#include <QApplication>
#include <QEventLoop>
#include <QPainter>
#include <QScreen>
#include <QTimer>

#include "Version.h"
#include "gui/Logo.h"

namespace lexicorn::gui {
namespace {

// White, the logo in the middle, room for the version below it.
QPixmap SplashPicture() {
    QPixmap picture(287, 149);
    picture.fill(Qt::white);
    const QPixmap logo = ProductLogo();
    QPainter painter(&picture);
    painter.drawPixmap((picture.width() - logo.width()) / 2, (picture.height() - logo.height()) / 2 - 12,
                       logo);
    return picture;
}

}  // namespace

SplashScreen::SplashScreen() : QSplashScreen(SplashPicture(), Qt::WindowStaysOnTopHint) {
    setObjectName(QStringLiteral("splashScreen"));
}

void SplashScreen::showFor(std::chrono::milliseconds time) {
    showMessage(QString::fromLatin1(kVersionText), Qt::AlignHCenter | Qt::AlignBottom, Qt::gray);
    if (const QScreen* screen = QApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    show();
    raise();
    QEventLoop showing;
    QTimer::singleShot(time, &showing, &QEventLoop::quit);
    showing.exec(QEventLoop::ExcludeUserInputEvents);
    hide();
}

}  // namespace lexicorn::gui
