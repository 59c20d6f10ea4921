#include <xlsxwriter.h>

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include "GuiSupport.h"
#include "WizardFixture.h"
#include "gui/BuildProgressDialog.h"
#include "gui/BuildSettingsDialog.h"
#include "gui/MainWindow.h"
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

class WizardTest : public WizardFixture {
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
    void LoadThroughButton(const QString& name) { ChooseFile<QToolButton>("OpenExcelButton", name); }
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
    void WithSettingsWindow(const std::function<void(app::TWizardSettingsForm&)>& act) {
        app::TWizardSettingsForm& form = window_->SettingsWindow();
        QTimer::singleShot(0, &form, [&form, act] {
            act(form);
            if (form.isVisible()) form.reject();
        });
        Find<QToolButton>("WizardSettingsButton")->click();
    }
    static QButtonGroup* Group(app::TWizardSettingsForm& form, const char* name) {
        return form.findChild<QButtonGroup*>(QString::fromLatin1(name));
    }
    template <typename Widget>
    static Widget* Control(app::TWizardSettingsForm& form, const char* name) {
        return form.findChild<Widget*>(QString::fromLatin1(name));
    }

  private slots:
    void StartsWithTheDefaults() {
        app::TMainDialog& window = Start();
        QCOMPARE(window.Settings(), ProjectSettings{});
        QVERIFY(!window.ProjectLoaded());
        QCOMPARE(window.windowTitle(), QStringLiteral("Lexicorn Wizard"));
        QCOMPARE(Find<QLabel>("excelFileInfo")->text(), QStringLiteral("No Excel file loaded!"));
        auto* pages = Find<QTabWidget>("PageControl1");
        QCOMPARE(pages->count(), 3);
        QCOMPARE(pages->tabText(0), QStringLiteral("LXN Engine"));
        QCOMPARE(pages->tabText(1), QStringLiteral("Merger"));
        QCOMPARE(pages->tabText(2), QStringLiteral("About"));
        QCOMPARE(Find<QToolButton>("OpenExcelButton")->toolTip(),
                 QStringLiteral("Open Excel file to load the string table"));
        QCOMPARE(Find<QToolButton>("helpBtn")->toolTip(), QStringLiteral("Onlne Help"));
        QCOMPARE(Find<QPushButton>("CreateLexicornButton")->toolTip(),
                 QStringLiteral("Start creating Lexicorn"));
        window.show();
        SaveScreenshot(window, QStringLiteral("main-window"));
    }

    void StartsWithTheProjectOnTheCommandLine() {
        Write("p.lxn", "LEXICORNPROJECTFILE\r\n2\r\n1\r\n4\r\n1\r\n1\r\n2\r\n8\r\n4096\r\n0\r\n0\r\n0\r\n");
        app::TMainDialog& window = Start(Path("p.lxn"));
        QVERIFY(window.ProjectLoaded());
        QCOMPARE(window.Settings().encoding, 2);
        QCOMPARE(window.Settings().searchStep, 8);
        QCOMPARE(window.Settings().mergeAddress, 4096u);
        QVERIFY(!window.Settings().useDefaultString);
        QVERIFY(dialogs_->shown.isEmpty());
    }

    void StartsWithDefaultsAndSaysSoWhenTheArgumentIsNoProject() {
        Write("notes.txt", "just some text\r\n");
        app::TMainDialog& window = Start(Path("notes.txt"));
        QCOMPARE(dialogs_->Take(), QStringList{"Error: Corrupted project file."});
        QCOMPARE(window.Settings(), ProjectSettings{});  // default strings stay on
        QVERIFY(!window.ProjectLoaded());
    }

    void DoesNotStartWithAProjectThatFailsHalfWay() {
        Write("bad.lxn", "LEXICORNPROJECTFILE\r\n1\r\n1\r\n4\r\n1\r\n1\r\nabc\r\n8\r\n0\r\n0\r\n0\r\n1\r\n");
        QVERIFY_THROWS_EXCEPTION(app::StartupError, Start(Path("bad.lxn")));
    }

