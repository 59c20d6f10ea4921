#include <xlsxwriter.h>

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QFile>
#include <QFocusFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMap>
#include <QMenu>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QScrollArea>
#include <QScrollBar>
#include <QSet>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QToolButton>
#include <thread>

#include "GuiSupport.h"
#include "WizardFixture.h"
#include "gui/BuildProgressDialog.h"
#include "gui/BuildSettingsDialog.h"
#include "gui/MainWindow.h"
#include "gui/PreviewPage.h"
#include "gui/ProblemsDialog.h"
#include "gui/SplashScreen.h"

namespace lexicorn::test {

// Records the addresses that the windows hand to the desktop, instead of opening a browser.
class UrlRecorder : public QObject {
    Q_OBJECT
  public:
    QList<QUrl> opened;
  public slots:
    void Open(const QUrl& url) { opened << url; }
};

class MainWindowTest : public WizardFixture {
    Q_OBJECT

  private:
    QStringList Items(const char* list) const {
        QStringList items;
        auto* widget = Find<QListWidget>(list);
        for (int i = 0; i < widget->count(); ++i) items << widget->item(i)->text();
        return items;
    }
    void Choose(const char* list, int row, const char* button) {
        Find<QListWidget>(list)->setCurrentRow(row);
        Find<QPushButton>(button)->click();
    }
    // Loads `name` (in the test's folder) through the string-table button.
    void LoadThroughButton(const QString& name) { ChooseFile<QToolButton>("loadTableButton", name); }
    void CopyFixture(const char* name) const {
        QFile::copy(QStringLiteral(LEXICORN_FIXTURES_DIR "/") + QString::fromLatin1(name),
                    Path(QString::fromLatin1(name)));
    }
    // An .xlsx written by libxlsxwriter: one row a list, cells as text.
    void WriteWorkbook(const QString& name, const std::vector<std::vector<const char*>>& rows) const {
        const QByteArray path = Path(name).toLocal8Bit();
        lxw_workbook* workbook = workbook_new(path.constData());
        lxw_worksheet* sheet = workbook_add_worksheet(workbook, nullptr);
        for (std::size_t r = 0; r < rows.size(); ++r)
            for (std::size_t c = 0; c < rows[r].size(); ++c)
                worksheet_write_string(sheet, static_cast<lxw_row_t>(r), static_cast<lxw_col_t>(c),
                                       rows[r][c], nullptr);
        QCOMPARE(workbook_close(workbook), LXW_NO_ERROR);
    }
    // Opens the settings window through its button; `act` runs while it is shown.
    void WithSettingsWindow(const std::function<void(gui::BuildSettingsDialog&)>& act) {
        gui::BuildSettingsDialog& form = window_->settingsDialog();
        QTimer::singleShot(0, &form, [&form, act] {
            act(form);
            if (form.isVisible()) form.reject();
        });
        Find<QToolButton>("settingsButton")->click();
    }
    QPushButton* CancelButton() const {
        return window_->progressDialog().findChild<QPushButton*>(QStringLiteral("cancelButton"));
    }
    // Cancel is pressed on the window right after the build's `occurrence`th check of the cancel
    // request while its status begins with `status`: the build meets the request at its next check.
    void PressCancelAfterCheck(const QString& status, int occurrence) {
        window_->buildController().setCheckHook(
            [this, status, occurrence, seen = 0](const std::string& shown) mutable {
                if (!QString::fromStdString(shown).startsWith(status) || ++seen != occurrence) return;
                QMetaObject::invokeMethod(
                    window_.get(), [this] { CancelButton()->click(); }, Qt::BlockingQueuedConnection);
            });
    }
    static QButtonGroup* Group(gui::BuildSettingsDialog& form, const char* name) {
        return form.findChild<QButtonGroup*>(QString::fromLatin1(name));
    }
    template <typename Widget>
    static Widget* Control(gui::BuildSettingsDialog& form, const char* name) {
        return form.findChild<Widget*>(QString::fromLatin1(name));
    }

  private slots:
    void StartsWithTheDefaults() {
        gui::MainWindow& window = Start();
        QCOMPARE(window.settings(), ProjectSettings{});
        QVERIFY(!window.projectLoaded());
        QCOMPARE(window.windowTitle(), QStringLiteral("Lexicorn Wizard[*]"));
        QVERIFY(!window.isWindowModified());
        QCOMPARE(Find<QLabel>("tableInfo")->text(), QStringLiteral("No Excel file loaded!"));
        auto* pages = Find<QTabWidget>("pages");
        QCOMPARE(pages->count(), 4);
        QCOMPARE(pages->tabText(0), QStringLiteral("LXN Engine"));
        QCOMPARE(pages->tabText(1), QStringLiteral("Merger"));
        QCOMPARE(pages->tabText(2), QStringLiteral("Preview"));
        QCOMPARE(pages->tabText(3), QStringLiteral("About"));
        QCOMPARE(Find<QToolButton>("loadTableButton")->toolTip(),
                 QStringLiteral("Open Excel file to load the string table (Ctrl+O)"));
        QCOMPARE(Find<QToolButton>("helpButton")->toolTip(), QStringLiteral("Onlne Help (F1)"));
        QCOMPARE(Find<QPushButton>("createButton")->toolTip(),
                 QStringLiteral("Start creating Lexicorn (Ctrl+B)"));
        window.show();
        SaveScreenshot(window, QStringLiteral("main-window"));
        // The target has a file system until the user says otherwise.
        WithSettingsWindow([](gui::BuildSettingsDialog& form) {
            QVERIFY(!Control<QCheckBox>(form, "noFileSystem")->isChecked());
            QVERIFY(Control<QCheckBox>(form, "noFileSystem")->isEnabled());
            Control<QPushButton>(form, "doneButton")->click();
        });
    }

    void StartsWithTheProjectOnTheCommandLine() {
        Write("p.lxn", "LEXICORNPROJECTFILE\r\n2\r\n1\r\n4\r\n1\r\n1\r\n2\r\n8\r\n4096\r\n0\r\n0\r\n0\r\n");
        gui::MainWindow& window = Start(Path("p.lxn"));
        QVERIFY(window.projectLoaded());
        QCOMPARE(window.settings().encoding, Encoding::kUtf8);
        QCOMPARE(window.settings().searchStep, 8);
        QCOMPARE(window.settings().mergeAddress, 4096u);
        QVERIFY(!window.settings().useDefaultString);
        QVERIFY(dialogs_->shown.isEmpty());
    }

    void StartsWithDefaultsAndSaysSoWhenTheArgumentIsNoProject() {
        Write("notes.lxn", "just some text\r\n");
        gui::MainWindow& window = Start(Path("notes.lxn"));
        QCOMPARE(dialogs_->Take(), QStringList{"Error: Corrupted project file.\r\r" + Path("notes.lxn")});
        QCOMPARE(window.settings(), ProjectSettings{});  // default strings stay on
        QVERIFY(!window.projectLoaded());
    }

    void StartsWithTheTableOnTheCommandLine() {
        CopyFixture("table.xlsx");
        gui::MainWindow& window = Start(Path("table.xlsx"));
        QVERIFY(dialogs_->shown.isEmpty());
        QVERIFY(!window.projectLoaded());
        QCOMPARE(Find<QLabel>("tableInfo")->text(),
                 QStringLiteral("table.xlsx: 6 languages, 6 strings; 13 errors, 0 warnings"));
    }

    void DoesNotStartWithAProjectThatFailsHalfWay() {
        Write("bad.lxn", "LEXICORNPROJECTFILE\r\n1\r\n1\r\n4\r\n1\r\n1\r\nabc\r\n8\r\n0\r\n0\r\n0\r\n1\r\n");
        QVERIFY_THROWS_EXCEPTION(gui::StartupError, Start(Path("bad.lxn")));
    }

    void LoadsAWorkbookAndChoosesLanguagesInColumnOrder() {
        Start();
        CopyFixture("table.xlsx");
        LoadThroughButton("table.xlsx");
        QCOMPARE(dialogs_->Take(), QStringList{"OpenFile: Select Excel File"});
        QCOMPARE(dialogs_->filters.last(),
                 QStringLiteral(
                     "String tables (*.xls *.xlsx *.ods *.csv *.tsv *.txt);;Excel Files (*.xls *.xlsx);;"
                     "OpenDocument spreadsheets (*.ods);;CSV files (*.csv);;Tab-separated text (*.tsv "
                     "*.txt);;All Files (*)"));
        QCOMPARE(Find<QLabel>("tableInfo")->text(),
                 QStringLiteral("table.xlsx: 6 languages, 6 strings; 13 errors, 0 warnings"));
        const QStringList all{"English", "Deutsch", "Polski", "Русский", "Ελληνικά", "日本語"};
        QCOMPARE(Items("availableLanguages"), all);
        QVERIFY(Items("selectedLanguages").isEmpty());

        Choose("availableLanguages", 2, "addLanguageButton");  // Polski, then English: kept in column order
        Choose("availableLanguages", 0, "addLanguageButton");
        QCOMPARE(Items("selectedLanguages"), (QStringList{"English", "Polski"}));
        QCOMPARE(Items("availableLanguages"), (QStringList{"Deutsch", "Русский", "Ελληνικά", "日本語"}));
        SaveScreenshot(*window_, QStringLiteral("main-window-languages"));

        Choose("selectedLanguages", 1, "removeLanguageButton");
        QCOMPARE(Items("selectedLanguages"), QStringList{"English"});
        Find<QListWidget>("availableLanguages")->setCurrentRow(-1);
        Find<QPushButton>("addLanguageButton")->click();  // nothing highlighted: nothing changes
        QCOMPARE(Items("selectedLanguages"), QStringList{"English"});

        Find<QPushButton>("addAllLanguagesButton")->click();
        QCOMPARE(Items("selectedLanguages"), all);
        QVERIFY(Items("availableLanguages").isEmpty());
        Find<QPushButton>("removeAllLanguagesButton")->click();
        QCOMPARE(Items("availableLanguages"), all);
    }

