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

// White, the logo in the middle, room for the version below it; in the pixels of the screen it
// shows on, so that it is sharp on a scaled desktop.
QPixmap SplashPicture() {
    const QSize size(287, 149);
    const QScreen* screen = QApplication::primaryScreen();
    const qreal pixelRatio = screen ? screen->devicePixelRatio() : 1;
    QPixmap picture(size * pixelRatio);
    picture.setDevicePixelRatio(pixelRatio);
    picture.fill(Qt::white);
    QPainter painter(&picture);
    painter.drawPixmap((size.width() - kLogoSize.width()) / 2, (size.height() - kLogoSize.height()) / 2 - 12,
                       ProductLogo(pixelRatio));
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