    void LoadsAWorkbookAndChoosesLanguagesInColumnOrder() {
        Start();
        CopyFixture("table.xlsx");
        LoadThroughButton("table.xlsx");
        QCOMPARE(dialogs_->Take(), QStringList{"OpenFile: Select Excel File"});
        QCOMPARE(Find<QLabel>("excelFileInfo")->text(), QStringLiteral("Loaded: table.xlsx"));
        const QStringList all{"English", "Deutsch", "Polski", "Русский", "Ελληνικά", "日本語"};
        QCOMPARE(Items("languagesList"), all);
        QVERIFY(Items("selectedLanguagesList").isEmpty());

        Choose("languagesList", 2, "AddLanguageBtn");  // Polski, then English: kept in column order
        Choose("languagesList", 0, "AddLanguageBtn");
        QCOMPARE(Items("selectedLanguagesList"), (QStringList{"English", "Polski"}));
        QCOMPARE(Items("languagesList"), (QStringList{"Deutsch", "Русский", "Ελληνικά", "日本語"}));
        SaveScreenshot(*window_, QStringLiteral("main-window-languages"));

        Choose("selectedLanguagesList", 1, "RemoveLanguageBtn");
        QCOMPARE(Items("selectedLanguagesList"), QStringList{"English"});
        Find<QListWidget>("languagesList")->setCurrentRow(-1);
        Find<QPushButton>("AddLanguageBtn")->click();  // nothing highlighted: nothing changes
        QCOMPARE(Items("selectedLanguagesList"), QStringList{"English"});

        Find<QPushButton>("AddAllLanguagesBtn")->click();
        QCOMPARE(Items("selectedLanguagesList"), all);
        QVERIFY(Items("languagesList").isEmpty());
        Find<QPushButton>("RemoveAllLanguagesBtn")->click();
        QCOMPARE(Items("languagesList"), all);
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
        QCOMPARE(Items("languagesList"),
                 (QStringList{"English", "Deutsch", "Polski", "Русский", "Ελληνικά", "日本語"}));
    }

    void TheExampleTableLoadsAndBuilds() {
        Start();
        QFile::copy(QStringLiteral(LEXICORN_EXAMPLES_DIR "/strings.csv"), Path("strings.csv"));
        LoadThroughButton("strings.csv");
        Choose("languagesList", 0, "AddLanguageBtn");
        Choose("languagesList", 1, "AddLanguageBtn");
        window_->show();
        SaveScreenshot(*window_, QStringLiteral("main-window-example"));
        dialogs_->Take();
        Find<QPushButton>("CreateLexicornButton")->click();
        QVERIFY(dialogs_->Take().value(0).startsWith("Information: Lexicorn was created succesfully!"));
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
        doubleClick("languagesList", 1);
        doubleClick("languagesList", 1);
        QCOMPARE(Items("selectedLanguagesList"), (QStringList{"Deutsch", "Polski"}));
        doubleClick("selectedLanguagesList", 0);
        QCOMPARE(Items("selectedLanguagesList"), QStringList{"Polski"});
    }

    void EveryColumnOfTheSameNameCanBeChosen() {
        Start();
        WriteWorkbook(
            "twins.xlsx",
            {{"ID", "English", "English", "Deutsch"}, {"", "en", "en-us", "de"}, {"OK", "OK", "Okay", "OK"}});
        LoadThroughButton("twins.xlsx");
        QCOMPARE(Items("languagesList"), (QStringList{"English", "English", "Deutsch"}));
        Choose("languagesList", 1, "AddLanguageBtn");  // the right-hand English
        QVERIFY(!window_->Table().languages[0].selected);
        QVERIFY(window_->Table().languages[1].selected);
        Choose("languagesList", 0, "AddLanguageBtn");
        QCOMPARE(Items("selectedLanguagesList"), (QStringList{"English", "English"}));
        QVERIFY(window_->Table().languages[0].selected);
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
        QCOMPARE(Find<QLabel>("excelFileInfo")->text(), QStringLiteral("No Excel file loaded!"));
        QVERIFY(Items("languagesList").isEmpty());

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
        QCOMPARE(Items("languagesList").size(), 6);
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
        QCOMPARE(Find<QLabel>("excelFileInfo")->text(), QStringLiteral("Loaded: table.xlsx"));
        QCOMPARE(Items("languagesList").size(), 6);
    }

