#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <sstream>

#include "GuiSupport.h"
#include "WizardFixture.h"
#include "base/Text.h"
#include "cli/CommandLine.h"
#include "gui/MainWindow.h"
#include "gui/MergeAlignmentDialog.h"
#include "gui/MergePage.h"
#include "image/LexicornEngine.h"
#include "merge/Merge.h"

namespace lexicorn::test {
namespace {

const QByteArray kSignature("\x4F\x30\x2F\x10\x80\x7F\x60\x5F", 8);
// A whole image of 64 bytes: one language whose name fills it, no strings.
QByteArray MakeImage() {
    auto engine = CreateLexicornEngine(TableType::k16Bit);
    engine->Initialize(1, 0, 1, ByteOrder::kLittle, Encoding::kSingleByte);
    engine->AddLanguage("xx", std::string(10, 'n'));
    const std::vector<std::uint8_t> image = engine->GetOutputImage();
    return QByteArray(reinterpret_cast<const char*>(image.data()), static_cast<qsizetype>(image.size()));
}
const QByteArray kImage = MakeImage();
const QByteArray kTarget(200, 'T');

QByteArray Zeros(int count) { return QByteArray(count, '\0'); }

// The success of a merge that placed kImage at `address`.
QString Done(std::uint32_t address) {
    return "Information: Merge operation done successfully.\r" +
           QString::fromStdString(merge_messages::PlacedAt(address, 64));
}
// The line on the old image of TargetWithOldImage, which a merge makes obsolete.
const QString kOldImageMadeObsolete = QStringLiteral(
    "\rA Lexicorn at 0x00000010: size 0x00000030, made obsolete: firmware that read it with "
    "lxn_attach_embedded "
    "(the copy compiled in from Lexicorn.c) finds the new one with lxn_find.");

// What happens to the files between their choice on the page and the merge.
enum class AfterChoosing { kNothing, kImageRewritten, kImageRemoved, kTargetRemoved };

// What the command line printed of a failure, without its prefix: the text the window shows, with
// line feeds for the window's line breaks.
std::string PrintedText(std::string err) {
    for (const char* prefix : {"lexicorn: error: ", "lexicorn: "}) {
        if (err.starts_with(prefix)) {
            err.erase(0, std::string_view(prefix).size());
            break;
        }
    }
    if (err.ends_with('\n')) err.pop_back();
    return err;
}

// A target holding an old image of 0x30 bytes at offset 0x10.
QByteArray TargetWithOldImage() {
    QByteArray old = kSignature + Zeros(4) + QByteArray("\x30\0\0\0", 4) + Zeros(32);
    return QByteArray(16, 'T') + old + QByteArray(8, 'T');
}

}  // namespace

class MergePageTest : public WizardFixture {
    Q_OBJECT

  private:
    void StartOnMergerPage(const QString& project = {}) {
        Start(project).show();
        Find<QTabWidget>("pages")->setCurrentIndex(1);
    }
    QString Text(const char* name) const {
        // What a field shows: its text, or the hint it shows while empty.
        if (auto* edit = window_->findChild<QLineEdit*>(QString::fromLatin1(name)))
            return edit->text().isEmpty() ? edit->placeholderText() : edit->text();
        return Find<QLabel>(name)->text();
    }
    // Image, target and output chosen through the page.
    void ChooseAll(const QByteArray& target = kTarget) {
        Write("image.bin", kImage);
        Write("target.bin", target);
        ChooseFile("chooseImageButton", "image.bin");
        ChooseFile("chooseTargetButton", "target.bin");
        ChooseFile("chooseOutputButton", "out.bin");
        dialogs_->Take();
    }
    void SetMode(int item) {
        auto* combo = Find<QComboBox>("modeChoice");
        combo->setCurrentIndex(item);
        emit combo->activated(item);
    }
    void Merge() { Find<QPushButton>("mergeButton")->click(); }
    gui::MergePage& Page() const { return window_->mergePage(); }
    // Opens the alignment window through "Advanced..."; `act` runs while it is shown.
    void WithAlignmentWindow(const std::function<void(QComboBox&, gui::MergeAlignmentDialog&)>& act) {
        gui::MergeAlignmentDialog& form = window_->alignmentDialog();
        QTimer::singleShot(0, &form, [&form, act] {
            act(*form.findChild<QComboBox*>(QStringLiteral("alignmentChoice")), form);
            if (form.isVisible()) form.reject();
        });
        Find<QPushButton>("advancedButton")->click();
    }

  private slots:
    void StartsWithItsPlaceholders() {
        StartOnMergerPage();
        QCOMPARE(Text("imageFile"), QStringLiteral("Select Lexicorn file..."));
        QCOMPARE(Text("targetFile"), QStringLiteral("Select target file..."));
        QCOMPARE(Text("outputFile"), QStringLiteral("Select output file..."));
        QCOMPARE(Text("targetInfo"), QStringLiteral("No target file selected."));
        QCOMPARE(Find<QComboBox>("modeChoice")->currentText(), QStringLiteral("Append Lexicorn"));
        QVERIFY(Find<QRadioButton>("placeAtEnd")->isChecked());
        QVERIFY(!Find<QRadioButton>("placeAtAddress")->isEnabled());
        QVERIFY(!Find<QLineEdit>("address")->isEnabled());
        QCOMPARE(Page().shownPicture(), 0);
    }

    void MergeChecksOutputThenTargetThenImage() {
        StartOnMergerPage();
        Merge();
        QCOMPARE(dialogs_->Take(), QStringList{"Error: Error: Please select output file."});
        ChooseFile("chooseOutputButton", "out.bin");
        dialogs_->Take();
        Merge();
        QCOMPARE(dialogs_->Take(), QStringList{"Error: Please select target file."});
        Write("target.bin", kTarget);
        ChooseFile("chooseTargetButton", "target.bin");
        dialogs_->Take();
        Merge();
        QCOMPARE(dialogs_->Take(), QStringList{"Error: Please select Lexicorn file."});
    }

