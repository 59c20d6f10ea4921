#pragma once

#include <QPalette>
#include <QWidget>

namespace lexicorn::gui {

/// The frame of the settings and alignment windows: a fixed-size dialog above the main window,
/// with a close box only.
inline constexpr Qt::WindowFlags kFixedDialogOnTop = Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint |
                                                     Qt::WindowStaysOnTopHint | Qt::WindowCloseButtonHint |
                                                     Qt::WindowTitleHint;

/// The cream background of the fields that only show what the program found: the language lists
/// and the merger's file paths.
inline void UseCreamBackground(QWidget& widget) {
    QPalette cream = widget.palette();
    cream.setColor(QPalette::Base, QColor(0xFF, 0xFB, 0xF0));
    widget.setPalette(cream);
}

}  // namespace lexicorn::gui
