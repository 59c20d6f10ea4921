#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>

#include "gui/BuildPage.h"

namespace lexicorn::test {

// The build page on its own: the languages it is given are chosen and put back there, each
// change is one signal to the window, and a folder typed reaches the window once, as typed.
class BuildPageTest : public QObject {
    Q_OBJECT

  private:
    // English, and two columns both named Deutsch: items must carry their column, not their name.
    static std::vector<LanguageEntry> Entries(const QString& selection) {
        std::vector<LanguageEntry> entries{{u"English", u"en"}, {u"Deutsch", u"de"}, {u"Deutsch", u"de-AT"}};
        for (std::size_t i = 0; i < entries.size(); ++i) entries[i].selected = selection[qsizetype(i)] == '1';
        return entries;
    }
    static QString Selection(const std::vector<LanguageEntry>& entries) {
        QString selection;
        for (const LanguageEntry& entry : entries) selection += entry.selected ? '1' : '0';
        return selection;
    }

  private slots:
    void init() { QStandardPaths::setTestModeEnabled(true); }  // the kept choices are a test profile's

    void ChoosesLanguagesByTheirColumn_data() {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("control");  // a button clicked, or a list where Return is pressed
        QTest::addColumn<int>("currentRow");   // of the list the control takes its language from
        QTest::addColumn<QString>("after");
        QTest::newRow("the second Deutsch is added") << "100"
                                                     << "addLanguageButton" << 1 << "101";
        QTest::newRow("the first Deutsch is added") << "100"
                                                    << "addLanguageButton" << 0 << "110";
        QTest::newRow("no current language, nothing added") << "100"
                                                            << "addLanguageButton" << -1 << "100";
        QTest::newRow("the chosen language is removed") << "100"
                                                        << "removeLanguageButton" << 0 << "000";
        QTest::newRow("no current language, nothing removed") << "011"
                                                              << "removeLanguageButton" << -1 << "011";
        QTest::newRow("all are added") << "010"
                                       << "addAllLanguagesButton" << -1 << "111";
        QTest::newRow("all are removed") << "101"
                                         << "removeAllLanguagesButton" << -1 << "000";
        QTest::newRow("Return adds the available one") << "000"
                                                       << "availableLanguages" << 2 << "001";
        QTest::newRow("Return removes the chosen one") << "011"
                                                       << "selectedLanguages" << 0 << "001";
    }
    void ChoosesLanguagesByTheirColumn() {
        QFETCH(QString, before);
        QFETCH(QString, control);
        QFETCH(int, currentRow);
        QFETCH(QString, after);
        std::vector<LanguageEntry> entries = Entries(before);
        gui::BuildPage page(entries);
        page.showLanguages();
        QSignalSpy chosen(&page, &gui::BuildPage::languagesChosen);
        auto* available = page.findChild<QListWidget*>(QStringLiteral("availableLanguages"));
        auto* selected = page.findChild<QListWidget*>(QStringLiteral("selectedLanguages"));
        QListWidget* source = control.startsWith(QStringLiteral("remove")) || control == "selectedLanguages"
                                  ? selected
                                  : available;
        source->setCurrentRow(currentRow);

        if (auto* button = page.findChild<QPushButton*>(control))
            button->click();
        else
            QTest::keyClick(page.findChild<QListWidget*>(control), Qt::Key_Return);

        QCOMPARE(Selection(entries), after);
        QCOMPARE(chosen.count(), 1);  // the window redraws the lists and judges the choice once
        page.showLanguages();
        QCOMPARE(selected->count(), after.count('1'));
        QCOMPARE(available->count(), after.count('0'));
    }

    void PassesOnAFolderOnlyWhenTyped() {
        std::vector<LanguageEntry> entries;
        gui::BuildPage page(entries);
        QSignalSpy typed(&page, &gui::BuildPage::outputFolderTyped);
        auto* field = page.findChild<QLineEdit*>(QStringLiteral("outputFolder"));
        page.showOutputFolder(QStringLiteral("/old"));

        QTest::keyClick(field, Qt::Key_Return);  // the folder shown is not the user's to judge
        QCOMPARE(typed.count(), 0);

        field->selectAll();
        QTest::keyClicks(field, QStringLiteral("  /data  "));
        QTest::keyClick(field, Qt::Key_Return);
        QCOMPARE(typed.count(), 1);
        QCOMPARE(typed.front().front().toString(), QStringLiteral("/data"));

        QTest::keyClick(field, Qt::Key_Return);  // judged once: the same text again is not new
        QCOMPARE(typed.count(), 1);
    }
};

}  // namespace lexicorn::test

QTEST_MAIN(lexicorn::test::BuildPageTest)
#include "BuildPageTest.moc"
