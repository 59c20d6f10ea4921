// Times a 32-bit build of TABLE.csv (every language) twice: by the core alone with a host that
// shows nothing, and from the window's Create button with the progress window (the reading pauses
// left out). Prints the best of ROUNDS for both and the window's extra time. Both write into the
// current folder.
//   lexicorn-window-build TABLE.csv PROJECT.lxn [ROUNDS]
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPushButton>
#include <cstdio>
#include <cstdlib>

#include "compile/BuildRun.h"
#include "gui/BuildController.h"
#include "gui/Dialogs.h"
#include "gui/MainWindow.h"
#include "project/ProjectFile.h"

namespace {

using namespace lexicorn;

class SilentHost final : public BuildHost {
  public:
    void SetCaption(const std::string&) override {}
    void SetStatusText(const std::string&) override {}
    void SetRange(std::uint32_t) override {}
    void Step() override {}
    void Complete() override {}
    void Show() override {}
    void Hide() override {}
    void ShowError(const std::string& text, ResultCode) override {
        std::fprintf(stderr, "%s\n", text.c_str());
    }
    void ShowInformation(const std::string&) override {}
    void Pause(std::chrono::milliseconds) override {}
    bool CancelRequested() const override { return false; }
    void ClearCancelRequest() override {}
    void ShowFindings(const CheckReport&) override {}
};

class SilentDialogs final : public gui::Dialogs {
  public:
    void Error(QWidget*, const QString& text) override { std::fprintf(stderr, "%s\n", qPrintable(text)); }
    void Information(QWidget*, const QString&) override {}
    void Message(QWidget*, const QString&) override {}
    bool Question(QWidget*, const QString&, Preset) override { return false; }
    Unsaved AskAboutUnsaved(QWidget*, const QString&) override { return Unsaved::kDiscard; }
    std::optional<QString> OpenFile(QWidget*, const gui::FileChoice&) override { return std::nullopt; }
    std::optional<QString> SaveFile(QWidget*, const gui::FileChoice&) override { return std::nullopt; }
    std::optional<QString> ChooseFolder(QWidget*, const QString&, const QString&) override {
        return std::nullopt;
    }
};

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: lexicorn-window-build TABLE.csv PROJECT.lxn [ROUNDS]\n");
        return 2;
    }
    const std::string table = argv[1];
    const QString project = QString::fromLocal8Bit(argv[2]);
    const int rounds = argc > 3 ? std::atoi(argv[3]) : 3;
    ProjectSettings settings;
    settings.tableType = TableType::k32Bit;
    if (!SaveProjectFile(project.toStdString(), settings)) return 1;

    SilentDialogs dialogs;
    gui::WizardStartup startup;
    startup.splashTime = std::chrono::milliseconds(0);
    startup.readingPauses = false;
    startup.projectPath = project;
    gui::MainWindow window(dialogs, startup);
    window.show();
    QEventLoop buildEnded;
    QObject::connect(&window.buildController(), &gui::BuildController::finished, &buildEnded,
                     &QEventLoop::quit);

    // The two kinds take turns, so that a busier moment of the machine meets both alike.
    double coreBest = 1e9, windowBest = 1e9;
    for (int round = 0; round < rounds; ++round) {
        LoadedTable loaded = LoadTable(table);
        for (LanguageEntry& entry : loaded.languages) entry.selected = true;
        SilentHost host;
        QElapsedTimer clock;
        clock.start();
        BuildLexicorn(host, loaded, settings, BuildOptions{});
        coreBest = std::min(coreBest, clock.nsecsElapsed() / 1e9);

        window.loadTable(QString::fromStdString(table));
        window.findChild<QPushButton*>(QStringLiteral("addAllLanguagesButton"))->click();
        clock.restart();
        window.createImage();
        buildEnded.exec();
        windowBest = std::min(windowBest, clock.nsecsElapsed() / 1e9);
    }
    std::printf("core build %.3fs, window build %.3fs: the window adds %.1f%%\n", coreBest, windowBest,
                (windowBest / coreBest - 1) * 100);
    return 0;
}