    void AcceptsOnlyLexicornImages() {
        StartOnMergerPage();
        Write("image.bin", kImage);
        ChooseFile("chooseImageButton", "image.bin");
        QCOMPARE(dialogs_->Take(), QStringList{"OpenFile: Select Lexicorn File"});
        QCOMPARE(Text("imageFile"), Path("image.bin"));
        Write("other.bin", QByteArray("\x4F\x30\x2F\x10\x80\x7F\x60\x00", 8));  // one byte off
        ChooseFile("chooseImageButton", "other.bin");
        QCOMPARE(dialogs_->Take().last(), QStringLiteral("Error: Invalid Lexicorn file."));
        QCOMPARE(Text("imageFile"), Path("image.bin"));  // the field keeps the good file...
        Write("target.bin", kTarget);
        ChooseFile("chooseTargetButton", "target.bin");
        ChooseFile("chooseOutputButton", "out.bin");
        dialogs_->Take();
        Merge();  // ...and so does the merger
        QCOMPARE(dialogs_->Take(), QStringList{Done(0xD0)});
        QCOMPARE(Read("out.bin").right(kImage.size()), kImage);
    }

    // An image or a target that cannot be opened is refused by name, as the command line names it,
    // never called an invalid image; the fields and the merger keep the files taken before.
    void FilesThatCannotBeOpenedAreRefusedByName() {
        StartOnMergerPage();
        ChooseAll();
        const QString cannotRead = QStringLiteral(": the file cannot be read (error 20001006)");
        ChooseFile("chooseImageButton", "missing-image.bin");
        QCOMPARE(dialogs_->Take().last(), "Error: " + Path("missing-image.bin") + cannotRead);
        QCOMPARE(Text("imageFile"), Path("image.bin"));
        ChooseFile("chooseTargetButton", "missing-target.bin");
        QCOMPARE(dialogs_->Take().last(), "Error: " + Path("missing-target.bin") + cannotRead);
        QCOMPARE(Text("targetFile"), Path("target.bin"));
        QCOMPARE(Text("targetInfo"), QStringLiteral("No Lexicorn found in the target software."));
        Merge();
        QCOMPARE(dialogs_->Take(), QStringList{Done(0xD0)});
        QCOMPARE(Read("out.bin"), kTarget + Zeros(8) + kImage);  // appended at the end, 16-aligned
    }

    void ShowsWhatTheTargetHolds() {
        StartOnMergerPage();
        Write("plain.bin", kTarget);
        ChooseFile("chooseTargetButton", "plain.bin");
        QCOMPARE(Text("targetFile"), Path("plain.bin"));
        QCOMPARE(Text("targetInfo"), QStringLiteral("No Lexicorn found in the target software."));
        QCOMPARE(Text("oldImageSize"), QStringLiteral("00000000"));
        QCOMPARE(Text("oldImagePosition"), QStringLiteral("00000000"));
        Write("old.bin", TargetWithOldImage());
        ChooseFile("chooseTargetButton", "old.bin");
        QCOMPARE(Text("targetInfo"),
                 QStringLiteral(
                     "Target already has a Lexicorn. New Lexicorn will make this old Lexicorn obsolete."));
        QCOMPARE(Text("oldImageSize"), QStringLiteral("00000030"));
        QCOMPARE(Text("oldImagePosition"), QStringLiteral("00000010"));
        SaveScreenshot(*window_, QStringLiteral("merger-page-old-image"));
    }

    // A path typed or pasted into a field is taken on Enter and checked as its chooser checks it; one
    // refused leaves the field as it was.
    void TypedPathsAreCheckedAsTheChoosersCheckThem() {
        StartOnMergerPage();
        Write("image.bin", kImage);
        Write("other.bin", "not an image");
        Write("old.bin", TargetWithOldImage());
        Write("out.bin", "an earlier output");
        const auto type = [this](const char* field, const QString& text) {
            auto* edit = Find<QLineEdit>(field);
            edit->setFocus();
            edit->selectAll();
            QTest::keyClicks(edit, text);
            QTest::keyClick(edit, Qt::Key_Return);
        };
        type("imageFile", Path("image.bin"));
        type("imageFile", Path("other.bin"));
        QCOMPARE(dialogs_->Take(), QStringList{"Error: Invalid Lexicorn file."});
        QCOMPARE(Text("imageFile"), Path("image.bin"));
        type("targetFile", Path("old.bin"));
        QCOMPARE(Text("oldImagePosition"), QStringLiteral("00000010"));
        dialogs_->answers.push_back(false);
        type("outputFile", Path("out.bin"));
        QCOMPARE(dialogs_->Take().size(), 1);  // the question to replace it
        QCOMPARE(Text("outputFile"), QStringLiteral("Select output file..."));
        type("outputFile", Path("new.bin"));
        Merge();
        QCOMPARE(dialogs_->Take(), QStringList{Done(0x50) + kOldImageMadeObsolete});
        QVERIFY(QFile::exists(Path("new.bin")));
        QCOMPARE(Read("out.bin"), QByteArray("an earlier output"));
    }

    // Two old images and a signature with nothing behind it between them: the page names what is
    // beyond the first image, and the merge says it again after its success.
    void ShowsEveryOldImageAndEveryBareSignature() {
        StartOnMergerPage();
        const QByteArray target =
            TargetWithOldImage() + kSignature + QByteArray(40, 'B') + TargetWithOldImage();
        ChooseAll(target);
        QCOMPARE(Text("targetInfo"),
                 QStringLiteral(
                     "Target already has a Lexicorn. New Lexicorn will make this old Lexicorn obsolete."));
        QCOMPARE(Text("oldImagePosition"), QStringLiteral("00000010"));
        const QString notes = QStringLiteral(
            "Also a Lexicorn at 0x00000088: size 0x00000030, made obsolete as well.\n"
            "A signature at 0x00000048 has no valid Lexicorn behind it: left as it is.");
        QCOMPARE(Text("targetNotes"), notes);
        QCoreApplication::processEvents();  // the page grows to hold the notes
        SaveScreenshot(*window_, QStringLiteral("merger-page-old-images"));
        Merge();
        QCOMPARE(dialogs_->Take(),
                 QStringList{Done(0xC0) + kOldImageMadeObsolete + "\r" + QString(notes).replace('\n', '\r')});
        QByteArray expected = target;
        expected.replace(0x10, 8, Zeros(8));
        expected.replace(0x88, 8, Zeros(8));
        QCOMPARE(Read("out.bin"), expected + kImage);  // 192 bytes: aligned already

        Write("plain.bin", kTarget);
        ChooseFile("chooseTargetButton", "plain.bin");
        QCOMPARE(Text("targetNotes"), QString());
    }

