#pragma once

#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <optional>

#include "gui/Dialogs.h"

namespace lexicorn::test {

/// Dialogs that a test answers: every message is recorded as "Kind: text", questions take their
/// answers from `answers` (the question about unsaved changes from `unsavedAnswers`) and file choosers
/// their paths from `files` (a null QString = Cancel). A chooser or question without a scripted answer
/// is recorded as unexpected and cancelled. A question that presets No is recorded as
/// "Question (No): text", so that tests see which answer Enter would give.
class ScriptedDialogs final : public gui::Dialogs {
  public:
    QStringList
        shown;  ///< "Error: ...", "Information: ...", "Message: ...", "Question: ...", "OpenFile: title"
    std::deque<bool> answers;
    std::deque<Unsaved> unsavedAnswers;
    std::deque<QString> files;
    QStringList filters;  ///< of every file chooser shown, in order
    QStringList unexpected;
    /// Runs when a message box would be shown, as if the user looked at the screen then.
    std::function<void()> onMessage;

    void Error(QWidget*, const QString& text) override { Record("Error: " + text); }
    void Information(QWidget*, const QString& text) override { Record("Information: " + text); }
    void Message(QWidget*, const QString& text) override { Record("Message: " + text); }
    bool Question(QWidget*, const QString& text, Preset preset) override {
        Record((preset == Preset::kNo ? "Question (No): " : "Question: ") + text);
        return Answer(answers, text, false);
    }
    Unsaved AskAboutUnsaved(QWidget*, const QString& text) override {
        Record("Question: " + text);
        return Answer(unsavedAnswers, text, Unsaved::kCancel);
    }
    std::optional<QString> OpenFile(QWidget*, const gui::FileChoice& choice) override {
        filters << choice.filter;
        return Choose("OpenFile: " + choice.title);
    }
    std::optional<QString> SaveFile(QWidget*, const gui::FileChoice& choice) override {
        filters << choice.filter;
        return Choose("SaveFile: " + choice.title);
    }
    std::optional<QString> ChooseFolder(QWidget*, const QString& title, const QString&) override {
        return Choose("ChooseFolder: " + title);
    }

    /// The messages shown so far, and forgets them.
    QStringList Take() {
        QStringList taken = shown;
        shown.clear();
        return taken;
    }

  private:
    template <typename T>
    T Answer(std::deque<T>& queue, const QString& text, T cancelled) {
        if (queue.empty()) {
            unexpected << text;
            return cancelled;
        }
        const T answer = queue.front();
        queue.pop_front();
        return answer;
    }
    void Record(const QString& line) {
        shown << line;
        if (onMessage) onMessage();
    }
    std::optional<QString> Choose(const QString& line) {
        shown << line;
        if (files.empty()) {
            unexpected << line;
            return std::nullopt;
        }
        const QString file = files.front();
        files.pop_front();
        if (file.isNull()) return std::nullopt;
        return file;
    }
};

}  // namespace lexicorn::test
