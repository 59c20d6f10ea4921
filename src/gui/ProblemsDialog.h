#pragma once

#include <QDialog>

#include "compile/TableCheck.h"

class QLabel;
class QTableWidget;

namespace lexicorn::gui {

/// What the check of a table found: every finding with its cell, severity, language and message,
/// sorted by cell, and a button that copies them as text.
class ProblemsDialog : public QDialog {
    Q_OBJECT
  public:
    explicit ProblemsDialog(QWidget* parent = nullptr);

    /// Shows the findings of `report` for the table file at `path`.
    void showReport(const CheckReport& report, const QString& path);
    /// Shows `report` instead of the findings shown, without bringing the window to the front.
    void followReport(const CheckReport& report, const QString& path);
    /// Moves the window beside `window`, so that what `window` shows stays in sight.
    void moveBeside(const QWidget& window);
    /// The findings as the command line prints them, one a line.
    QString text() const;

  signals:
    /// A finding in a cell of the table was double-clicked.
    void cellActivated(std::size_t row, std::size_t column);

  private:
    void fill(const CheckReport& report, const QString& path);

    QLabel* summary_;
    QTableWidget* findings_;
    QString text_;
    std::vector<Finding> shown_;
};

/// Where a window of `size` (at least `minimum`) goes beside `window` on `screen`: on the side with
/// more room, as wide as that room allows; over the window's edge where neither side has room.
QRect PlaceBeside(const QRect& window, const QSize& size, const QSize& minimum, const QRect& screen);

}  // namespace lexicorn::gui