    // Firmware in Intel HEX: the page shows its span, and an output named .hex is written as HEX.
    void TakesHexTargetsAndWritesTheOutputsForm() {
        StartOnMergerPage();
        Write("image.bin", kImage);
        Write("fw.hex", ":020000040800F2\n:1000000000000000000000000000000000000000F0\n:00000001FF\n");
        ChooseFile("chooseImageButton", "image.bin");
        ChooseFile("chooseTargetButton", "fw.hex");
        QCOMPARE(Text("targetSpan"), QStringLiteral("Intel HEX, data from 08000000 to 0800000F"));
        QVERIFY(dialogs_->filters.last().contains("Intel HEX (*.hex *.ihx *.ihex)"));
        QVERIFY(dialogs_->filters.last().contains("S-records (*.s19 *.s28 *.s37 *.srec *.mot *.sx)"));
        SaveScreenshot(*window_, QStringLiteral("merger-page-hex-target"));
        ChooseFile("chooseOutputButton", "out.s19");
        QVERIFY(dialogs_->filters.last().startsWith("Binary (*.bin);;Intel HEX"));
        dialogs_->Take();
        Merge();
        QCOMPARE(dialogs_->Take(), QStringList{Done(0x08000010)});
        // A header record, then data records with 32-bit addresses.
        QVERIFY2(Read("out.s19").startsWith("S00600004844521B\nS3"), Read("out.s19").constData());

        Write("bad.hex", ":020000040800F3\n:00000001FF\n");
        ChooseFile("chooseTargetButton", "bad.hex");
        QCOMPARE(dialogs_->Take().last(),
                 "Error: " + Path("bad.hex") + ": line 1: the checksum is F3, the record needs F2");
        // What the reading let pass with a warning is shown under the span.
        Write("twice.hex", ":0400000001020304F2\n:0400000508000131BD\n:0400000508000200ED\n:00000001FF\n");
        ChooseFile("chooseTargetButton", "twice.hex");
        QCOMPARE(Text("targetSpan"),
                 "Intel HEX, data from 00000000 to 00000003\nWarning: " + Path("twice.hex") +
                     ": line 3: a second start address record (type 05): the one of line 2 is kept");
        Write("plain.bin", kTarget);
        ChooseFile("chooseTargetButton", "plain.bin");
        QCOMPARE(Text("targetSpan"), QString());  // a binary has no span to show
    }

    // A damaged target after a good one: nothing of the good one stays on the page, and Merge says
    // what the chooser said.
    void ADamagedTargetClearsTheInformationAndMergeNamesTheDamage() {
        StartOnMergerPage();
        Write("image.bin", kImage);
        Write("fw.hex", ":020000040800F2\n:1000000000000000000000000000000000000000F0\n:00000001FF\n");
        Write("bad.hex", ":020000040800F3\n:00000001FF\n");
        ChooseFile("chooseImageButton", "image.bin");
        ChooseFile("chooseOutputButton", "out.hex");
        ChooseFile("chooseTargetButton", "fw.hex");
        QCOMPARE(Text("oldImageSize"), QStringLiteral("00000000"));
        dialogs_->Take();

        ChooseFile("chooseTargetButton", "bad.hex");
        const QString damage = Path("bad.hex") + ": line 1: the checksum is F3, the record needs F2";
        QCOMPARE(dialogs_->Take(), (QStringList{"OpenFile: Select Target File", "Error: " + damage}));
        QCOMPARE(Text("targetInfo"), QStringLiteral("No target file selected."));
        QCOMPARE(Text("oldImageSize"), QStringLiteral("0"));
        QCOMPARE(Text("oldImagePosition"), QStringLiteral("0"));
        QCOMPARE(Text("targetSpan"), QString());
        SaveScreenshot(*window_, QStringLiteral("merger-page-damaged-target"));
        Merge();  // the merge reads the target again and names the damage as the command line does
        QCOMPARE(dialogs_->Take(), QStringList{"Error: Can not start merge operation.20201005\r\r" + damage});
        QVERIFY(!QFile::exists(Path("out.hex")));
    }

    // A click into the address selects it whole, so that what is typed replaces it; a click into the
    // field that has the focus already places the cursor as usual.
    void AClickIntoTheAddressSelectsIt() {
        Start().show();
        QVERIFY(QTest::qWaitForWindowActive(window_.get()));
        Find<QTabWidget>("pages")->setCurrentIndex(1);
        SetMode(1);
        Find<QRadioButton>("placeAtAddress")->click();
        auto* address = Find<QLineEdit>("address");
        QCOMPARE(address->text(), QStringLiteral("00000000"));
        const QPoint middle = address->rect().center();
        QTest::mouseClick(address, Qt::LeftButton, {}, middle);
        QCOMPARE(address->selectedText(), QStringLiteral("00000000"));
        QTest::keyClicks(address, QStringLiteral("2000"));
        QCOMPARE(address->text(), QStringLiteral("2000"));
        QTest::mouseClick(address, Qt::LeftButton, {}, QPoint(address->width() - 4, middle.y()));
        QVERIFY(!address->hasSelectedText());
        QTest::keyClicks(address, QStringLiteral("0"));
        QCOMPARE(address->text(), QStringLiteral("20000"));
    }

