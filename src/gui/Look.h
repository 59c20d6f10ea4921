#pragma once

#include <QPalette>
#include <QScrollArea>
#include <QScrollBar>
#include <QWidget>

namespace lexicorn::gui {

/// The frame of the settings window: a dialog above the main window, with a close box only.
inline constexpr Qt::WindowFlags kDialogOnTop =
    Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::WindowCloseButtonHint | Qt::WindowTitleHint;
/// The frame of the alignment window, which has nothing to gain from more room: it keeps its size.
inline constexpr Qt::WindowFlags kFixedDialogOnTop = kDialogOnTop | Qt::MSWindowsFixedSizeDialogHint;

/// The cream background of the fields that only show what the program found: the language lists
/// and the merger's file paths.
inline void UseCreamBackground(QWidget& widget) {
    QPalette cream = widget.palette();
    cream.setColor(QPalette::Base, QColor(0xFF, 0xFB, 0xF0));
    widget.setPalette(cream);
}

/// `page` in a frameless area that scrolls it up and down where the window has less room than the
/// page asks for (a small screen, a large font), rather than making the window taller than the
/// screen. Across, the page keeps its room.
inline QScrollArea* ScrollingDown(QWidget* page) {
    auto* area = new QScrollArea;
    area->setFrameShape(QFrame::NoFrame);
    area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    area->setWidgetResizable(true);
    area->setWidget(page);
    area->setMinimumWidth(page->minimumSizeHint().width() + area->verticalScrollBar()->sizeHint().width());
    return area;
}

}  // namespace lexicorn::gui