    void CreateChecksTheTableAndTheLanguagesFirst() {
        Start();
        dialogs_->files.push_back(QString());  // the chooser that follows is cancelled
        Find<QPushButton>("CreateLexicornButton")->click();
        QCOMPARE(dialogs_->Take(),
                 (QStringList{"Error: No Excel file selected!", "OpenFile: Select Excel File"}));

        CopyFixture("table.xlsx");
        LoadThroughButton("table.xlsx");
        dialogs_->Take();
        Find<QPushButton>("CreateLexicornButton")->click();
        QCOMPARE(dialogs_->Take(), QStringList{"Error: No languages selected!"});
        QCOMPARE(Items("languagesList").size(), 6);  // still loaded
        QVERIFY(Find<QPushButton>("CreateLexicornButton")->isEnabled());
    }

    void CreateBuildsEveryFileAndShowsTheSummary() {
        Start();
        WithSettingsWindow([](app::TWizardSettingsForm& form) {  // the table holds more than CP1252
            Control<QComboBox>(form, "StringFormatCombo")->setCurrentIndex(2);
            Control<QPushButton>(form, "settingsDoneBtn")->click();
        });
        CopyFixture("table.xlsx");
        LoadThroughButton("table.xlsx");
        Choose("languagesList", 0, "AddLanguageBtn");
        Choose("languagesList", 0, "AddLanguageBtn");
        dialogs_->Take();
        bool disabledDuringTheBuild = false;
        dialogs_->onMessage = [&] {
            disabledDuringTheBuild = !Find<QPushButton>("CreateLexicornButton")->isEnabled() &&
                                     !Find<QTabWidget>("PageControl1")->isEnabled();
            if (window_->ProgressWindow().isVisible())
                SaveScreenshot(window_->ProgressWindow(), "progress-window");
        };
        Find<QPushButton>("CreateLexicornButton")->click();
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
        QCOMPARE(Find<QLabel>("excelFileInfo")->text(), QStringLiteral("No Excel file loaded!"));
        QVERIFY(Items("languagesList").isEmpty() && Items("selectedLanguagesList").isEmpty());
        QVERIFY(Find<QPushButton>("CreateLexicornButton")->isEnabled());
        QVERIFY(!window_->ProgressWindow().isVisible());
        QCOMPARE(window_->ProgressWindow().RangeMax(), 6);  // the string ids' range came last
        QCOMPARE(window_->ProgressWindow().windowTitle(),
                 QStringLiteral("Lexicorn creation in progress, Please wait..."));
    }

    void CancelStopsTheBuildBeforeAnyFile() {
        Start();
        CopyFixture("table.xlsx");
        LoadThroughButton("table.xlsx");
        Find<QPushButton>("AddAllLanguagesBtn")->click();
        dialogs_->Take();
        // The click arrives while the build lets window events run.
        QTimer::singleShot(0, window_.get(), [this] {
            window_->ProgressWindow().findChild<QPushButton*>(QStringLiteral("stopProcessBtn"))->click();
        });
        Find<QPushButton>("CreateLexicornButton")->click();
        QCOMPARE(dialogs_->Take(), QStringList{"Information: Cancelled by user!"});
        QVERIFY(!QFile::exists(Path("Lexicorn.bin")));
        QVERIFY(Items("languagesList").isEmpty());
        QVERIFY(Find<QPushButton>("CreateLexicornButton")->isEnabled());
    }