    // Data at 08000000, overwrite at F00: the user learns before the merge that the address is absolute
    // and lies outside the data; No writes nothing.
    void AnAddressOutsideTheDataOfAHexTargetIsReportedBeforeMerging() {
        StartOnMergerPage();
        QCOMPARE(Text("addressMeaning"), QString());
        Write("image.bin", kImage);
        Write("fw.hex", ":020000040800F2\n:1000000000000000000000000000000000000000F0\n:00000001FF\n");
        ChooseFile("chooseImageButton", "image.bin");
        ChooseFile("chooseTargetButton", "fw.hex");
        ChooseFile("chooseOutputButton", "out.hex");
        dialogs_->Take();
        QCOMPARE(Text("addressMeaning"), QStringLiteral("absolute address"));
        SetMode(1);
        Find<QRadioButton>("placeAtAddress")->click();
        Find<QLineEdit>("address")->setText(QStringLiteral("F00"));
        SaveScreenshot(*window_, QStringLiteral("merger-page-absolute-address"));
        dialogs_->answers.push_back(false);
        Merge();
        QCOMPARE(
            dialogs_->Take(),
            (QStringList{"Question (No): The address 00000F00 lies outside the target's data (08000000 to "
                         "0800000F).\rAddresses of HEX and S-record targets are absolute, not offsets in "
                         "the file. Are you sure you want to continue?",
                         "Information: Aborting merge process."}));
        QVERIFY(!QFile::exists(Path("out.hex")));

        Find<QLineEdit>("address")->setText(QStringLiteral("08000000"));
        Merge();
        QCOMPARE(dialogs_->Take(), QStringList{Done(0x08000000)});
        QVERIFY(Read("out.hex").startsWith(":020000040800F2\n"));

        Write("plain.bin", kTarget);
        ChooseFile("chooseTargetButton", "plain.bin");
        QCOMPARE(Text("addressMeaning"), QStringLiteral("offset in the file"));
    }

    void MergesAsTheModeAndPlacementSay_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("placement");
        QTest::addColumn<QString>("address");
        QTest::addColumn<int>("picture");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("append end") << 0 << "placeAtEnd"
                                    << "" << 0 << kTarget + Zeros(8) + kImage;
        QTest::newRow("append beginning") << 0 << "placeAtBeginning"
                                          << "" << 1 << kImage + kTarget;
        QTest::newRow("overwrite end") << 1 << "placeAtEnd"
                                       << "" << 2 << kTarget.left(128) + kImage + kTarget.right(8);
        QTest::newRow("overwrite beginning") << 1 << "placeAtBeginning"
                                             << "" << 3 << kImage + kTarget.mid(64);
        QTest::newRow("overwrite address") << 1 << "placeAtAddress"
                                           << "20" << 4 << kTarget.left(32) + kImage + kTarget.mid(96);
        QTest::newRow("overwrite empty address") << 1 << "placeAtAddress"
                                                 << "<empty>" << 4 << kImage + kTarget.mid(64);
    }
    void MergesAsTheModeAndPlacementSay() {
        QFETCH(int, mode);
        QFETCH(QString, placement);
        QFETCH(QString, address);
        QFETCH(int, picture);
        QFETCH(QByteArray, expected);
        StartOnMergerPage();
        ChooseAll();
        SetMode(mode);
        Find<QRadioButton>(qPrintable(placement))->click();
        if (placement == "placeAtAddress") {
            QCOMPARE(Text("address"), QStringLiteral("00000000"));
            Find<QLineEdit>("address")->setText(address == "<empty>" ? QString() : address);
        }
        QCOMPARE(Page().shownPicture(), picture);
        SaveScreenshot(*window_,
                       QStringLiteral("merger-page-") + QString(QTest::currentDataTag()).replace(' ', '-'));
        // Written over the target's bytes, the image is asked about first.
        if (mode == 1) dialogs_->answers.push_back(true);
        Merge();
        const QStringList shown = dialogs_->Take();
        QCOMPARE(shown.size(), mode == 1 ? 2 : 1);
        if (mode == 1)
            QVERIFY2(shown[0].startsWith("Question (No): The Lexicorn overwrites 64 bytes"),
                     qPrintable(shown[0]));
        QVERIFY2(shown.last().startsWith("Information: Merge operation done successfully.\rPlaced at 0x"),
                 qPrintable(shown.last()));
        QCOMPARE(Read("out.bin").toHex(), expected.toHex());
        QCOMPARE(Read("target.bin"), kTarget);
        QCOMPARE(window_->settings().mergeMode, mode == 1 ? MergeMode::kOverwrite : MergeMode::kAppend);
        if (placement == "placeAtAddress") QCOMPARE(Text("address"), QStringLiteral("000001"));
    }

    void AnOldImageIsMadeObsoleteInTheOutputOnly() {
        StartOnMergerPage();
        ChooseAll(TargetWithOldImage());
        Merge();
        dialogs_->Take();
        const QByteArray output = Read("out.bin");
        QCOMPARE(output.mid(16, 8), Zeros(8));
        QCOMPARE(output.right(kImage.size()), kImage);
        QCOMPARE(Read("target.bin"), TargetWithOldImage());
    }

    // The target chosen, the firmware rebuilt, then Merge: the old image is looked for in the file as
    // it is now, and the information shows what was found then.
    void ATargetRebuiltAfterItWasChosenIsScannedAgain() {
        StartOnMergerPage();
        ChooseAll(TargetWithOldImage());
        QCOMPARE(Text("oldImagePosition"), QStringLiteral("00000010"));

        const QByteArray moved = QByteArray(4, 'U') + TargetWithOldImage().mid(16, 48) + QByteArray(20, 'U');
        Write("target.bin", moved);
        Merge();
        QCOMPARE(
            dialogs_->Take(),
            QStringList{Done(0x50) + QString(kOldImageMadeObsolete).replace("0x00000010", "0x00000004")});
        QByteArray expected = moved;
        expected.replace(4, 8, Zeros(8));
        QCOMPARE(Read("out.bin"), expected + Zeros(8) + kImage);  // appended at the end, 16-aligned
        QCOMPARE(Text("oldImagePosition"), QStringLiteral("00000004"));
        QCOMPARE(Text("oldImageSize"), QStringLiteral("00000030"));

        Write("target.bin", kTarget);
        Merge();
        dialogs_->Take();
        QCOMPARE(Read("out.bin"), kTarget + Zeros(8) + kImage);
        QCOMPARE(Text("targetInfo"), QStringLiteral("No Lexicorn found in the target software."));
        QCOMPARE(Text("oldImageSize"), QStringLiteral("00000000"));
    }