    void LoadsEveryKindOfTable_data() {
        QTest::addColumn<QString>("name");
        for (const char* name : {"table.xls", "table.xlsx", "table.ods", "table.csv"})
            QTest::newRow(name) << QString::fromLatin1(name);
    }
    void LoadsEveryKindOfTable() {
        QFETCH(QString, name);
        Start();
        CopyFixture(qPrintable(name));
        LoadThroughButton(name);
        QCOMPARE(Items("availableLanguages"),
                 (QStringList{"English", "Deutsch", "Polski", "Русский", "Ελληνικά", "日本語"}));
    }

    void TheExampleTableLoadsAndBuilds() {
        Start();
        QFile::copy(QStringLiteral(LEXICORN_EXAMPLES_DIR "/strings.csv"), Path("strings.csv"));
        LoadThroughButton("strings.csv");
        Choose("availableLanguages", 0, "addLanguageButton");
        Choose("availableLanguages", 1, "addLanguageButton");
        window_->show();
        SaveScreenshot(*window_, QStringLiteral("main-window-example"));
        dialogs_->Take();
        Create();
        QVERIFY(dialogs_->Take().value(0).startsWith("Information: Lexicorn was created succesfully!"));
    }

    // What `make run` shows: the example table loaded, its languages chosen, ready to build into out/.
    void TheExampleProjectOpensReadyToBuild() {
        QDir(dir_->path()).mkdir(QStringLiteral("examples"));
        for (const char* name : {"example.lxn", "strings.csv"})
            QFile::copy(QStringLiteral(LEXICORN_EXAMPLES_DIR "/") + QString::fromLatin1(name),
                        Path(QStringLiteral("examples/") + QString::fromLatin1(name)));
        Start(Path("examples/example.lxn"));
        QVERIFY(dialogs_->shown.isEmpty());
        QCOMPARE(Items("selectedLanguages"), (QStringList{"English", "Deutsch", "Français", "Español"}));
        QCOMPARE(Find<QLineEdit>("outputFolder")->text(), QDir::toNativeSeparators(Path("out")));
        window_->show();
        SaveScreenshot(*window_, QStringLiteral("main-window-example-project"));  // the README's
        Create();
        QVERIFY(dialogs_->Take().value(0).startsWith("Information: Lexicorn was created succesfully!"));
        QVERIFY(QFile::exists(Path("out/Lexicorn.bin")));
    }

    void DoubleClicksChooseAndReturnLanguages() {
        Start();
        CopyFixture("table.xlsx");
        LoadThroughButton("table.xlsx");
        window_->show();
        const auto doubleClick = [this](const char* name, int row) {
            auto* list = Find<QListWidget>(name);
            const QPoint at = list->visualItemRect(list->item(row)).center();
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
            QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
        };
        doubleClick("availableLanguages", 1);
        doubleClick("availableLanguages", 1);
        QCOMPARE(Items("selectedLanguages"), (QStringList{"Deutsch", "Polski"}));
        doubleClick("selectedLanguages", 0);
        QCOMPARE(Items("selectedLanguages"), QStringList{"Polski"});
    }

    void EveryColumnOfTheSameNameCanBeChosen() {
        Start();
        WriteWorkbook(
            "twins.xlsx",
            {{"ID", "English", "English", "Deutsch"}, {"", "en", "en-us", "de"}, {"OK", "OK", "Okay", "OK"}});
        LoadThroughButton("twins.xlsx");
        QCOMPARE(Items("availableLanguages"), (QStringList{"English", "English", "Deutsch"}));
        Choose("availableLanguages", 1, "addLanguageButton");  // the right-hand English
        QVERIFY(!window_->table().languages[0].selected);
        QVERIFY(window_->table().languages[1].selected);
        Choose("availableLanguages", 0, "addLanguageButton");
        QCOMPARE(Items("selectedLanguages"), (QStringList{"English", "English"}));
        QVERIFY(window_->table().languages[0].selected);
    }

    void TablesBeyondTheLimitsAreRefusedByName() {
        Start();
        QByteArray names = "ID", codes = "";
        for (int i = 0; i < 99; ++i) {
            names += ",L" + QByteArray::number(i);
            codes += ",c";
        }
        Write("wide.csv", names + "\n" + codes + "\nOK" + codes + "\n");
        LoadThroughButton("wide.csv");
        const QStringList shown = dialogs_->Take();
        QCOMPARE(shown.size(), 2);
        QVERIFY2(shown[1].startsWith("Error: " + Path("wide.csv")) && shown[1].contains("at most 98"),
                 qPrintable(shown[1]));
        QCOMPARE(Find<QLabel>("tableInfo")->text(), QStringLiteral("No Excel file loaded!"));
        QVERIFY(Items("availableLanguages").isEmpty());

        Write("long.csv", "ID," + QByteArray(100, 'x') + "\n,xx\nOK,o\n");
        LoadThroughButton("long.csv");
        QVERIFY(dialogs_->Take().last().contains("at most 99"));
    }

    void ReaderErrorsReachTheGeneralReportAndTheWindowGoesOn() {
        Start();
        Write("broken.xlsx", "PK\x03\x04 not really a workbook");
        LoadThroughButton("broken.xlsx");
        const QStringList shown = dialogs_->Take();
        QCOMPARE(shown.size(), 2);
        QVERIFY2(shown[1].startsWith("Error: ") && shown[1].contains("broken.xlsx"), qPrintable(shown[1]));
        CopyFixture("table.xlsx");
        LoadThroughButton("table.xlsx");
        QCOMPARE(Items("availableLanguages").size(), 6);
    }