    void AReaderErrorDuringTheBuildIsReportedAndTheTableForgotten() {
        Start();
        CopyFixture("table.xlsx");
        LoadThroughButton("table.xlsx");
        Choose("languagesList", 0, "AddLanguageBtn");  // English holds an emoji, which CP1252 lacks
        dialogs_->Take();
        Find<QPushButton>("CreateLexicornButton")->click();
        const QStringList shown = dialogs_->Take();
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown[0].startsWith("Error: " + Path("table.xlsx") + ": row 5, column 2:"),
                 qPrintable(shown[0]));
        QCOMPARE(Find<QLabel>("excelFileInfo")->text(), QStringLiteral("No Excel file loaded!"));
        QVERIFY(!window_->ProgressWindow().isVisible());
        QVERIFY(Find<QPushButton>("CreateLexicornButton")->isEnabled());
    }

    void BuildErrorsAreReportedAndTheWindowStaysUsable() {
        Start();
        Write("dup.csv", "ID,English\n,en\nA,a\nA,b\n");
        LoadThroughButton("dup.csv");
        Find<QPushButton>("AddAllLanguagesBtn")->click();
        dialogs_->Take();
        Find<QPushButton>("CreateLexicornButton")->click();
        QCOMPARE(dialogs_->Take(), QStringList{"Error: Duplicate string id !!!\r\rA\rRow: 4"});
        QVERIFY(Find<QPushButton>("CreateLexicornButton")->isEnabled());
        QVERIFY(Find<QTabWidget>("PageControl1")->isEnabled());
    }

    void ProgressWindowKeepsItsRanges() {
        bool cancelled = false;
        app::TLexicornProgress progress([&] { cancelled = true; });
        QCOMPARE(progress.windowTitle(), QStringLiteral("In Progress..."));
        auto* bar = progress.findChild<QProgressBar*>(QStringLiteral("LexicornProgressBar"));
        progress.SetRange(8);
        QCOMPARE(bar->maximum(), 8);
        for (int i = 0; i < 3; ++i) progress.Step();
        QCOMPARE(progress.Position(), 3);
        progress.Complete();
        QCOMPARE(bar->value(), 8);
        progress.SetRange(0);
        progress.Complete();
        QCOMPARE(bar->value(), 0);
        QCOMPARE(bar->maximum(), 0);
        progress.SetRange(3);
        progress.Step();
        progress.Show();
        QCOMPARE(bar->value(), 0);  // showing returns the bar to 0
        progress.SetStatusText("Now adding strings...\r\rLanguage: 1\rString: 2");
        QCOMPARE(progress.findChild<QLabel*>(QStringLiteral("processText"))->text(), QString());
        QTest::qWait(int(app::TLexicornProgress::kRedrawInterval.count()) + 5);
        for (int i = 0; i < 64; ++i) progress.Step();  // the clock is looked at every 64 calls
        QCOMPARE(progress.findChild<QLabel*>(QStringLiteral("processText"))->text(),
                 QStringLiteral("Now adding strings...\n\nLanguage: 1\nString: 2"));
        progress.SetStatusText("Creating Lexicorn.bin...");
        progress.RedrawNow();  // what a pause shows
        QCOMPARE(progress.findChild<QLabel*>(QStringLiteral("processText"))->text(),
                 QStringLiteral("Creating Lexicorn.bin..."));
        SaveScreenshot(progress, QStringLiteral("progress-window-alone"));
        progress.findChild<QPushButton*>(QStringLiteral("stopProcessBtn"))->click();
        QVERIFY(cancelled);
        QVERIFY(progress.isVisible());  // the build decides when to stop
        progress.Hide();
        QVERIFY(!progress.isVisible());
    }

    void SettingsWindowShowsAndStoresTheRecord() {
        Start();
        WithSettingsWindow([](app::TWizardSettingsForm& form) {
            SaveScreenshot(form, QStringLiteral("settings-window"));
            QCOMPARE(form.windowTitle(), QStringLiteral("Lexicorn Settings"));
            QCOMPARE(Control<QComboBox>(form, "AlignmentCombo")->currentText(), QStringLiteral("BYTE"));
            QCOMPARE(Control<QComboBox>(form, "StringFormatCombo")->currentIndex(), 0);
            QVERIFY(!Group(form, "targetLangRadio")->button(0)->isEnabled());
            QVERIFY(Control<QComboBox>(form, "codePageCombo")->isEnabled());
            Control<QComboBox>(form, "AlignmentCombo")->setCurrentIndex(2);
            Control<QComboBox>(form, "codePageCombo")->setCurrentText(QStringLiteral("CP1250"));
            Group(form, "ByteOrderRadio")->button(1)->click();
            Control<QCheckBox>(form, "insertDefaultVers")->click();
            Control<QPushButton>(form, "settingsDoneBtn")->click();
        });
        ProjectSettings expected;
        expected.alignment = 4;
        expected.byteOrder = 1;
        expected.useDefaultString = false;
        expected.codePage = "CP1250";
        QCOMPARE(window_->Settings(), expected);
        QVERIFY(dialogs_->shown.isEmpty());
    }

    void SettingsWindowAppliesThePlatformRule() {
        Start();
        WithSettingsWindow([](app::TWizardSettingsForm& form) {
            Group(form, "targetPlatformRadio")->button(1)->click();
            auto* encoding = Control<QComboBox>(form, "StringFormatCombo");
            QCOMPARE(encoding->currentText(), QStringLiteral("Unicode (Wide Char)"));
            QVERIFY(!encoding->isEnabled());
            QVERIFY(Group(form, "LXNTypeRadio")->button(1)->isChecked());
            QVERIFY(!Group(form, "LXNTypeRadio")->button(1)->isEnabled());
            QVERIFY(Group(form, "targetLangRadio")->button(2)->isEnabled());
            QVERIFY(!Control<QCheckBox>(form, "configApiForROM")->isEnabled());
            QVERIFY(!Control<QComboBox>(form, "codePageCombo")->isEnabled());
            Group(form, "targetLangRadio")->button(2)->click();
            SaveScreenshot(form, QStringLiteral("settings-window-dotnet"));
            Control<QPushButton>(form, "settingsDoneBtn")->click();
        });
        QCOMPARE(window_->Settings().encoding, 1);
        QCOMPARE(window_->Settings().tableType, 1);
        QCOMPARE(window_->Settings().targetPlatform, 1);
        QCOMPARE(window_->Settings().targetLanguage, 2);
        QVERIFY(dialogs_->shown.isEmpty());  // the forced table type shows no message

        WithSettingsWindow([](app::TWizardSettingsForm& form) {
            Group(form, "targetPlatformRadio")->button(0)->click();
            QVERIFY(Control<QComboBox>(form, "StringFormatCombo")->isEnabled());
            QVERIFY(Group(form, "targetLangRadio")->button(0)->isChecked());
            QVERIFY(!Group(form, "targetLangRadio")->button(0)->isEnabled());
            Group(form, "LXNTypeRadio")->button(0)->click();
            Control<QPushButton>(form, "settingsDoneBtn")->click();
        });
        QCOMPARE(
            dialogs_->Take(),
            QStringList{"Information: If you change string table type you should also set the "
                        "LXN_STRTABLE_TYPE inside the API accordingly.\r\rNote that by selecting LXN16 you "
                        "cannot have more than 64 KB of string data!"});
        QCOMPARE(window_->Settings().tableType, 0);
        QCOMPARE(window_->Settings().targetLanguage, 0);
    }

    void SettingsWindowEscapeKeepsAndEnterApplies() {
        Start();
        WithSettingsWindow([](app::TWizardSettingsForm& form) {
            Control<QComboBox>(form, "AlignmentCombo")->setCurrentIndex(1);
            Control<QCheckBox>(form, "configApiForROM")->setChecked(true);
            QTest::keyClick(Control<QComboBox>(form, "AlignmentCombo"), Qt::Key_Escape);
            QVERIFY(!form.isVisible());
        });
        QCOMPARE(window_->Settings(), ProjectSettings{});
        QVERIFY(window_->SettingsWindow().ConfigApiForROM());  // the check box is kept however it was left
        WithSettingsWindow([](app::TWizardSettingsForm& form) {
            QCOMPARE(Control<QComboBox>(form, "AlignmentCombo")->currentText(), QStringLiteral("BYTE"));
            Control<QComboBox>(form, "AlignmentCombo")->setCurrentIndex(1);
            QTest::keyClick(Group(form, "ByteOrderRadio")->button(0), Qt::Key_Return);
            QVERIFY(!form.isVisible());
        });
        QCOMPARE(window_->Settings().alignment, 2);
    }

    void PocessStringsClosesTheWindowAndBuilds() {
        Start();
        dialogs_->files.push_back(QString());
        WithSettingsWindow([](app::TWizardSettingsForm& form) {
            Control<QComboBox>(form, "StringFormatCombo")->setCurrentIndex(2);
            Control<QPushButton>(form, "settingsProcessBtn")->click();
        });
        QCOMPARE(window_->Settings().encoding, 2);
        QVERIFY(!window_->SettingsWindow().isVisible());
        QCOMPARE(dialogs_->Take(),
                 (QStringList{"Error: No Excel file selected!", "OpenFile: Select Excel File"}));
    }

    void ProjectsAreSavedAndOpenedThroughTheButtons() {
        Start();
        WithSettingsWindow([](app::TWizardSettingsForm& form) {
            Control<QComboBox>(form, "StringFormatCombo")->setCurrentIndex(2);
            Control<QPushButton>(form, "settingsDoneBtn")->click();
        });
        dialogs_->files.push_back(Path("saved.lxn"));
        Find<QToolButton>("SaveProjectButton")->click();
        QCOMPARE(dialogs_->Take(), QStringList{"SaveFile: Save Project As"});
        QCOMPARE(
            Read("saved.lxn"),
            QByteArray("LEXICORNPROJECTFILE\r\n2\r\n0\r\n1\r\n0\r\n0\r\n0\r\n16\r\n0\r\n0\r\n0\r\n1\r\n"));

        Start();
        dialogs_->files.push_back(Path("saved.lxn"));
        Find<QToolButton>("OpenProjectButton")->click();
        QCOMPARE(dialogs_->Take(), (QStringList{"OpenFile: Open Project File",
                                                "Information: Settings loaded from project file."}));
        QCOMPARE(window_->Settings().encoding, 2);
        QVERIFY(window_->ProjectLoaded());

        Write("other.lxn", "lexicornprojectfile\r\n");
        dialogs_->files.push_back(Path("other.lxn"));
        Find<QToolButton>("OpenProjectButton")->click();
        QCOMPARE(dialogs_->Take(),
                 (QStringList{"OpenFile: Open Project File", "Error: Corrupted project file."}));
        Write("half.lxn", "LEXICORNPROJECTFILE\r\n0\r\n0\r\n");
        dialogs_->files.push_back(Path("half.lxn"));
        Find<QToolButton>("OpenProjectButton")->click();
        QCOMPARE(dialogs_->Take().last(), QStringLiteral("Error: List index out of bounds (3)"));
        QCOMPARE(window_->Settings().encoding, 2);  // nothing of a failed file is applied
    }

    void SplashShowsTheVersionForItsTime() {
        app::TsplashScreen splash(std::chrono::milliseconds(300));
        QElapsedTimer clock;
        clock.start();
        splash.ShowSplash();
        QVERIFY(clock.elapsed() >= 300);
        QVERIFY(!splash.isVisible());
        QCOMPARE(splash.findChild<QLabel*>(QStringLiteral("appVersionBox"))->text(),
                 QStringLiteral("1.4.12"));
        QVERIFY(!splash.findChild<QLabel*>(QStringLiteral("Image1"))->pixmap().isNull());
        SaveScreenshot(splash, QStringLiteral("splash-window"));
        QCOMPARE(app::TsplashScreen::kShowTime, std::chrono::milliseconds(2000));
    }

    void AboutPageShowsTheVersionAndOpensTheManual() {
        Start();
        UrlRecorder recorder;
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &recorder, "Open");
        Find<QTabWidget>("PageControl1")->setCurrentIndex(2);
        window_->show();
        SaveScreenshot(*window_, QStringLiteral("about-page"));
        auto* version = Find<QLabel>("appVersionBox");
        QCOMPARE(version->text(), QStringLiteral("1.4.12"));
        QVERIFY(Find<QWidget>("newsPanel")->findChildren<QWidget*>().size() > 0);

        auto* update = Find<QLabel>("updateCheck");
        QCOMPARE(update->text(), QStringLiteral("Check for Updates"));
        QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
        QApplication::sendEvent(update, &enter);
        QCOMPARE(update->palette().color(QPalette::WindowText), QColor(Qt::red));
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(update, &leave);
        QCOMPARE(update->palette().color(QPalette::WindowText), QColor(0, 0, 0x80));

        QTest::mouseClick(update, Qt::LeftButton);
        QTest::mouseClick(Find<QLabel>("wwwLink"), Qt::LeftButton);
        Find<QToolButton>("helpBtn")->click();
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        QCOMPARE(recorder.opened.size(), 3);
        for (const QUrl& url : recorder.opened)
            QVERIFY2(QFile::exists(url.toLocalFile()), qPrintable(url.toString()));
        QCOMPARE(recorder.opened[0].fragment(), QStringLiteral("updates"));
        QCOMPARE(recorder.opened[2].fragment(), QStringLiteral("using"));
    }
};

}  // namespace lexicorn::test

QTEST_MAIN(lexicorn::test::WizardTest)
#include "WizardTest.moc"