    void AsksWhenTheAddressIsNotAligned() {
        StartOnMergerPage();
        ChooseAll();
        SetMode(1);
        Find<QRadioButton>("placeAtAddress")->click();
        Find<QLineEdit>("address")->setText(QStringLiteral("4"));
        dialogs_->answers.push_back(false);
        Merge();
        QCOMPARE(
            dialogs_->Take(),
            (QStringList{
                "Question (No): The adress you specified isn't multiple of the alignment. Are you sure you "
                "want to continue?",
                "Information: Aborting merge process."}));
        QVERIFY(!QFile::exists(Path("out.bin")));
        dialogs_->answers.push_back(true);
        dialogs_->answers.push_back(true);  // and to overwrite the target's bytes
        Merge();
        QCOMPARE(dialogs_->Take().last(), Done(4));
        QCOMPARE(Read("out.bin"), kTarget.left(4) + kImage + kTarget.mid(68));
    }

    void AddressTextsAreCheckedLikeTheCommandLine() {
        StartOnMergerPage();
        ChooseAll();
        SetMode(1);
        Find<QRadioButton>("placeAtAddress")->click();
        auto* address = Find<QLineEdit>("address");

        address->setText(QStringLiteral("1G"));
        Merge();
        QCOMPARE(dialogs_->Take(), QStringList{"Information: Invalid Hex value!"});
        QCOMPARE(address->text(), QStringLiteral("000001"));
        address->setText(QStringLiteral("123456789"));  // a ninth digit is refused, not dropped
        Merge();
        QCOMPARE(dialogs_->Take(), QStringList{"Information: Invalid Hex value!"});
        QVERIFY(!QFile::exists(Path("out.bin")));

        address->setText(QStringLiteral("FFFFFFFF"));  // refused before anything is asked
        Merge();
        const QStringList overflow = dialogs_->Take();
        QCOMPARE(overflow.size(), 1);
        QVERIFY2(overflow[0].startsWith("Error: Can not start merge operation.2000D024"),
                 qPrintable(overflow[0]));
        QCOMPARE(window_->settings().mergeAddress, 0xFFFFFFFFu);
        QVERIFY(!QFile::exists(Path("out.bin")));

        address->setText(QStringLiteral("abc"));  // lower case is read as 0xABC
        dialogs_->answers.push_back(false);
        Merge();
        QCOMPARE(dialogs_->Take().size(), 2);
        QCOMPARE(window_->settings().mergeAddress, 0xABCu);
    }

    void ReadOnlyInputsAreTakenAndAnOutputThatIsAnInputIsRefused() {
        StartOnMergerPage();
        ChooseAll();
        QFile::setPermissions(Path("image.bin"), QFile::ReadOwner);
        QFile::setPermissions(Path("target.bin"), QFile::ReadOwner);
        ChooseFile("chooseImageButton", "image.bin");
        ChooseFile("chooseTargetButton", "target.bin");
        dialogs_->answers.push_back(true);  // to replace target.bin
        ChooseFile("chooseOutputButton", "target.bin");
        dialogs_->Take();
        Merge();
        const QStringList refused = dialogs_->Take();
        QCOMPARE(refused.size(), 1);
        QVERIFY2(refused[0].startsWith("Error: Can not start merge operation.20201004\r\r"),
                 qPrintable(refused[0]));
        QCOMPARE(Read("target.bin"), kTarget);
        ChooseFile("chooseOutputButton", "out.bin");
        Merge();
        QCOMPARE(dialogs_->Take().last(), Done(0xD0));
    }

    void AnExistingOutputIsReplacedOnlyWhenTheUserSaysSo() {
        StartOnMergerPage();
        Write("image.bin", kImage);
        Write("target.bin", kTarget);
        Write("out.bin", "an earlier output");
        ChooseFile("chooseImageButton", "image.bin");
        ChooseFile("chooseTargetButton", "target.bin");
        dialogs_->Take();
        dialogs_->answers.push_back(false);
        ChooseFile("chooseOutputButton", "out.bin");
        QCOMPARE(dialogs_->Take(), (QStringList{"SaveFile: Select Output File",
                                                "Question: " + QDir::toNativeSeparators(Path("out.bin")) +
                                                    " already exists.\rDo you want to replace it?"}));
        QCOMPARE(Text("outputFile"), QStringLiteral("Select output file..."));
        Merge();
        QCOMPARE(dialogs_->Take(), QStringList{"Error: Error: Please select output file."});
        QCOMPARE(Read("out.bin"), QByteArray("an earlier output"));

        dialogs_->answers.push_back(true);
        ChooseFile("chooseOutputButton", "out.bin");
        QCOMPARE(Text("outputFile"), Path("out.bin"));
        Merge();
        QCOMPARE(dialogs_->Take().last(), Done(0xD0));
        QCOMPARE(Read("out.bin"), kTarget + Zeros(8) + kImage);
    }

    void ChangingTheModeReturnsToTheEnd() {
        StartOnMergerPage();
        SetMode(1);
        QVERIFY(Find<QRadioButton>("placeAtAddress")->isEnabled());
        Find<QRadioButton>("placeAtAddress")->click();
        QVERIFY(Find<QLineEdit>("address")->isEnabled());
        SetMode(0);
        QVERIFY(Find<QRadioButton>("placeAtEnd")->isChecked());
        QVERIFY(!Find<QRadioButton>("placeAtAddress")->isEnabled());
        QVERIFY(!Find<QLineEdit>("address")->isEnabled());
        QCOMPARE(Page().shownPicture(), 0);
    }

