#include "gui/SplashScreen.h"

#include <QApplication>
#include <QLabel>
#include <QScreen>
#include <QThread>
#include <QVBoxLayout>

#include "Version.h"
#include "gui/Logo.h"

namespace lexicorn::app {

TsplashScreen::TsplashScreen(std::chrono::milliseconds showTime)
    : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      appVersionBox_(new QLabel(this)),
      showTime_(showTime) {
    setObjectName(QStringLiteral("TsplashScreen"));
    setAutoFillBackground(true);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);

    auto* image = new QLabel(this);
    image->setObjectName(QStringLiteral("Image1"));
    image->setPixmap(QPixmap::fromImage(ProductLogo()));
    image->setAlignment(Qt::AlignCenter);
    appVersionBox_->setObjectName(QStringLiteral("appVersionBox"));
    appVersionBox_->setAlignment(Qt::AlignCenter);
    QPalette grey = appVersionBox_->palette();
    grey.setColor(QPalette::WindowText, Qt::gray);
    appVersionBox_->setPalette(grey);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(32, 32, 32, 32);
    layout->addWidget(image);
    layout->addWidget(appVersionBox_);
    setMinimumSize(287, 149);
}

void TsplashScreen::ShowSplash() {
    appVersionBox_->setText(QString::fromLatin1(kVersionText));
    adjustSize();
    if (const QScreen* screen = QApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    show();
    raise();
    activateWindow();
    QApplication::processEvents();
    // The splash is a pause by design: the window stays as painted until it hides.
    QThread::msleep(static_cast<unsigned long>(showTime_.count()));
    hide();
}

}  // namespace lexicorn::app
