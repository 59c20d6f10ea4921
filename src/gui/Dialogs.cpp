#include "gui/Dialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

#include "base/Text.h"

namespace lexicorn::gui {
namespace {

QString Displayed(const QString& text) { return QString::fromStdString(WithLineFeeds(text.toStdString())); }

class QtDialogs final : public Dialogs {
  public:
    void Error(QWidget* parent, const QString& text) override {
        QMessageBox::critical(parent, QApplication::applicationName(), Displayed(text));
    }
    void Information(QWidget* parent, const QString& text) override {
        QMessageBox::information(parent, QApplication::applicationName(), Displayed(text));
    }
    void Message(QWidget* parent, const QString& text) override {
        QMessageBox box(QMessageBox::NoIcon, QApplication::applicationName(), Displayed(text),
                        QMessageBox::Ok, parent);
        box.exec();
    }
    bool Question(QWidget* parent, const QString& text, Preset preset) override {
        return QMessageBox::question(parent, QApplication::applicationName(), Displayed(text),
                                     QMessageBox::Yes | QMessageBox::No,
                                     preset == Preset::kYes ? QMessageBox::Yes : QMessageBox::No) ==
               QMessageBox::Yes;
    }
    Unsaved AskAboutUnsaved(QWidget* parent, const QString& text) override {
        switch (QMessageBox::question(parent, QApplication::applicationName(), Displayed(text),
                                      QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel,
                                      QMessageBox::Save)) {
            case QMessageBox::Save:
                return Unsaved::kSave;
            case QMessageBox::Discard:
                return Unsaved::kDiscard;
            default:
                return Unsaved::kCancel;
        }
    }
    std::optional<QString> OpenFile(QWidget* parent, const FileChoice& choice) override {
        return Run(parent, choice, QFileDialog::AcceptOpen);
    }
    std::optional<QString> SaveFile(QWidget* parent, const FileChoice& choice) override {
        return Run(parent, choice, QFileDialog::AcceptSave);
    }

    std::optional<QString> ChooseFolder(QWidget* parent, const QString& title,
                                        const QString& folder) override {
        const QString chosen = QFileDialog::getExistingDirectory(parent, title, folder);
        if (chosen.isEmpty()) return std::nullopt;
        return chosen;
    }

  private:
    static std::optional<QString> Run(QWidget* parent, const FileChoice& choice,
                                      QFileDialog::AcceptMode mode) {
        QFileDialog dialog(parent, choice.title, choice.folder, choice.filter);
        dialog.setAcceptMode(mode);
        dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile
                                                           : QFileDialog::AnyFile);
        dialog.setDefaultSuffix(choice.defaultSuffix);
        if (mode == QFileDialog::AcceptSave) dialog.setOption(QFileDialog::DontConfirmOverwrite);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
        return dialog.selectedFiles().constFirst();
    }
};

}  // namespace

std::unique_ptr<Dialogs> CreateQtDialogs() { return std::make_unique<QtDialogs>(); }

}  // namespace lexicorn::gui