    void EnteringThePageResetsItUntilAProjectIsLoaded() {
        StartOnMergerPage();
        SetMode(1);
        Find<QRadioButton>("placeAtBeginning")->click();
        auto* pages = Find<QTabWidget>("pages");
        pages->setCurrentIndex(0);
        pages->setCurrentIndex(1);
        QCOMPARE(Find<QComboBox>("modeChoice")->currentIndex(), 0);
        QVERIFY(Find<QRadioButton>("placeAtEnd")->isChecked());
        QCOMPARE(window_->settings().mergeMode, MergeMode::kAppend);  // what a save would keep
        QCOMPARE(window_->settings().mergePlacement, MergePlacement::kEnd);

        Write("p.lxn", "LEXICORNPROJECTFILE\r\n0\r\n0\r\n0\r\n0\r\n1\r\n1\r\n16\r\n4096\r\n0\r\n0\r\n1\r\n");
        dialogs_->files.push_back(Path("p.lxn"));
        dialogs_->unsavedAnswers.push_back(
            gui::Dialogs::Unsaved::kDiscard);  // the choices made are not saved
        pages->setCurrentIndex(0);
        Find<QToolButton>("openProjectButton")->click();
        dialogs_->Take();
        pages->setCurrentIndex(1);
        QCOMPARE(Find<QComboBox>("modeChoice")->currentText(), QStringLiteral("Overwrite Lexicorn"));
        QVERIFY(Find<QRadioButton>("placeAtAddress")->isChecked());
        QVERIFY(Find<QLineEdit>("address")->isEnabled());
        QCOMPARE(Page().shownPicture(), 4);
    }

    void AProjectOnTheCommandLineSetsThePage() {
        Write("p.lxn", "LEXICORNPROJECTFILE\r\n0\r\n0\r\n0\r\n0\r\n2\r\n0\r\n16\r\n0\r\n0\r\n0\r\n1\r\n");
        StartOnMergerPage(Path("p.lxn"));
        QCOMPARE(Find<QComboBox>("modeChoice")->currentText(), QStringLiteral("Append Lexicorn"));
        QVERIFY(Find<QRadioButton>("placeAtBeginning")->isChecked());
        QCOMPARE(Page().shownPicture(), 1);
    }

