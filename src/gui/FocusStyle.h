#pragma once

#include <QProxyStyle>

class QApplication;

namespace lexicorn::gui {

/// The desktop's style, with a keyboard focus that can be seen: a frame in the highlight colour
/// around whichever control has the focus, in every window (the style underneath marks the focus
/// of some controls faintly, of others not at all).
class FocusStyle : public QProxyStyle {
  public:
    using QProxyStyle::QProxyStyle;

    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget = nullptr) const override;
    int pixelMetric(PixelMetric metric, const QStyleOption* option = nullptr,
                    const QWidget* widget = nullptr) const override;
};

/// Installs FocusStyle in `application` and a focus frame that follows the focus from control to
/// control.
void ShowKeyboardFocus(QApplication& application);

}  // namespace lexicorn::gui
