#include "gui/ProblemsDialog.h"

#include <QApplication>
#include <QClipboard>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace lexicorn::gui {

ProblemsDialog::ProblemsDialog(QWidget* parent)
    : QDialog(parent), summary_(new QLabel(this)), findings_(new QTableWidget(0, 4, this)) {
    setObjectName(QStringLiteral("problemsDialog"));
    setWindowTitle(QStringLiteral("Problems"));
    summary_->setObjectName(QStringLiteral("problemsSummary"));
    findings_->setObjectName(QStringLiteral("findings"));
    findings_->setHorizontalHeaderLabels({QStringLiteral("Cell"), QStringLiteral("Severity"),
                                          QStringLiteral("Language"), QStringLiteral("Message")});
    findings_->horizontalHeader()->setStretchLastSection(true);
    findings_->verticalHeader()->setVisible(false);
    findings_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    findings_->setSelectionBehavior(QAbstractItemView::SelectRows);
    findings_->setMinimumSize(320, 120);

    auto* copy = new QPushButton(QStringLiteral("Copy"), this);
    copy->setObjectName(QStringLiteral("copyButton"));
    copy->setToolTip(QStringLiteral("Copy the problems as text"));
    auto* close = new QPushButton(QStringLiteral("Close"), this);
    close->setObjectName(QStringLiteral("closeButton"));
    close->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(copy);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(summary_);
    layout->addWidget(findings_, 1);
    layout->addLayout(buttons);

    connect(copy, &QPushButton::clicked, this, [this] { QApplication::clipboard()->setText(text_); });
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    connect(findings_, &QTableWidget::cellDoubleClicked, this, [this](int row, int) {
        const Finding& finding = shown_.at(static_cast<std::size_t>(row));
        if (finding.file.empty()) emit cellActivated(finding.row, finding.column);
    });
}

void ProblemsDialog::showReport(const CheckReport& report, const QString& path) {
    fill(report, path);
    if (!isVisible()) {
        // Room for the findings' columns where the screen has it.
        const QSize opening(680, 340);
        resize(screen() ? opening.boundedTo(screen()->availableGeometry().size() * 9 / 10) : opening);
    }
    show();
    raise();
}

void ProblemsDialog::followReport(const CheckReport& report, const QString& path) {
    if (isVisible()) fill(report, path);
}

void ProblemsDialog::moveBeside(const QWidget& window) {
    if (!screen()) return;
    const QMargins frame(geometry().left() - frameGeometry().left(), geometry().top() - frameGeometry().top(),
                         frameGeometry().right() - geometry().right(),
                         frameGeometry().bottom() - geometry().bottom());
    const QRect placed = PlaceBeside(window.frameGeometry(), frameGeometry().size(),
                                     minimumSizeHint().grownBy(frame), screen()->availableGeometry());
    setGeometry(placed.marginsRemoved(frame));
}

void ProblemsDialog::fill(const CheckReport& report, const QString& path) {
    summary_->setText(
        QStringLiteral("%1: %2").arg(QFileInfo(path).fileName(), QString::fromStdString(CountsText(report))));
    findings_->setRowCount(static_cast<int>(report.findings.size()));
    shown_ = report.findings;
    text_.clear();
    const std::string file = path.toStdString();
    for (std::size_t i = 0; i < report.findings.size(); ++i) {
        const Finding& finding = report.findings[i];
        const int row = static_cast<int>(i);
        const QString cell =
            !finding.file.empty()
                ? QStringLiteral("%1:%2")
                      .arg(QFileInfo(QString::fromStdString(finding.file)).fileName())
                      .arg(finding.row)
                : QString::fromStdString(finding.sheet.empty() ? finding.Cell()
                                                               : finding.sheet + "!" + finding.Cell());
        const bool error = finding.severity == Finding::Severity::kError;
        findings_->setItem(row, 0, new QTableWidgetItem(cell));
        findings_->setItem(row, 1,
                           new QTableWidgetItem(error ? QStringLiteral("error") : QStringLiteral("warning")));
        findings_->setItem(row, 2, new QTableWidgetItem(QString::fromStdString(finding.language)));
        findings_->setItem(row, 3, new QTableWidgetItem(QString::fromStdString(finding.message)));
        if (error)
            for (int column = 0; column < 2; ++column)
                findings_->item(row, column)->setForeground(Qt::darkRed);
        text_ += QString::fromStdString(FindingLine(file, finding)) + QLatin1Char('\n');
    }
    findings_->resizeColumnsToContents();
}

QString ProblemsDialog::text() const { return text_; }

QRect PlaceBeside(const QRect& window, const QSize& size, const QSize& minimum, const QRect& screen) {
    const int right = screen.right() - window.right();
    const int left = window.left() - screen.left();
    const bool onTheRight = right >= left;
    const int width = std::max(minimum.width(), std::min(size.width(), onTheRight ? right : left));
    const int height = std::min(size.height(), screen.height());
    const int x = onTheRight ? std::min(window.right() + 1, screen.right() + 1 - width)
                             : std::max(window.left() - width, screen.left());
    const int y = std::clamp(window.top(), screen.top(), screen.bottom() + 1 - height);
    return {x, y, width, height};
}

}  // namespace lexicorn::gui