    // What the user chose on the page, never merged, is what the project keeps and gives back.
    void AProjectKeepsTheChosenModeAndPlacement_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("placement");
        QTest::addColumn<QByteArray>("lines");  // mode, placement, search step and address
        QTest::addColumn<int>("picture");
        QTest::newRow("append end") << 0 << "placeAtEnd" << QByteArray("2\r\n2\r\n16\r\n0") << 0;
        QTest::newRow("append beginning") << 0 << "placeAtBeginning" << QByteArray("2\r\n0\r\n16\r\n0") << 1;
        QTest::newRow("overwrite end") << 1 << "placeAtEnd" << QByteArray("1\r\n2\r\n16\r\n0") << 2;
        QTest::newRow("overwrite beginning")
            << 1 << "placeAtBeginning" << QByteArray("1\r\n0\r\n16\r\n0") << 3;
        QTest::newRow("overwrite address")
            << 1 << "placeAtAddress" << QByteArray("1\r\n1\r\n16\r\n134234112") << 4;
    }
    void AProjectKeepsTheChosenModeAndPlacement() {
        QFETCH(int, mode);
        QFETCH(QString, placement);
        QFETCH(QByteArray, lines);
        QFETCH(int, picture);
        StartOnMergerPage();
        SetMode(mode);
        Find<QRadioButton>(qPrintable(placement))->click();
        if (placement == "placeAtAddress") {
            auto* address = Find<QLineEdit>("address");
            address->selectAll();
            QTest::keyClicks(address, QStringLiteral("8004000"));
        }
        dialogs_->files.push_back(Path("p.lxn"));
        Find<QToolButton>("saveProjectButton")->click();
        QVERIFY2(Read("p.lxn").contains("\r\n0\r\n" + lines + "\r\n"), Read("p.lxn").constData());

        StartOnMergerPage(Path("p.lxn"));
        QCOMPARE(Find<QComboBox>("modeChoice")->currentIndex(), mode);
        QVERIFY(Find<QRadioButton>(qPrintable(placement))->isChecked());
        QCOMPARE(Page().shownPicture(), picture);
        if (placement == "placeAtAddress") QCOMPARE(Text("address"), QStringLiteral("08004000"));
    }

    void AProjectSavedBeforeAnyChoiceOpensThePageAsItStarts() {
        Write("p.lxn", "LEXICORNPROJECTFILE\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n16\r\n0\r\n0\r\n0\r\n1\r\n");
        StartOnMergerPage(Path("p.lxn"));
        QCOMPARE(Find<QComboBox>("modeChoice")->currentText(), QStringLiteral("Append Lexicorn"));
        QVERIFY(Find<QRadioButton>("placeAtEnd")->isChecked());
        QCOMPARE(Page().shownPicture(), 0);
    }

    void AlignmentWindowAppliesOnlyWhatTheUserConfirms() {
        StartOnMergerPage();
        dialogs_->answers.push_back(false);
        WithAlignmentWindow([](QComboBox& list, gui::MergeAlignmentDialog& form) {
            QCOMPARE(form.windowTitle(), QStringLiteral("Advanced..."));
            QCOMPARE(list.currentText(), QStringLiteral("16"));
            SaveScreenshot(form, QStringLiteral("alignment-window"));
            list.setCurrentIndex(2);
            form.findChild<QPushButton*>(QStringLiteral("doneButton"))->click();
        });
        QCOMPARE(dialogs_->Take(),
                 (QStringList{"Question: Changing alignment require changes in your embedded "
                              "Lexicorn search function. Default API searches Lexicorn at "
                              "addresses multiply of 16 to speed-up the ROM seacrh process. Are "
                              "you sure you want to apply changes?",
                              "Message: Closing advanced window without applying settings."}));
        QCOMPARE(window_->settings().searchStep, 16);

        dialogs_->answers.push_back(true);
        WithAlignmentWindow([](QComboBox& list, gui::MergeAlignmentDialog& form) {
            list.setCurrentIndex(2);
            form.findChild<QPushButton*>(QStringLiteral("doneButton"))->click();
        });
        QCOMPARE(window_->settings().searchStep, 4);

        dialogs_->Take();
        dialogs_->answers.push_back(false);
        WithAlignmentWindow([](QComboBox& list, gui::MergeAlignmentDialog& form) {
            QCOMPARE(list.currentText(), QStringLiteral("4"));
            list.setCurrentIndex(3);
            form.findChild<QPushButton*>(QStringLiteral("doneButton"))->click();
        });
        QCOMPARE(dialogs_->Take().last(),
                 QStringLiteral("Message: Closing advanced window without applying settings."));
        QCOMPARE(window_->settings().searchStep, 4);

        WithAlignmentWindow([](QComboBox& list, gui::MergeAlignmentDialog& form) {
            QCOMPARE(list.currentText(), QStringLiteral("4"));
            list.setCurrentIndex(0);
            form.findChild<QPushButton*>(QStringLiteral("cancelButton"))->click();
            QCOMPARE(list.currentText(), QStringLiteral("4"));
        });
        WithAlignmentWindow([](QComboBox&, gui::MergeAlignmentDialog& form) {
            form.findChild<QPushButton*>(QStringLiteral("doneButton"))->click();  // unchanged: silent
        });
        QVERIFY(dialogs_->shown.isEmpty());
        QCOMPARE(window_->settings().searchStep, 4);
    }

    void AlignmentWindowAnswersOnlyEscapeAndEnter() {
        StartOnMergerPage();
        WithAlignmentWindow([](QComboBox& list, gui::MergeAlignmentDialog& form) {
            QTest::keyClick(&list, Qt::Key_Down);
            QCOMPARE(list.currentText(), QStringLiteral("16"));  // arrows are ignored
            list.setCurrentIndex(1);
            QTest::keyClick(&list, Qt::Key_Escape);
            QVERIFY(!form.isVisible());
        });
        QCOMPARE(window_->settings().searchStep, 16);
        dialogs_->answers.push_back(true);
        WithAlignmentWindow([](QComboBox& list, gui::MergeAlignmentDialog& form) {
            list.setCurrentIndex(1);
            QTest::keyClick(&list, Qt::Key_Return);
            QVERIFY(!form.isVisible());
        });
        QCOMPARE(window_->settings().searchStep, 2);
    }

    void TheFillByteIsTypedAndFillsTheGaps() {
        StartOnMergerPage();
        ChooseAll();
        WithAlignmentWindow([](QComboBox&, gui::MergeAlignmentDialog& form) {
            auto* field = form.findChild<QLineEdit*>(QStringLiteral("fillField"));
            QCOMPARE(field->text(), QStringLiteral("00"));
            field->selectAll();
            QTest::keyClicks(field, QStringLiteral("ff"));
            QTest::keyClick(field, Qt::Key_Escape);  // taken back
        });
        QCOMPARE(window_->settings().fillByte, 0);
        WithAlignmentWindow([](QComboBox&, gui::MergeAlignmentDialog& form) {
            auto* field = form.findChild<QLineEdit*>(QStringLiteral("fillField"));
            form.activateWindow();
            QTest::mouseClick(field, Qt::LeftButton, {}, QPoint(field->width() - 2, field->height() / 2));
            QTest::keyClicks(field, QStringLiteral("ff"));  // a click and the digits: no selecting first
            QCOMPARE(field->text(), QStringLiteral("FF"));
            SaveScreenshot(form, QStringLiteral("alignment-window-fill"));
            QTest::keyClick(field, Qt::Key_Return);
        });
        QCOMPARE(window_->settings().fillByte, 0xFF);
        Merge();
        QCOMPARE(dialogs_->Take(), QStringList{Done(0xD0)});
        QCOMPARE(Read("out.bin"), kTarget + QByteArray(8, '\xFF') + kImage);  // 200 bytes, then 16-aligned
    }

    // The same failing job through the core, the command line and the window: the command line
    // prints and the window shows the core's one message, each in its own line breaks.
    void SameFailureGivesTheSameWordsInBothFrontEnds_data() {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QByteArray>("targetBytes");
        QTest::addColumn<QString>("output");
        QTest::addColumn<QString>("address");  // empty: append at the end
        QTest::addColumn<int>("afterChoosing");
        const auto after = [](AfterChoosing step) { return static_cast<int>(step); };
        QTest::newRow("ImageNoLongerALexicorn")
            << "target.bin" << kTarget << "out.bin" << QString() << after(AfterChoosing::kImageRewritten);
        QTest::newRow("ImageGone") << "target.bin" << kTarget << "out.bin" << QString()
                                   << after(AfterChoosing::kImageRemoved);
        QTest::newRow("TargetGone") << "target.bin" << kTarget << "out.bin" << QString()
                                    << after(AfterChoosing::kTargetRemoved);
        QTest::newRow("DamagedHexTarget") << "bad.hex" << QByteArray(":020000040800F3\n:00000001FF\n")
                                          << "out.hex" << QString() << after(AfterChoosing::kNothing);
        QTest::newRow("AddressBeyond4GB") << "target.bin" << kTarget << "out.bin"
                                          << QStringLiteral("FFFFFFF0") << after(AfterChoosing::kNothing);
        QTest::newRow("OutputIsTheTarget")
            << "target.bin" << kTarget << "target.bin" << QString() << after(AfterChoosing::kNothing);
        QTest::newRow("OutputIsAFolder")
            << "target.bin" << kTarget << "folder" << QString() << after(AfterChoosing::kNothing);
    }
    void SameFailureGivesTheSameWordsInBothFrontEnds() {
        QFETCH(QString, target);
        QFETCH(QByteArray, targetBytes);
        QFETCH(QString, output);
        QFETCH(QString, address);
        QFETCH(int, afterChoosing);
        StartOnMergerPage();
        Write("image.bin", kImage);
        Write(target, targetBytes);
        QDir(dir_->path()).mkdir(QStringLiteral("folder"));
        ChooseFile("chooseImageButton", "image.bin");
        ChooseFile("chooseTargetButton", target);
        if (QFile::exists(Path(output))) dialogs_->answers.push_back(true);  // to replace it
        ChooseFile("chooseOutputButton", output);
        switch (static_cast<AfterChoosing>(afterChoosing)) {
            case AfterChoosing::kNothing:
                break;
            case AfterChoosing::kImageRewritten:
                Write("image.bin", QByteArray("no image at all"));
                break;
            case AfterChoosing::kImageRemoved:
                QFile::remove(Path("image.bin"));
                break;
            case AfterChoosing::kTargetRemoved:
                QFile::remove(Path(target));
                break;
        }
        const bool atAddress = !address.isEmpty();
        SetMode(atAddress ? 1 : 0);
        if (atAddress) {
            Find<QRadioButton>("placeAtAddress")->click();
            Find<QLineEdit>("address")->setText(address);
        }
        dialogs_->Take();

        const MergeResult core =
            lexicorn::Merge({Path("image.bin").toStdString(),
                             Path(target).toStdString(),
                             Path(output).toStdString(),
                             {atAddress ? MergeMode::kOverwrite : MergeMode::kAppend,
                              atAddress ? MergePlacement::kAddress : MergePlacement::kEnd,
                              address.toUInt(nullptr, 16), 16, 0},
                             std::nullopt});
        QVERIFY(core.code != kSuccess);

        Merge();
        QCOMPARE(dialogs_->Take(), QStringList{"Error: " + QString::fromStdString(core.message)});

        std::vector<std::string> args = {"lexicorn",
                                         "merge",
                                         Path("image.bin").toStdString(),
                                         Path(target).toStdString(),
                                         Path(output).toStdString(),
                                         "-y"};
        if (atAddress) args.insert(args.end(), {"--mode", "overwrite", "--place", address.toStdString()});
        std::vector<const char*> argv;
        for (const std::string& arg : args) argv.push_back(arg.c_str());
        std::ostringstream out, err;
        QCOMPARE(cli::RunCommandLine(static_cast<int>(argv.size()), argv.data(), {out, err}),
                 cli::kExitFailure);
        QCOMPARE(PrintedText(err.str()), WithLineFeeds(core.message));
        QCOMPARE(out.str(), std::string());
    }

    // What a merge may not be meant to do: the window asks (No preset) in the words the command line
    // warns with, after the target's name; the command line merges all the same.
    void SameRiskGivesTheSameWordsInBothFrontEnds_data() {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QByteArray>("targetBytes");
        QTest::addColumn<QString>("output");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("fact");
        QTest::newRow("OverwrittenData")
            << "target.bin" << kTarget << "out.bin"
            << "10"
            << "the Lexicorn overwrites 64 bytes of the target's data at 0x00000010-0x0000004F";
        QTest::newRow("BeyondABinarysEnd")
            << "target.bin" << QByteArray(200, '\xFF') << "out.bin"
            << "1000"
            << "the address 00001000 lies outside the target's data (00000000 to 000000C7): the output grows "
               "from 200 bytes to 4160 bytes";
        QTest::newRow("OutsideAHexTargetsData")
            << "fw.hex" << QByteArray(":020000040800F2\n:04000000FFFFFFFF00\n:00000001FF\n") << "out.hex"
            << "F00"
            << "the address 00000F00 lies outside the target's data (08000000 to 08000003)";
    }
    void SameRiskGivesTheSameWordsInBothFrontEnds() {
        QFETCH(QString, target);
        QFETCH(QByteArray, targetBytes);
        QFETCH(QString, output);
        QFETCH(QString, address);
        QFETCH(QString, fact);
        StartOnMergerPage();
        Write("image.bin", kImage);
        Write(target, targetBytes);
        ChooseFile("chooseImageButton", "image.bin");
        ChooseFile("chooseTargetButton", target);
        ChooseFile("chooseOutputButton", output);
        SetMode(1);
        Find<QRadioButton>("placeAtAddress")->click();
        Find<QLineEdit>("address")->setText(address);
        dialogs_->Take();
        dialogs_->answers.push_back(false);
        Merge();
        const QStringList asked = dialogs_->Take();
        QCOMPARE(asked.size(), 2);
        const QString question = "Question (No): " + fact.left(1).toUpper() + fact.mid(1) + ".\r";
        QVERIFY2(asked[0].startsWith(question), qPrintable(asked[0]));
        QVERIFY2(asked[0].endsWith(" Are you sure you want to continue?"), qPrintable(asked[0]));
        QCOMPARE(asked[1], QStringLiteral("Information: Aborting merge process."));
        QVERIFY(!QFile::exists(Path(output)));

        std::vector<std::string> args = {"lexicorn",
                                         "merge",
                                         Path("image.bin").toStdString(),
                                         Path(target).toStdString(),
                                         Path(output).toStdString(),
                                         "--mode",
                                         "overwrite",
                                         "--place",
                                         address.toStdString()};
        std::vector<const char*> argv;
        for (const std::string& arg : args) argv.push_back(arg.c_str());
        std::ostringstream out, err;
        QCOMPARE(cli::RunCommandLine(static_cast<int>(argv.size()), argv.data(), {out, err}),
                 cli::kExitSuccess);
        QCOMPARE(QString::fromStdString(err.str()),
                 "lexicorn: warning: " + Path(target) + ": " + fact + "\n");
        QVERIFY(QFile::exists(Path(output)));
    }

    void MergePicturesDiffer() {
        QSet<QByteArray> seen;
        for (int index = 0; index < 5; ++index) {
            const QImage picture = gui::MergePicture(index).toImage();
            QCOMPARE(picture.size(), QSize(244, 73));
            seen.insert(
                QByteArray(reinterpret_cast<const char*>(picture.constBits()), picture.sizeInBytes()));
        }
        QCOMPARE(seen.size(), 5);
    }
};

}  // namespace lexicorn::test

QTEST_MAIN(lexicorn::test::MergePageTest)
#include "MergePageTest.moc"
