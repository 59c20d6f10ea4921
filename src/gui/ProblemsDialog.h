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
    /// The findings as the command line prints them, one a line.
    QString text() const;

  signals:
    /// A finding in a cell of the table was double-clicked.
    void cellActivated(std::size_t row, std::size_t column);

  private:
    QLabel* summary_;
    QTableWidget* findings_;
    QString text_;
    std::vector<Finding> shown_;
};

}  // namespace lexicorn::gui
