#pragma once

#include <QWidget>
#include <vector>

#include "table/LoadedTable.h"

class QAction;
class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPushButton;
class QToolButton;

namespace lexicorn::gui {

/// The main window's "LXN Engine" page: the table's languages to choose from, the output folder,
/// what the table holds and the Create command. Its commands go to the main window as signals; the
/// choice of languages is made here, in the entries the page is given.
class BuildPage : public QWidget {
    Q_OBJECT
  public:
    /// `languages` are the loaded table's entries, listed and chosen on this page.
    explicit BuildPage(std::vector<LanguageEntry>& languages, QWidget* parent = nullptr);

    /// The keys of the page's commands work on every page of `window`, as long as the page's button
    /// would take a click.
    void addShortcutsTo(QWidget& window);

    /// Lists the entries, each in the list of its choice.
    void showLanguages();
    /// Empty lists, and the table's line says that none is loaded.
    void showNoTable();
    void showTableInfo(const QString& info);
    void showOutputFolder(const QString& folder);
    void enableProblems(bool enabled);
    void enableCreate(bool enabled);
    /// Whether the user keeps the table after a build; the choice is kept between runs.
    bool keepsTable() const;
    QMenu& recentProjects() { return *recentProjects_; }

  signals:
    void chooseTableRequested();
    void editSettingsRequested();
    void openProjectRequested();
    void saveProjectRequested();
    void saveProjectAsRequested();
    void helpRequested();
    void chooseOutputFolderRequested();
    /// The user typed or pasted `folder` into the output folder field.
    void outputFolderTyped(const QString& folder);
    void createRequested();
    void problemsRequested();
    /// Languages were chosen or put back.
    void languagesChosen();

  private:
    void outputFolderEdited();
    /// Chooses, or puts back, the current language of `list`.
    void chooseCurrent(const QListWidget& list, bool selected);
    void chooseAll(bool selected);

    std::vector<LanguageEntry>& languages_;
    QToolButton* loadTableButton_ = nullptr;
    QToolButton* saveProjectButton_ = nullptr;
    QToolButton* helpButton_ = nullptr;
    QListWidget* availableLanguages_ = nullptr;
    QListWidget* selectedLanguages_ = nullptr;
    QLabel* tableInfo_ = nullptr;
    QLineEdit* outputFolderField_ = nullptr;
    QPushButton* createButton_ = nullptr;
    QPushButton* problemsButton_ = nullptr;
    QCheckBox* keepTable_ = nullptr;
    QMenu* recentProjects_ = nullptr;
    QAction* saveProjectAs_ = nullptr;
};

}  // namespace lexicorn::gui
