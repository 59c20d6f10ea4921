#include "gui/FocusStyle.h"

#include <QApplication>
#include <QFocusFrame>
#include <QPainter>
#include <QPointer>
#include <QStyleOption>

namespace lexicorn::gui {
namespace {

constexpr int kFrameWidth = 2;
constexpr int kFrameMargin = 3;  // outside the control, so that the frame covers none of it

// One frame for the whole application, moved to whichever control has the focus, in any window. A
// window that closes takes the frame with it; the next control to get the focus gets a new one.
class FocusFollower : public QObject {
  public:
    explicit FocusFollower(QApplication& application) : QObject(&application) {
        connect(&application, &QApplication::focusChanged, this,
                [this](QWidget*, QWidget* now) { follow(now); });
    }

  private:
    void follow(QWidget* now) {
        if (now && now->isWindow()) now = nullptr;  // a window has no frame to show: its controls do
        if (!frame_ && now) frame_ = new QFocusFrame;
        if (frame_) frame_->setWidget(now);
    }
    QPointer<QFocusFrame> frame_;
};

}  // namespace

void FocusStyle::drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                             const QWidget* widget) const {
    if (element != CE_FocusFrame) {
        QProxyStyle::drawControl(element, option, painter, widget);
        return;
    }
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(QPen(option->palette.color(QPalette::Highlight), kFrameWidth));
    painter->setBrush(Qt::NoBrush);
    const qreal inset = kFrameWidth / 2.0;
    painter->drawRoundedRect(QRectF(option->rect).adjusted(inset, inset, -inset, -inset), 3, 3);
    painter->restore();
}

int FocusStyle::pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const {
    if (metric == PM_FocusFrameHMargin || metric == PM_FocusFrameVMargin) return kFrameMargin;
    return QProxyStyle::pixelMetric(metric, option, widget);
}

void ShowKeyboardFocus(QApplication& application) {
    QApplication::setStyle(new FocusStyle);
    new FocusFollower(application);
}

}  // namespace lexicorn::gui