    void ADroppedTableLoadsAsIfChosen() {
        Start();
        CopyFixture("table.xlsx");
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(Path("table.xlsx"))});
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window_.get(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window_.get(), &drop);
        QCOMPARE(Find<QLabel>("tableInfo")->text(),
                 QStringLiteral("table.xlsx: 6 languages, 6 strings; 13 errors, 0 warnings"));
        QCOMPARE(Items("availableLanguages").size(), 6);
    }

    void CreateChecksTheTableAndTheLanguagesFirst() {
        Start();
        dialogs_->files.push_back(QString());  // the chooser that follows is cancelled
        Create();
        QCOMPARE(dialogs_->Take(),
                 (QStringList{"Error: No Excel file selected!", "OpenFile: Select Excel File"}));

        CopyFixture("table.xlsx");
        LoadThroughButton("table.xlsx");
        dialogs_->Take();
        Create();
        QCOMPARE(dialogs_->Take(), QStringList{"Error: No languages selected!"});
        QCOMPARE(Items("availableLanguages").size(), 6);  // still loaded
        QVERIFY(Find<QPushButton>("createButton")->isEnabled());
    }

    void CreateBuildsEveryFileAndShowsTheSummary() {
        Start();
        WithSettingsWindow([](gui::BuildSettingsDialog& form) {  // the table holds more than CP1252
            Control<QComboBox>(form, "encodingChoice")->setCurrentIndex(2);
            Control<QPushButton>(form, "doneButton")->click();
        });
        CopyFixture("table.xlsx");
        LoadThroughButton("table.xlsx");
        Choose("availableLanguages", 0, "addLanguageButton");
        Choose("availableLanguages", 0, "addLanguageButton");
        dialogs_->Take();
        bool disabledDuringTheBuild = false;
        dialogs_->onMessage = [&] {
            disabledDuringTheBuild =
                !Find<QPushButton>("createButton")->isEnabled() && !Find<QTabWidget>("pages")->isEnabled();
        };
        Create();
        const QStringList shown = dialogs_->Take();
        QCOMPARE(shown.size(), 1);
        QVERIFY2(
            shown[0].startsWith("Information: Lexicorn was created succesfully!\r\rNumber of languages: 2\r"
                                "Number of strings: 6\rTotal size of Lexicorn: "),
            qPrintable(shown[0]));
        QVERIFY(disabledDuringTheBuild);
        for (const char* file : {"Lexicorn.bin", "Lexicorn.c", "StringList.h", "LXNApiCfg.h"})
            QVERIFY2(QFile::exists(Path(QString::fromLatin1(file))), file);
        QCOMPARE(Read("Lexicorn.bin").left(4), QByteArray("\x4F\x30\x2F\x10", 4));

        // The table is forgotten; the window is usable again.
        QCOMPARE(Find<QLabel>("tableInfo")->text(), QStringLiteral("No Excel file loaded!"));
        QVERIFY(Items("availableLanguages").isEmpty() && Items("selectedLanguages").isEmpty());
        QVERIFY(Find<QPushButton>("createButton")->isEnabled());
        QVERIFY(!window_->progressDialog().isVisible());
        QCOMPARE(window_->progressDialog().rangeMax(), 6);  // the string ids' range came last
        QCOMPARE(window_->progressDialog().windowTitle(),
                 QStringLiteral("Lexicorn creation in progress, Please wait..."));
    }

    // Kept on request, the table and its chosen languages stay after a build, for building again at
    // once; the choice is the user's, kept between runs, and off until made.
    void TheTableIsKeptAfterBuildingWhenTheUserWishes() {
        Start();
        QVERIFY(!Find<QCheckBox>("keepTable")->isChecked());
        Find<QCheckBox>("keepTable")->click();
        LoadAll("ID,English,Deutsch\n,en,de\nA,a,b\n");
        Create();
        QVERIFY(dialogs_->Take().value(0).startsWith("Information: Lexicorn was created succesfully!"));
        QCOMPARE(Items("selectedLanguages"), (QStringList{"English", "Deutsch"}));
        QCOMPARE(Find<QLabel>("tableInfo")->text(), QStringLiteral("t.csv: 2 languages, 1 string"));
        Write("t.csv", "ID,English,Deutsch\n,en,de\nA,a,b\nA,c,d\n");  // changed since: read again
        Create();
        QCOMPARE(dialogs_->Take(), QStringList{"Error: Duplicate string id !!!\r\rA\rRow: 4"});

        Start();
        QVERIFY(Find<QCheckBox>("keepTable")->isChecked());
        Find<QCheckBox>("keepTable")->click();
        LoadAll("ID,English\n,en\nA,a\n");
        Create();
        dialogs_->Take();
        QVERIFY(Items("selectedLanguages").isEmpty());
        QCOMPARE(Find<QLabel>("tableInfo")->text(), QStringLiteral("No Excel file loaded!"));
    }

    void CancelStopsTheBuildBeforeAnyFile() {
        Start();
        LoadAll("ID,English,Deutsch\n,en,de\nA,a,b\nB,c,d\n");
        PressCancelAfterCheck(QStringLiteral("Now creating language table..."), 1);  // before Deutsch
        Create();
        QCOMPARE(dialogs_->Take(), QStringList{"Information: Cancelled by user!"});
        QVERIFY(!QFile::exists(Path("Lexicorn.bin")));
        QVERIFY(Items("availableLanguages").isEmpty());
        QVERIFY(Find<QPushButton>("createButton")->isEnabled());
    }

    void CancelStopsASlowXlsReaderAndTheWindowDrawsMeanwhile() {
        Start();
        CopyFixture("table.xls");
        Write("reader", "#!/bin/sh\nexec sleep 30\n");
        QFile::setPermissions(Path("reader"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("LEXICORN_XLS_READER", Path("reader").toLocal8Bit());
        const auto restore = qScopeGuard([] { qunsetenv("LEXICORN_XLS_READER"); });
        bool pagesDisabled = false, closeRefused = false;
        QTimer watch;
        connect(&watch, &QTimer::timeout, window_.get(), [&] {
            gui::BuildProgressDialog& progress = window_->progressDialog();
            if (!progress.isVisible()) return;
            watch.stop();
            pagesDisabled = !Find<QTabWidget>("pages")->isEnabled();
            closeRefused = !window_->close();  // the read runs inside the window's event handling
            SaveScreenshot(progress, "reading-table");
            progress.findChild<QPushButton*>(QStringLiteral("cancelButton"))->click();
        });
        watch.start(50);
        LoadThroughButton("table.xls");
        const QStringList shown = dialogs_->Take();
        QVERIFY2(
            shown.size() == 2 && shown[1] == "Error: " + Path("table.xls") + ": the .xls reader was stopped",
            qPrintable(shown.join('|')));
        QVERIFY(pagesDisabled && closeRefused);
        QVERIFY(Find<QTabWidget>("pages")->isEnabled());
        QVERIFY(!window_->progressDialog().isVisible());
        QCOMPARE(Find<QLabel>("tableInfo")->text(), QStringLiteral("No Excel file loaded!"));
    }

    void AReaderErrorDuringTheBuildIsReportedAndTheTableForgotten() {
        Start();
        CopyFixture("table.xlsx");
        LoadThroughButton("table.xlsx");
        Choose("availableLanguages", 0, "addLanguageButton");  // English holds an emoji, which CP1252 lacks
        dialogs_->Take();
        Create();
        const QStringList shown = dialogs_->Take();
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown[0].startsWith("Error: " + Path("table.xlsx") + ": row 5, column 2:"),
                 qPrintable(shown[0]));
        QCOMPARE(Find<QLabel>("tableInfo")->text(), QStringLiteral("No Excel file loaded!"));
        QVERIFY(!window_->progressDialog().isVisible());
        QVERIFY(Find<QPushButton>("createButton")->isEnabled());
    }

    void BuildErrorsAreReportedAndTheWindowStaysUsable() {
        Start();
        Write("dup.csv", "ID,English\n,en\nA,a\nA,b\n");
        LoadThroughButton("dup.csv");
        Find<QPushButton>("addAllLanguagesButton")->click();
        dialogs_->Take();
        Create();
        QCOMPARE(dialogs_->Take(), QStringList{"Error: Duplicate string id !!!\r\rA\rRow: 4"});
        QVERIFY(Find<QPushButton>("createButton")->isEnabled());
        QVERIFY(Find<QTabWidget>("pages")->isEnabled());
    }

    void ProgressWindowKeepsItsRanges() {
        bool cancelled = false;
        gui::BuildProgressDialog progress([&] { cancelled = true; });
        QCOMPARE(progress.windowTitle(), QStringLiteral("In Progress..."));
        auto* bar = progress.findChild<QProgressBar*>(QStringLiteral("progressBar"));
        progress.setRange(8);
        QCOMPARE(bar->maximum(), 8);
        for (int i = 0; i < 3; ++i) progress.step();
        QCOMPARE(progress.position(), 3);
        progress.complete();
        QCOMPARE(bar->value(), 8);
        progress.setRange(0);
        progress.complete();
        QCOMPARE(bar->value(), 0);
        QCOMPARE(bar->maximum(), 0);
        progress.setRange(3);
        progress.step();
        progress.present();
        QCOMPARE(bar->value(), 0);  // showing returns the bar to 0
        progress.setStatusText("Now adding strings...\r\rLanguage: 1\rString: 2");
        QCOMPARE(progress.findChild<QLabel*>(QStringLiteral("statusText"))->text(),
                 QStringLiteral("Now adding strings...\n\nLanguage: 1\nString: 2"));
        progress.step(2);  // steps passed on together
        QCOMPARE(bar->value(), 2);
        progress.step(5);
        QCOMPARE(progress.position(), 3);  // never past the range
        SaveScreenshot(progress, QStringLiteral("progress-window-alone"));
        progress.findChild<QPushButton*>(QStringLiteral("cancelButton"))->click();
        QVERIFY(cancelled);
        QVERIFY(progress.isVisible());  // the build decides when to stop
        progress.hide();
        QVERIFY(!progress.isVisible());
    }

    // A build's ranges follow one another on one bar: the strings, then the string ids.
    void ProgressShowsTheBuildAsAWhole() {
        gui::BuildProgressDialog progress([] {});
        auto* bar = progress.findChild<QProgressBar*>(QStringLiteral("progressBar"));
        progress.planWhole(11);  // 2 languages of 3 strings: 2 + 2 x 3, then 3 ids
        progress.setRange(8);
        progress.present();
        for (int i = 0; i < 8; ++i) progress.step();
        progress.complete();
        QCOMPARE(bar->value(), 8);
        QCOMPARE(bar->maximum(), 11);
        progress.setRange(3);
        QCOMPARE(bar->value(), 8);  // not back to 0
        progress.step();
        progress.complete();
        QCOMPARE(progress.position(), 3);
        QCOMPARE(bar->value(), 11);
        progress.hide();
        progress.setRange(5);  // a later window of its own
        QCOMPARE(bar->maximum(), 5);
        QCOMPARE(bar->value(), 0);

        Start();
        LoadAll("ID,English,Deutsch\n,en,de\nA,a,b\nB,c,d\nC,e,f\n");
        int maximumWhenShown = 0;
        bool shownWithTheSummary = true;
        // Looked at as soon as the window has shown it: a short build may hide it again before a timer
        // comes round.
        connect(&window_->buildController(), &gui::BuildController::shown, window_.get(), [&] {
            maximumWhenShown = window_->progressDialog().findChild<QProgressBar*>()->maximum();
            SaveScreenshot(window_->progressDialog(), QStringLiteral("progress-window"));
        });
        dialogs_->onMessage = [&] { shownWithTheSummary = window_->progressDialog().isVisible(); };
        Create();
        QVERIFY(dialogs_->Take().value(0).startsWith("Information: Lexicorn was created succesfully!"));
        QCOMPARE(maximumWhenShown, 11);
        QVERIFY(!shownWithTheSummary);  // gone before the summary
    }

    void SettingsWindowShowsAndStoresTheRecord() {
        Start();
        WithSettingsWindow([](gui::BuildSettingsDialog& form) {
            SaveScreenshot(form, QStringLiteral("settings-window"));
            QCOMPARE(form.windowTitle(), QStringLiteral("Lexicorn Settings"));
            QCOMPARE(Control<QComboBox>(form, "alignmentChoice")->currentText(), QStringLiteral("BYTE"));
            QCOMPARE(Control<QComboBox>(form, "encodingChoice")->currentIndex(), 0);
            QVERIFY(!Group(form, "targetLanguage")->button(0)->isEnabled());
            QVERIFY(Control<QComboBox>(form, "codePageChoice")->isEnabled());
            Control<QComboBox>(form, "alignmentChoice")->setCurrentIndex(2);
            Control<QComboBox>(form, "codePageChoice")->setCurrentText(QStringLiteral("CP1250"));
            Group(form, "byteOrder")->button(1)->click();
            Control<QCheckBox>(form, "useDefaultStrings")->click();
            Control<QPushButton>(form, "doneButton")->click();
        });
        ProjectSettings expected;
        expected.alignment = 4;
        expected.byteOrder = ByteOrder::kBig;
        expected.useDefaultString = false;
        expected.codePage = "CP1250";
        QCOMPARE(window_->settings(), expected);
        QVERIFY(dialogs_->shown.isEmpty());
    }

    void SettingsWindowAppliesThePlatformRule() {
        Start();
        WithSettingsWindow([](gui::BuildSettingsDialog& form) {
            Group(form, "targetPlatform")->button(1)->click();
            auto* encoding = Control<QComboBox>(form, "encodingChoice");
            QCOMPARE(encoding->currentText(), QStringLiteral("Unicode (Wide Char)"));
            QVERIFY(!encoding->isEnabled());
            QVERIFY(Group(form, "tableType")->button(1)->isChecked());
            QVERIFY(!Group(form, "tableType")->button(1)->isEnabled());
            QVERIFY(Group(form, "targetLanguage")->button(2)->isEnabled());
            QVERIFY(!Control<QCheckBox>(form, "noFileSystem")->isEnabled());
            QVERIFY(!Control<QComboBox>(form, "codePageChoice")->isEnabled());
            Group(form, "targetLanguage")->button(2)->click();
            SaveScreenshot(form, QStringLiteral("settings-window-dotnet"));
            Control<QPushButton>(form, "doneButton")->click();
        });
        QCOMPARE(window_->settings().encoding, Encoding::kUtf16);
        QCOMPARE(window_->settings().tableType, TableType::k32Bit);
        QCOMPARE(window_->settings().targetPlatform, TargetPlatform::kDotNet);
        QCOMPARE(window_->settings().targetLanguage, TargetLanguage::kVisualBasic);
        QVERIFY(dialogs_->shown.isEmpty());  // the forced table type shows no message

        WithSettingsWindow([](gui::BuildSettingsDialog& form) {
            Group(form, "targetPlatform")->button(0)->click();
            QVERIFY(Control<QComboBox>(form, "encodingChoice")->isEnabled());
            QVERIFY(Group(form, "targetLanguage")->button(0)->isChecked());
            QVERIFY(!Group(form, "targetLanguage")->button(0)->isEnabled());
            Group(form, "tableType")->button(0)->click();
            Control<QPushButton>(form, "doneButton")->click();
        });
        QCOMPARE(
            dialogs_->Take(),
            QStringList{"Information: If you change string table type you should also set the "
                        "LXN_STRTABLE_TYPE inside the API accordingly.\r\rNote that by selecting LXN16 you "
                        "cannot have more than 64 KB of string data!"});
        QCOMPARE(window_->settings().tableType, TableType::k16Bit);
        QCOMPARE(window_->settings().targetLanguage, TargetLanguage::kC);
    }

    void SettingsWindowEscapeRevertsEverythingAndEnterApplies() {
        Start();
        WithSettingsWindow([](gui::BuildSettingsDialog& form) {
            Control<QComboBox>(form, "alignmentChoice")->setCurrentIndex(1);
            Control<QCheckBox>(form, "noFileSystem")->setChecked(true);
            QTest::keyClick(Control<QComboBox>(form, "alignmentChoice"), Qt::Key_Escape);
            QVERIFY(!form.isVisible());
        });
        QCOMPARE(window_->settings(), ProjectSettings{});
        WithSettingsWindow([](gui::BuildSettingsDialog& form) {
            QVERIFY(!Control<QCheckBox>(form, "noFileSystem")->isChecked());
            QCOMPARE(Control<QComboBox>(form, "alignmentChoice")->currentText(), QStringLiteral("BYTE"));
            Control<QComboBox>(form, "alignmentChoice")->setCurrentIndex(1);
            QTest::keyClick(Group(form, "byteOrder")->button(0), Qt::Key_Return);
            QVERIFY(!form.isVisible());
        });
        QCOMPARE(window_->settings().alignment, 2);
    }

    void PocessStringsClosesTheWindowAndBuilds() {
        Start();
        dialogs_->files.push_back(QString());
        WithSettingsWindow([](gui::BuildSettingsDialog& form) {
            Control<QComboBox>(form, "encodingChoice")->setCurrentIndex(2);
            Control<QPushButton>(form, "processButton")->click();
        });
        WaitForBuild();
        QCOMPARE(window_->settings().encoding, Encoding::kUtf8);
        QVERIFY(!window_->settingsDialog().isVisible());
        QCOMPARE(dialogs_->Take(),
                 (QStringList{"Error: No Excel file selected!", "OpenFile: Select Excel File"}));
    }

    void ProjectsAreSavedAndOpenedThroughTheButtons() {
        Start();
        WithSettingsWindow([](gui::BuildSettingsDialog& form) {
            Control<QComboBox>(form, "encodingChoice")->setCurrentIndex(2);
            Control<QPushButton>(form, "doneButton")->click();
        });
        dialogs_->files.push_back(Path("saved.lxn"));
        Find<QToolButton>("saveProjectButton")->click();
        QCOMPARE(dialogs_->Take(), QStringList{"SaveFile: Save Project As"});
        QCOMPARE(
            Read("saved.lxn"),
            QByteArray("LEXICORNPROJECTFILE\r\n2\r\n0\r\n1\r\n0\r\n0\r\n0\r\n16\r\n0\r\n0\r\n0\r\n1\r\n"));

        Start();
        dialogs_->files.push_back(Path("saved.lxn"));
        Find<QToolButton>("openProjectButton")->click();
        QCOMPARE(dialogs_->Take(), QStringList{"OpenFile: Open Project File"});
        QCOMPARE(window_->settings().encoding, Encoding::kUtf8);
        QVERIFY(window_->projectLoaded());

        Write("other.lxn", "lexicornprojectfile\r\n");
        dialogs_->files.push_back(Path("other.lxn"));
        Find<QToolButton>("openProjectButton")->click();
        QCOMPARE(dialogs_->Take(), (QStringList{"OpenFile: Open Project File",
                                                "Error: Corrupted project file.\r\r" + Path("other.lxn")}));
        Write("half.lxn", "LEXICORNPROJECTFILE\r\n0\r\n0\r\n");
        dialogs_->files.push_back(Path("half.lxn"));
        Find<QToolButton>("openProjectButton")->click();
        QCOMPARE(dialogs_->Take().last(),
                 "Error: " + Path("half.lxn") +
                     ": line 4 is missing: the file ends after 3 lines\r\rList index out of bounds (3)");
        QCOMPARE(window_->settings().encoding, Encoding::kUtf8);  // nothing of a failed file is applied
    }

    // Projects behave as documents: Ctrl+S saves the open one (asks for a name when there is none),
    // Ctrl+Shift+S always asks, the title marks changes not saved, and closing with them asks.
    void ProjectsAreSavedAsDocuments() {
        Start().show();
        QVERIFY(QTest::qWaitForWindowActive(window_.get()));
        auto* pages = Find<QTabWidget>("pages");
        WithSettingsWindow([](gui::BuildSettingsDialog& form) {
            Control<QComboBox>(form, "encodingChoice")->setCurrentIndex(2);
            Control<QPushButton>(form, "doneButton")->click();
        });
        QVERIFY(window_->isWindowModified());
        QApplication::setActiveWindow(window_.get());  // the settings window has gone: the keys come here
        QVERIFY(QTest::qWaitForWindowActive(window_.get()));

        pages->setCurrentIndex(1);  // the keys work on every page
        dialogs_->files.push_back(Path("p.lxn"));
        QTest::keyClick(window_.get(), Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(dialogs_->Take(), QStringList{"SaveFile: Save Project As"});
        QCOMPARE(window_->windowTitle(), QStringLiteral("Lexicorn Wizard - p.lxn[*]"));
        QVERIFY(!window_->isWindowModified());

        auto* mode = Find<QComboBox>("modeChoice");
        mode->setCurrentIndex(1);
        emit mode->activated(1);
        QVERIFY(window_->isWindowModified());
        QTest::keyClick(window_.get(), Qt::Key_S, Qt::ControlModifier);  // the open project, no question
        QVERIFY(dialogs_->Take().isEmpty());
        QVERIFY(!window_->isWindowModified());
        QVERIFY(Read("p.lxn").startsWith("LEXICORNPROJECTFILE\r\n2\r\n0\r\n1\r\n0\r\n1\r\n2\r\n"));

        dialogs_->files.push_back(Path("q.lxn"));
        QTest::keyClick(window_.get(), Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(dialogs_->Take(), QStringList{"SaveFile: Save Project As"});
        QCOMPARE(window_->windowTitle(), QStringLiteral("Lexicorn Wizard - q.lxn[*]"));
        QCOMPARE(Read("q.lxn"), Read("p.lxn"));

        // Closing with changes: Save saves them first; Discard closes all the same; Cancel (also what
        // Escape and the close box answer) keeps the window and the project's bytes.
        mode->setCurrentIndex(0);
        emit mode->activated(0);
        dialogs_->unsavedAnswers.push_back(gui::Dialogs::Unsaved::kSave);
        QVERIFY(window_->close());
        QCOMPARE(dialogs_->Take(), QStringList{"Question: Save the changes to q.lxn?"});
        QVERIFY(Read("q.lxn").startsWith("LEXICORNPROJECTFILE\r\n2\r\n0\r\n1\r\n0\r\n2\r\n2\r\n"));

        Start(Path("q.lxn")).show();
        QVERIFY(window_->close());  // nothing changed: no question
        Start(Path("q.lxn")).show();
        Find<QPushButton>("addAllLanguagesButton")->click();
        WithSettingsWindow([](gui::BuildSettingsDialog& form) {
            Control<QComboBox>(form, "encodingChoice")->setCurrentIndex(0);
            Control<QPushButton>(form, "doneButton")->click();
        });
        const QByteArray saved = Read("q.lxn");
        dialogs_->unsavedAnswers.push_back(gui::Dialogs::Unsaved::kCancel);
        QVERIFY(!window_->close());
        QCOMPARE(dialogs_->Take(), QStringList{"Question: Save the changes to q.lxn?"});
        QVERIFY(window_->isVisible());
        QVERIFY(window_->isWindowModified());
        QCOMPARE(Read("q.lxn"), saved);
        // Opening another project asks the same, and Cancel keeps this one: no chooser is shown.
        dialogs_->unsavedAnswers.push_back(gui::Dialogs::Unsaved::kCancel);
        Find<QToolButton>("openProjectButton")->click();
        QCOMPARE(dialogs_->Take(), QStringList{"Question: Save the changes to q.lxn?"});
        QVERIFY(window_->isWindowModified());

        dialogs_->unsavedAnswers.push_back(gui::Dialogs::Unsaved::kDiscard);
        QVERIFY(window_->close());
        QCOMPARE(dialogs_->Take(), QStringList{"Question: Save the changes to q.lxn?"});
        QCOMPARE(Read("q.lxn"), saved);
    }

    void SplashShowsTheVersionForItsTime() {
        gui::SplashScreen splash;
        QElapsedTimer clock;
        clock.start();
        splash.showFor(std::chrono::milliseconds(300));
        QVERIFY(clock.elapsed() >= 300);
        QVERIFY(!splash.isVisible());
        QCOMPARE(splash.message(), QStringLiteral("1.4.12"));
        QVERIFY(!splash.pixmap().isNull());
        SaveScreenshot(splash, QStringLiteral("splash-window"));
        QCOMPARE(gui::SplashScreen::kShowTime, std::chrono::milliseconds(2000));
    }

    // An earlier set of files; a later build that fails or is cancelled must leave it as it is.
    QMap<QString, QByteArray> WriteAnEarlierSet() {
        for (const char* name : {"Lexicorn.bin", "Lexicorn.c", "StringList.h", "LXNApiCfg.h"})
            Write(QString::fromLatin1(name), QByteArray("earlier ") + name);
        return Files();
    }
    QMap<QString, QByteArray> Files() const {
        QMap<QString, QByteArray> files;
        for (const QString& name : QDir(dir_->path()).entryList(QDir::Files | QDir::Hidden))
            files[name] = Read(name);
        return files;
    }
    void LoadAll(const QByteArray& table) {
        Write("t.csv", table);
        LoadThroughButton("t.csv");
        Find<QPushButton>("addAllLanguagesButton")->click();
        dialogs_->Take();
    }

    void AFailedBuildLeavesTheEarlierSetAsItWas() {
        Start();
        LoadAll("ID,English\n,en\nA,a\nA,b\n");
        const QMap<QString, QByteArray> earlier = WriteAnEarlierSet();
        Create();
        QCOMPARE(dialogs_->Take(), QStringList{"Error: Duplicate string id !!!\r\rA\rRow: 4"});
        QCOMPARE(Files(), earlier);
    }

    void ACancelDuringTheReadingPausesLeavesTheEarlierSetAsItWas() {
        Start({}, true);
        LoadAll("ID,English\n,en\nA,a\nB,b\n");
        const QMap<QString, QByteArray> earlier = WriteAnEarlierSet();
        // Cancel is pressed during the pause after Lexicorn.c, when the image and the C source
        // are complete but not yet in place; the click ends the pause.
        QTimer::singleShot(2500, window_.get(), [this] { CancelButton()->click(); });
        Create();
        QCOMPARE(dialogs_->Take(), QStringList{"Information: Cancelled by user!"});
        QCOMPARE(Files(), earlier);
    }

    // Cancel pressed at any stage of a build, up to the last check before the new files are put in
    // place, leaves the earlier set byte for byte; pressed later, it is answered as too late, however
    // close to the end it comes.
    void CancelAtEveryStage_data() {
        QTest::addColumn<QString>("status");
        QTest::addColumn<int>("occurrence");
        QTest::addColumn<bool>("tooLate");
        const QString list = QStringLiteral("Creating string list: StringList.h");
        QTest::newRow("languages") << QStringLiteral("Now creating language table...") << 1 << false;
        QTest::newRow("strings") << QStringLiteral("Now adding strings...") << 1 << false;
        QTest::newRow("image") << QStringLiteral("Creating Lexicorn.bin...") << 1 << false;
        QTest::newRow("C source") << QStringLiteral("Creating Lexicorn.c...") << 1 << false;
        QTest::newRow("string ids") << list << 1 << false;
        // Two ids, then the last check before the set is put in place, then the build's look after.
        QTest::newRow("last string id") << list << 2 << false;
        QTest::newRow("last check before the set is in place") << list << 3 << true;
        QTest::newRow("after the build's last check") << list << 4 << true;
    }
    void CancelAtEveryStage() {
        QFETCH(QString, status);
        QFETCH(int, occurrence);
        QFETCH(bool, tooLate);
        Start();
        LoadAll("ID,English,Deutsch\n,en,de\nA,a,b\nB,c,d\n");
        const QMap<QString, QByteArray> earlier = WriteAnEarlierSet();
        PressCancelAfterCheck(status, occurrence);
        Create();
        const QStringList shown = dialogs_->Take();
        QCOMPARE(shown.size(), 1);
        if (!tooLate) {
            QCOMPARE(shown[0], QStringLiteral("Information: Cancelled by user!"));
            QCOMPARE(Files(), earlier);
        } else {
            QVERIFY2(shown[0].startsWith("Information: Lexicorn was created succesfully!\r") &&
                         shown[0].endsWith("\r\rCancel came too late: the new files were already in place."),
                     qPrintable(shown[0]));
            QCOMPARE(Read("Lexicorn.bin").left(4), QByteArray("\x4F\x30\x2F\x10", 4));
            QVERIFY(Read("LXNApiCfg.h").contains("LXNCFG_"));
        }
        QVERIFY(!window_->progressDialog().isVisible());
        QVERIFY(Find<QPushButton>("createButton")->isEnabled());
    }

    // However late in the string list Cancel is pressed, the build stops before its files are put
    // in place: no click is lost while the build runs on.
    void EveryCancelDuringTheStringListIsHonoured() {
        Start();
        Find<QCheckBox>("keepTable")->click();
        LoadAll("ID,English\n,en\nA,a\nB,b\nC,c\nD,d\nE,e\n");
        const QMap<QString, QByteArray> earlier = WriteAnEarlierSet();
        for (int id = 1; id <= 5; ++id) {
            PressCancelAfterCheck(QStringLiteral("Creating string list: "), id);
            Create();
            QCOMPARE(dialogs_->Take(), QStringList{"Information: Cancelled by user!"});
            QCOMPARE(Files(), earlier);
        }
    }

    // A table that a helper program reads is read again by the build; Cancel stops the helper, the
    // build ends with the reader's message and the earlier set stays.
    void CancelStopsTheTableReadingOfABuild() {
        Start();
        CopyFixture("table.xls");
        LoadThroughButton("table.xls");
        Choose("availableLanguages", 1, "addLanguageButton");
        dialogs_->Take();
        const QMap<QString, QByteArray> earlier = WriteAnEarlierSet();
        // Slow while the flag file is there: the check of the table after the build reads at once.
        QDir(dir_->path()).mkdir(QStringLiteral("helper"));
        Write("helper/slow", "");
        Write("helper/reader", "#!/bin/sh\n[ -e '" + Path("helper/slow").toLocal8Bit() +
                                   "' ] && exec sleep 30\nexec '" + QByteArray(LEXICORN_XLS_READER) +
                                   "' \"$@\"\n");
        QFile::setPermissions(Path("helper/reader"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("LEXICORN_XLS_READER", Path("helper/reader").toLocal8Bit());
        const auto restore = qScopeGuard([] { qunsetenv("LEXICORN_XLS_READER"); });
        QFile table(Path("table.xls"));  // changed since it was loaded: the build reads it again
        QVERIFY(table.open(QIODevice::ReadWrite));
        QVERIFY(
            table.setFileTime(QDateTime::currentDateTime().addSecs(10), QFileDevice::FileModificationTime));
        table.close();
        QTimer watch;
        connect(&watch, &QTimer::timeout, window_.get(), [&] {
            gui::BuildProgressDialog& progress = window_->progressDialog();
            if (!progress.isVisible()) return;
            watch.stop();
            QCOMPARE(progress.windowTitle(), QStringLiteral("Reading the string table"));
            QVERIFY(!window_->close());
            SaveScreenshot(progress, "build-reading-table");
            QFile::remove(Path("helper/slow"));
            CancelButton()->click();
        });
        watch.start(50);
        Create();
        QCOMPARE(dialogs_->Take(),
                 QStringList{"Error: " + Path("table.xls") + ": the .xls reader was stopped"});
        QCOMPARE(Files(), earlier);
        QVERIFY(!window_->progressDialog().isVisible());
        QVERIFY(Find<QTabWidget>("pages")->isEnabled());
        QCOMPARE(Items("selectedLanguages"), QStringList{"Deutsch"});
    }

    // The build runs beside the window: through a build of five seconds (its reading pauses and a
    // slow string), the window's events run, and the progress window draws each stage.
    void TheWindowKeepsPaintingDuringALongBuild() {
        Start({}, true);
        LoadAll("ID,English\n,en\nA,a\nB,b\n");
        window_->show();
        bool besideTheWindow = true;
        window_->buildController().setCheckHook([&](const std::string& status) {
            besideTheWindow = besideTheWindow && QThread::currentThread() != window_->thread();
            if (status.starts_with("Now adding strings"))
                std::this_thread::sleep_for(std::chrono::seconds(2));
        });
        struct PaintCounter : QObject {
            int paints = 0;
            bool eventFilter(QObject*, QEvent* event) override {
                if (event->type() == QEvent::Paint) ++paints;
                return false;
            }
        } counter;
        window_->progressDialog().installEventFilter(&counter);
        QSet<QString> statusesSeen;
        int ticks = 0;
        QTimer tick;
        connect(&tick, &QTimer::timeout, window_.get(), [&] {
            if (!window_->buildController().running()) return;
            ++ticks;
            const QString status = Find<QLabel>("statusText")->text();
            if (!statusesSeen.contains(status) && status.startsWith(QStringLiteral("Creating Lexicorn.bin")))
                SaveScreenshot(window_->progressDialog(), QStringLiteral("progress-window-pause"));
            statusesSeen << status;
        });
        tick.start(50);
        Create();
        QVERIFY(dialogs_->Take().value(0).startsWith("Information: Lexicorn was created succesfully!"));
        QVERIFY(besideTheWindow);
        QVERIFY2(ticks >= 10, qPrintable(QString::number(ticks)));
        QVERIFY2(statusesSeen.size() >= 3, qPrintable(QStringList(statusesSeen.values()).join('|')));
        QVERIFY2(counter.paints >= 3, qPrintable(QString::number(counter.paints)));
    }

    void AFileThatCannotBeWrittenIsNamedWithItsReason() {
        Start();
        Write("Lexicorn.bin", "earlier");
        QFile::setPermissions(Path("Lexicorn.bin"), QFileDevice::ReadOwner);
        Write("t.csv", "ID,English\n,en\nA,a\n");
        LoadThroughButton("t.csv");
        Find<QPushButton>("addAllLanguagesButton")->click();
        dialogs_->Take();
        Create();
        const QStringList shown = dialogs_->Take();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0],
                 "Error: " + Path("Lexicorn.bin") +
                     ": the file is read-only\r\rCannot create file Lexicorn.bin\rError: 0x2000100B");
        QCOMPARE(Read("Lexicorn.bin"), QByteArray("earlier"));
    }

    // The window's build keeps the core's rule: an output that is the table (here through a link)
    // or the project saved last is refused, both files named, and the table stays loaded.
    void ABuildThatWouldWriteOverItsTableOrProjectIsRefused() {
        Start();
        const QString refusal = QStringLiteral(
            ".\rA build does not write over its own input: please choose another output folder.");
        Write("t.csv", "ID,English\n,en\nA,a\n");
        QFile::link(Path("t.csv"), Path("Lexicorn.bin"));
        LoadThroughButton("t.csv");
        Find<QPushButton>("addAllLanguagesButton")->click();
        dialogs_->Take();
        Create();
        QCOMPARE(dialogs_->Take(), QStringList{"Error: " + Path("Lexicorn.bin") + " is the string table " +
                                               Path("t.csv") + refusal});
        QCOMPARE(Read("t.csv"), QByteArray("ID,English\n,en\nA,a\n"));

        QFile::remove(Path("Lexicorn.bin"));
        dialogs_->files.push_back(Path("StringList.h"));
        Find<QToolButton>("saveProjectButton")->click();
        const QByteArray project = Read("StringList.h");
        dialogs_->Take();
        Create();
        QCOMPARE(dialogs_->Take(), QStringList{"Error: " + Path("StringList.h") + " is the project file " +
                                               Path("StringList.h") + refusal});
        QCOMPARE(Read("StringList.h"), project);
        QVERIFY(!QFile::exists(Path("Lexicorn.bin")));
    }

    void TheOutputFolderIsShownChosenAndKeptByProjects() {
        Start();
        QCOMPARE(Find<QLineEdit>("outputFolder")->text(), QDir::toNativeSeparators(dir_->path()));
        QDir(dir_->path()).mkdir(QStringLiteral("tables"));
        QDir(dir_->path()).mkdir(QStringLiteral("out"));
        Write("tables/t.csv", "ID,English,Deutsch\n,en,de\nA,a,b\n");
        LoadThroughButton("tables/t.csv");  // until a folder is chosen, the folder of the last file
        QCOMPARE(Find<QLineEdit>("outputFolder")->text(), QDir::toNativeSeparators(Path("tables")));
        ChooseFile("chooseOutputFolderButton", "out");
        QCOMPARE(Find<QLineEdit>("outputFolder")->text(), QDir::toNativeSeparators(Path("out")));
        QCOMPARE(dialogs_->Take(),
                 (QStringList{"OpenFile: Select Excel File", "ChooseFolder: Select Output Folder"}));
        Choose("availableLanguages", 1, "addLanguageButton");
        window_->show();
        SaveScreenshot(*window_, QStringLiteral("build-page-output-folder"));
        Create();
        const QStringList shown = dialogs_->Take();
        QVERIFY2(shown.value(0).endsWith("\rOutput folder: " + Path("out") + "\r"),
                 qPrintable(shown.value(0)));
        QVERIFY(QFile::exists(Path("out/Lexicorn.bin")));

        dialogs_->files.push_back(Path("job.lxn"));
        Find<QToolButton>("saveProjectButton")->click();
        dialogs_->Take();
        QVERIFY2(Read("job.lxn").endsWith("TABLE=tables/t.csv\r\nLANGUAGES=de\r\nOUTPUT=out\r\n"),
                 Read("job.lxn").constData());
        QCOMPARE(window_->windowTitle(), QStringLiteral("Lexicorn Wizard - job.lxn[*]"));
    }

    // A typed folder is taken when it is one or does not exist yet (the build makes it); a file of
    // that name is refused by name and the folder that stood there stays.
    void ATypedOutputFolderIsTakenUnlessItIsAFile() {
        Start();
        QDir(dir_->path()).mkdir(QStringLiteral("out"));
        Write("t.csv", "ID,English,Deutsch\n,en,de\nA,a,b\n");
        auto* field = Find<QLineEdit>("outputFolder");
        const auto type = [field](const QString& text) {
            field->setFocus();
            field->selectAll();
            QTest::keyClicks(field, text);
            QTest::keyClick(field, Qt::Key_Return);
        };
        type(Path("out"));
        QCOMPARE(field->text(), QDir::toNativeSeparators(Path("out")));
        QCOMPARE(window_->settings().outputFolder, Path("out").toStdString());
        type(Path("t.csv"));
        QCOMPARE(dialogs_->Take(), QStringList{"Error: " + Path("t.csv") + " is not a folder."});
        QCOMPARE(field->text(), QDir::toNativeSeparators(Path("out")));

        type(Path("new/texts"));
        QVERIFY(dialogs_->Take().isEmpty());
        QCOMPARE(field->text(), QDir::toNativeSeparators(Path("new/texts")));
        QVERIFY(!QFileInfo::exists(Path("new")));  // made only by a build that writes
        LoadThroughButton("t.csv");
        Find<QPushButton>("addAllLanguagesButton")->click();
        dialogs_->Take();
        Create();
        QVERIFY(dialogs_->Take().value(0).startsWith("Information: Lexicorn was created succesfully!"));
        QVERIFY(QFile::exists(Path("new/texts/Lexicorn.bin")));
    }

    // Tab walks the build page as it reads: the lists and their buttons, the folder, then Create.
    void TabFollowsTheScreen() {
        Start().show();
        QVERIFY(QTest::qWaitForWindowActive(window_.get()));
        QStringList walked;
        QWidget* at = Find<QListWidget>("availableLanguages");
        for (int i = 0; i < 11; ++i, at = at->nextInFocusChain()) {
            while (!(at->focusPolicy() & Qt::TabFocus) || !at->isVisibleTo(window_.get()))
                at = at->nextInFocusChain();
            walked << at->objectName();
        }
        QCOMPARE(walked, (QStringList{"availableLanguages", "addAllLanguagesButton", "addLanguageButton",
                                      "removeLanguageButton", "removeAllLanguagesButton", "selectedLanguages",
                                      "outputFolder", "chooseOutputFolderButton", "keepTable",
                                      "problemsButton", "createButton"}));
    }

    // The control with the keyboard focus has a frame in the highlight colour around it, on every page.
    void TheKeyboardFocusIsVisible() {
        Start().show();
        QVERIFY(QTest::qWaitForWindowActive(window_.get()));
        for (const char* name : {"createButton", "availableLanguages", "outputFolder"}) {
            auto* control = Find(name);
            control->setFocus();
            auto* frame = window_->findChild<QFocusFrame*>();
            QVERIFY(frame && frame->isVisible());
            QCOMPARE(frame->widget(), control);
            const QPoint left = frame->mapTo(window_.get(), QPoint(1, frame->height() / 2));
            QCOMPARE(window_->grab().toImage().pixelColor(left * window_->devicePixelRatio()),
                     window_->palette().color(QPalette::Highlight));
        }
        SaveScreenshot(*window_, QStringLiteral("main-window-focus"));
        Find<QTabWidget>("pages")->setCurrentIndex(1);
        Find("modeChoice")->setFocus();
        QCOMPARE(window_->findChild<QFocusFrame*>()->widget(), Find("modeChoice"));
    }

    void AProjectWithItsJobBuildsWithOneClick() {
        QDir(dir_->path()).mkdir(QStringLiteral("out"));
        Write("t.csv", "ID,English,Deutsch,Polski\n,en,de,pl\nA,a,b,c\n");
        Write("job.lxn",
              "LEXICORNPROJECTFILE\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n16\r\n0\r\n0\r\n0\r\n1\r\n"
              "NOFILESYSTEM=1\r\nTABLE=t.csv\r\nLANGUAGES=de,pl\r\nOUTPUT=out\r\n");
        Start(Path("job.lxn"));
        QCOMPARE(Items("selectedLanguages"), (QStringList{"Deutsch", "Polski"}));
        QCOMPARE(Find<QLabel>("tableInfo")->text(), QStringLiteral("t.csv: 3 languages, 1 string"));
        QCOMPARE(window_->windowTitle(), QStringLiteral("Lexicorn Wizard - job.lxn[*]"));
        QVERIFY(!window_->isWindowModified());
        Create();
        QVERIFY(dialogs_->Take().value(0).startsWith("Information: Lexicorn was created succesfully!"));
        QVERIFY(Read("out/LXNApiCfg.h").contains("LXNCFG_API_FOR_ROM 1"));

        // A project whose table is gone: the settings still apply, and the user learns why.
        QFile::remove(Path("t.csv"));
        dialogs_->files.push_back(Path("job.lxn"));
        Find<QToolButton>("openProjectButton")->click();
        QCOMPARE(dialogs_->Take(),
                 (QStringList{"OpenFile: Open Project File", "Error: " + Path("t.csv") + ": no such file"}));
        QVERIFY(window_->settings().noFileSystem);
        // It is the first of the recent projects.
        auto* recent = Find<QMenu>("recentProjects");
        QCOMPARE(recent->actions().size(), 1);
        QCOMPARE(recent->actions()[0]->text(), Path("job.lxn"));
    }

    void ADroppedProjectOpensAsAProject() {
        Start();
        Write("t.csv", "ID,English\n,en\nA,a\n");
        Write(
            "dropped.lxn",
            "LEXICORNPROJECTFILE\r\n2\r\n0\r\n0\r\n0\r\n0\r\n0\r\n16\r\n0\r\n0\r\n0\r\n1\r\nTABLE=t.csv\r\n");
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(Path("dropped.lxn"))});
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window_.get(), &enter);
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window_.get(), &drop);
        QVERIFY(dialogs_->Take().isEmpty());  // as from the command line: the title names the project
        QCOMPARE(window_->settings().encoding, Encoding::kUtf8);
        QCOMPARE(Find<QLabel>("tableInfo")->text(), QStringLiteral("t.csv: 1 language, 1 string"));
    }

    void TheProblemsOfATableAreCountedListedAndShownWhenCreateIsRefused() {
        Start();
        Write("t.csv", "ID,English,Deutsch\n,en,de\nOK,OK,OK\nOK,a,b\nVALUE,Value %d,Wert %s\n1ABC,x,y\n");
        LoadThroughButton("t.csv");
        dialogs_->Take();
        QCOMPARE(Find<QLabel>("tableInfo")->text(),
                 QStringLiteral("t.csv: 2 languages, 4 strings; 3 errors, 0 warnings"));
        Find<QPushButton>("problemsButton")->click();
        gui::ProblemsDialog& problems = window_->problemsDialog();
        QVERIFY(problems.isVisible());
        QCOMPARE(problems.findChild<QLabel*>(QStringLiteral("problemsSummary"))->text(),
                 QStringLiteral("t.csv: 3 errors, 0 warnings"));
        auto* findings = problems.findChild<QTableWidget*>(QStringLiteral("findings"));
        QCOMPARE(findings->rowCount(), 3);
        QCOMPARE(problems.findChild<QLabel*>(QStringLiteral("problemsSummary"))->text(),
                 QStringLiteral("t.csv: 3 errors, 0 warnings"));
        QCOMPARE(findings->item(0, 0)->text(), QStringLiteral("A4"));
        QCOMPARE(findings->item(1, 2)->text(), QStringLiteral("de"));
        QCOMPARE(findings->item(1, 1)->text(), QStringLiteral("error"));  // the placeholder of C5
        QVERIFY(problems.text().startsWith(Path("t.csv") + ":A4: error: duplicate-id: "));
        QCOMPARE(problems.text().count(QLatin1Char('\n')), 3);
        SaveScreenshot(problems, QStringLiteral("problems-window"));
        problems.close();

        Find<QPushButton>("addAllLanguagesButton")->click();
        Create();
        QCOMPARE(dialogs_->Take(), QStringList{"Error: Duplicate string id !!!\r\rOK\rRow: 4"});
        QVERIFY(problems.isVisible());
        QVERIFY(!QFile::exists(Path("Lexicorn.bin")));
        // The build never began: its progress window was not shown at all.
        QCOMPARE(window_->progressDialog().windowTitle(), QStringLiteral("In Progress..."));
    }

    // The count of problems is that of a build with the languages and settings as they stand now.
    void TheProblemsCountFollowsTheLanguagesAndTheSettings() {
        Start();
        // 40 000 bytes of strings that differ a language: two of them pass the 64 KB of a 16-bit table.
        // Only Deutsch has white space that differs.
        QByteArray table = "ID,English,Deutsch\n,en,de\nVALUE,Value,Wert \n";
        for (int row = 0; row < 400; ++row)
            table += "S" + QByteArray::number(row) + "," + QByteArray::number(row).rightJustified(100, 'e') +
                     "," + QByteArray::number(row).rightJustified(100, 'd') + "\n";
        Write("big.csv", table);
        LoadThroughButton("big.csv");
        const auto info = [this] { return Find<QLabel>("tableInfo")->text(); };
        QCOMPARE(info(), QStringLiteral("big.csv: 2 languages, 401 strings; 1 error, 1 warning"));
        Choose("availableLanguages", 0, "addLanguageButton");  // English alone: nothing to find
        QCOMPARE(info(), QStringLiteral("big.csv: 2 languages, 401 strings"));
        QVERIFY(!Find<QPushButton>("problemsButton")->isEnabled());
        Choose("availableLanguages", 0, "addLanguageButton");
        QCOMPARE(info(), QStringLiteral("big.csv: 2 languages, 401 strings; 1 error, 1 warning"));

        // The problems window, while open, follows the count.
        Find<QPushButton>("problemsButton")->click();
        gui::ProblemsDialog& problems = window_->problemsDialog();
        const auto listed = [&problems] {
            return problems.findChild<QLabel*>(QStringLiteral("problemsSummary"))->text() + QLatin1Char('/') +
                   QString::number(problems.findChild<QTableWidget*>(QStringLiteral("findings"))->rowCount());
        };
        QCOMPARE(listed(), QStringLiteral("big.csv: 1 error, 1 warning/2"));
        dialogs_->Take();
        WithSettingsWindow([](gui::BuildSettingsDialog& form) {
            Group(form, "tableType")->button(1)->click();
            Control<QPushButton>(form, "doneButton")->click();
        });
        QCOMPARE(info(), QStringLiteral("big.csv: 2 languages, 401 strings; 0 errors, 1 warning"));
        QCOMPARE(listed(), QStringLiteral("big.csv: 0 errors, 1 warning/1"));
        problems.close();
        // Built, and the summary, word for word, offers what the check warned of.
        dialogs_->Take();
        dialogs_->answers.push_back(true);
        Create();
        const QStringList shown = dialogs_->Take();
        QCOMPARE(shown.size(), 1);
        QVERIFY2(
            shown[0].startsWith("Question: Lexicorn was created succesfully!\r\rNumber of languages: 2\r") &&
                shown[0].endsWith("\r\rCreated with 1 warning. Open the Problems window?"),
            qPrintable(shown[0]));
        QVERIFY(window_->problemsDialog().isVisible());
    }

    // The desktop's message boxes: Enter gives the preset answer, a risky question's is No; Escape
    // answers No, and cancels the question about unsaved changes.
    void TheDesktopsQuestionsAnswerEnterAndEscapeSafely_data() {
        QTest::addColumn<bool>("unsaved");
        QTest::addColumn<int>("preset");
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("answer");
        using Preset = gui::Dialogs::Preset;
        QTest::newRow("Enter, Yes preset") << false << int(Preset::kYes) << int(Qt::Key_Return) << "yes";
        QTest::newRow("Enter, No preset") << false << int(Preset::kNo) << int(Qt::Key_Return) << "no";
        QTest::newRow("Escape, Yes preset") << false << int(Preset::kYes) << int(Qt::Key_Escape) << "no";
        QTest::newRow("unsaved, Enter") << true << 0 << int(Qt::Key_Return) << "save";
        QTest::newRow("unsaved, Escape") << true << 0 << int(Qt::Key_Escape) << "cancel";
    }
    void TheDesktopsQuestionsAnswerEnterAndEscapeSafely() {
        QFETCH(bool, unsaved);
        QFETCH(int, preset);
        QFETCH(int, key);
        QFETCH(QString, answer);
        const std::unique_ptr<gui::Dialogs> desktop = gui::CreateQtDialogs();
        QTimer::singleShot(0, [key] {
            QWidget* box = QApplication::activeModalWidget();
            QVERIFY(box);
            SaveScreenshot(*box, QStringLiteral("question"));
            QTest::keyClick(box, Qt::Key(key));
        });
        QString given;
        if (unsaved) {
            const gui::Dialogs::Unsaved choice = desktop->AskAboutUnsaved(nullptr, QStringLiteral("Save?"));
            given = choice == gui::Dialogs::Unsaved::kSave      ? "save"
                    : choice == gui::Dialogs::Unsaved::kDiscard ? "discard"
                                                                : "cancel";
        } else {
            given = desktop->Question(nullptr, QStringLiteral("Sure?"), gui::Dialogs::Preset(preset)) ? "yes"
                                                                                                      : "no";
        }
        QCOMPARE(given, answer);
    }

    // The font and the limits are chosen with their buttons; their fields only show the choice, so
    // Tab passes them by and typing changes nothing.
    void ThePreviewsChosenFilesAreShownNotTyped() {
        Start().show();
        QVERIFY(QTest::qWaitForWindowActive(window_.get()));
        Find<QTabWidget>("pages")->setCurrentWidget(&window_->previewPage());
        QStringList walked;
        Find("fontSize")->setFocus();
        for (int i = 0; i < 8; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            walked << QApplication::focusWidget()->objectName();
        }
        QVERIFY2(!walked.contains("fontField") && !walked.contains("limitsField"),
                 qPrintable(walked.join(' ')));
        auto* limits = Find<QLineEdit>("limitsField");
        limits->setFocus();
        QTest::keyClicks(limits, QStringLiteral("limits.csv"));
        QCOMPARE(limits->text(), QString());
        QVERIFY(window_->settings().limits.empty());
    }

    // The problems window goes to the side of the main window with more room, as wide as it allows,
    // and over the window's edge only where neither side has room for it.
    void TheProblemsWindowGoesBesideTheMainWindow_data() {
        QTest::addColumn<QRect>("window");
        QTest::addColumn<QRect>("placed");
        QTest::newRow("room on the right") << QRect(100, 50, 800, 600) << QRect(900, 50, 680, 340);
        QTest::newRow("room on the left") << QRect(1000, 50, 800, 600) << QRect(320, 50, 680, 340);
        QTest::newRow("narrower where less room") << QRect(400, 50, 1100, 600) << QRect(1500, 50, 420, 340);
        QTest::newRow("over the edge where none") << QRect(0, 0, 1800, 900) << QRect(1520, 0, 400, 340);
        QTest::newRow("kept on the screen") << QRect(100, 900, 800, 600) << QRect(900, 740, 680, 340);
    }
    void TheProblemsWindowGoesBesideTheMainWindow() {
        QFETCH(QRect, window);
        QFETCH(QRect, placed);
        QCOMPARE(gui::PlaceBeside(window, QSize(680, 340), QSize(400, 200), QRect(0, 0, 1920, 1080)), placed);
    }

    // DejaVu Sans as the device's font: what it lacks and what is too wide are problems, drawn on
    // the preview page, which a double click on a problem scrolls to.
    void ThePreviewPageDrawsTheStringsAndProblemsLeadToThem() {
        Start();
        QByteArray table = "ID,English,Deutsch\n,en,de\nOK,OK,OK\nTITLE,Settings,Einstellungen\n";
        for (int i = 0; i < 40; ++i) table += "FILL_" + QByteArray::number(i) + ",Fill,F\xC3\xBCllen\n";
        table += "JAPANESE,Japanese,\xE6\x97\xA5\xE6\x9C\xAC\n";
        Write("t.csv", table);
        LoadThroughButton("t.csv");
        dialogs_->Take();
        window_->show();
        auto* pages = Find<QTabWidget>("pages");
        pages->setCurrentWidget(&window_->previewPage());
        QCOMPARE(Find<QLabel>("previewInfo")->text(), QStringLiteral("Choose the device's font."));
        dialogs_->files.push_back(QStringLiteral("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"));
        Find<QPushButton>("chooseFontButton")->click();
        QCOMPARE(
            Find<QLabel>("previewInfo")->text(),
            QStringLiteral(
                "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf: a scalable font needs a size in pixels"));
        Find<QSpinBox>("fontSize")->setValue(16);
        Find<QSpinBox>("maxWidth")->setValue(80);
        QCOMPARE(window_->settings().fontSize, 16);
        QCOMPARE(window_->settings().maxWidth, 80u);
        QCOMPARE(Find<QLabel>("previewInfo")->text(),
                 QStringLiteral("4 errors, 0 warnings; double-click a problem to see it here"));
        QVERIFY(!Find<QLabel>("previewPicture")->pixmap().isNull());
        QCOMPARE(Find<QLabel>("tableInfo")->text(),
                 QStringLiteral("t.csv: 2 languages, 43 strings; 4 errors, 0 warnings"));

        // The problems window lists the new findings beside the others (日 is in no single-byte code
        // page either); a double click shows the string.
        Find<QPushButton>("problemsButton")->click();
        gui::ProblemsDialog& problems = window_->problemsDialog();
        auto* findings = problems.findChild<QTableWidget*>(QStringLiteral("findings"));
        QCOMPARE(findings->rowCount(), 4);
        QCOMPARE(findings->item(0, 0)->text(), QStringLiteral("C4"));
        QVERIFY(findings->item(0, 3)->text().startsWith(QStringLiteral("the text is ")));
        QCOMPARE(findings->item(2, 0)->text(), QStringLiteral("C45"));
        QCOMPARE(
            findings->item(2, 3)->text(),
            QStringLiteral("'\u65E5' (U+65E5) is not in /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"));
        auto* area = Find<QScrollArea>("previewArea");
        QCOMPARE(area->verticalScrollBar()->value(), 0);
        pages->setCurrentIndex(0);
        emit findings->cellDoubleClicked(2, 0);
        QCOMPARE(pages->currentWidget(), &window_->previewPage());
        QVERIFY(area->verticalScrollBar()->value() > 0);  // the last row, far below
        // The findings went beside the window, out of the string's way as far as the screen allows:
        // on this narrow screen, to its right edge, over the window's right side only.
        QVERIFY(problems.isVisible());
        QCOMPARE(problems.frameGeometry().right(), problems.screen()->availableGeometry().right());
        QVERIFY(problems.frameGeometry().left() > window_->frameGeometry().center().x());
        problems.close();
        SaveScreenshot(*window_, QStringLiteral("preview-page"));
        // A project keeps the device.
        dialogs_->files.push_back(Path("device.lxn"));
        Find<QToolButton>("saveProjectButton")->click();
        QVERIFY(Read("device.lxn")
                    .contains("FONT=/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf\r\nFONTSIZE=16\r\n"));
    }

    void KeysMoveLanguagesAndBuild() {
        Start();
        Write("t.csv", "ID,English,Deutsch\n,en,de\nA,a,b\n");
        LoadThroughButton("t.csv");
        dialogs_->Take();
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
        auto* available = Find<QListWidget>("availableLanguages");
        available->setFocus();
        available->setCurrentRow(1);
        QTest::keyClick(available, Qt::Key_Return);
        QCOMPARE(Items("selectedLanguages"), QStringList{"Deutsch"});
        auto* create = Find<QPushButton>("createButton");
        create->setFocus();
        QTest::keyClick(create, Qt::Key_Return);
        WaitForBuild();
        QVERIFY(dialogs_->Take().value(0).startsWith("Information: Lexicorn was created succesfully!"));
    }

    void AboutPageShowsTheVersionAndOpensTheManual() {
        Start();
        UrlRecorder recorder;
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &recorder, "Open");
        Find<QTabWidget>("pages")->setCurrentIndex(2);
        window_->show();
        SaveScreenshot(*window_, QStringLiteral("about-page"));
        auto* version = Find<QLabel>("version");
        QCOMPARE(version->text(), QStringLiteral("1.4.12"));
        QVERIFY(Find<QWidget>("releaseNotes")->findChildren<QWidget*>().size() > 0);

        auto* update = Find<QLabel>("updatesLink");
        QCOMPARE(update->text(), QStringLiteral("Check for Updates"));
        QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
        QApplication::sendEvent(update, &enter);
        QCOMPARE(update->palette().color(QPalette::WindowText), QColor(Qt::red));
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(update, &leave);
        QCOMPARE(update->palette().color(QPalette::WindowText), QColor(0, 0, 0x80));

        QTest::mouseClick(update, Qt::LeftButton);
        QTest::mouseClick(Find<QLabel>("manualLink"), Qt::LeftButton);
        Find<QToolButton>("helpButton")->click();
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        QCOMPARE(recorder.opened.size(), 3);
        for (const QUrl& url : recorder.opened)
            QVERIFY2(QFile::exists(url.toLocalFile()), qPrintable(url.toString()));
        QCOMPARE(recorder.opened[0].fragment(), QStringLiteral("updates"));
        QCOMPARE(recorder.opened[2].fragment(), QStringLiteral("using"));
    }
};

}  // namespace lexicorn::test

QTEST_MAIN(lexicorn::test::MainWindowTest)
#include "MainWindowTest.moc"
