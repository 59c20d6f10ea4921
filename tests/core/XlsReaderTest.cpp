// The .xls reader runs as a helper program: its answer, its limits and its stopping.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <thread>

#include "platform/HelperProcess.h"
#include "support/TestSupport.h"
#include "table/TableReader.h"
#include "table/WorkbookFormats.h"
#include "table/XlsReply.h"

namespace lexicorn {
namespace {

namespace fs = std::filesystem;

TEST(XlsReply, CarriesEveryTextAsItIs) {
    SheetCells cells("table.xls", "Sheet 1: the \"strings\"");
    cells.Set(1, 1, "Id");
    cells.Set(1, 3, "12 34:5");  // digits, spaces and colons inside a text
    cells.Set(2, 2, "line\nbreak");
    cells.Set(65535, 255, std::string(70000, 'x'));
    const SheetCells back = DecodeXlsReply("table.xls", EncodeXlsReply(cells));
    EXPECT_EQ(back.SheetName(), cells.SheetName());
    ASSERT_EQ(back.RowCount(), cells.RowCount());
    ASSERT_EQ(back.ColumnCount(), cells.ColumnCount());
    for (const auto& [row, column] : {std::pair{1, 1}, {1, 2}, {1, 3}, {2, 2}, {65535, 255}})
        EXPECT_EQ(back.Get(row, column), cells.Get(row, column));
}

TEST(XlsReply, AnErrorAnswerNamesTheFileOnce) {
    const auto messageOf = [](const std::string& reply) {
        try {
            DecodeXlsReply("t.xls", reply);
        } catch (const TableError& error) {
            return std::string(error.what());
        }
        return std::string("no error");
    };
    EXPECT_EQ(messageOf(EncodeXlsError("t.xls: not a readable .xls workbook (FreeXL error -2)")),
              "t.xls: not a readable .xls workbook (FreeXL error -2)");
    EXPECT_EQ(messageOf(EncodeXlsError("out of memory")), "t.xls: out of memory");
    for (const char* broken : {"", "X", "R", "R5:ab", "R1:a1 1", "R1:a1 1 9:short", "R1:a1 x 1:a",
                               "R1:a-1 1 1:a", "R99999999999999999999999:a"})
        EXPECT_EQ(messageOf(broken), "t.xls: the .xls reader answered in a form this program does not know")
            << broken;
}

// Points the table layer at another reader program and time limit for one test.
class FakeReader : public testing::Test {
  protected:
    void Use(const std::string& script, const char* timeLimit = nullptr) {
        const fs::path program = dir_ / "reader";
        test::WriteFile(program, "#!/bin/sh\n" + script + "\n");
        fs::permissions(program, fs::perms::owner_all);
        setenv("LEXICORN_XLS_READER", program.c_str(), 1);
        if (timeLimit)
            setenv("LEXICORN_XLS_TIME_LIMIT", timeLimit, 1);
        else
            unsetenv("LEXICORN_XLS_TIME_LIMIT");
        fs::remove(dir_ / "child");
    }
    void TearDown() override {
        unsetenv("LEXICORN_XLS_READER");
        unsetenv("LEXICORN_XLS_TIME_LIMIT");
        SetHelperWaitHook({});
    }
    std::string MessageOfReading() {
        try {
            ReadXlsSheet(table_);
        } catch (const TableError& error) {
            return error.what();
        }
        return "read without an error";
    }
    // The reader writes its process id first: afterwards it must be gone, not left running.
    void ExpectReaderGone() {
        const std::string pid = test::ReadFile(dir_ / "pid");
        ASSERT_FALSE(pid.empty());
        EXPECT_NE(kill(std::stoi(pid), 0), 0) << "the reader still runs";
    }
    // A wrapper's child is reparented when the wrapper goes, and an ended child may stay a zombie that
    // nobody reaps: that one runs no more.
    static bool Runs(pid_t pid) {
        std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
        std::string line;
        if (!std::getline(stat, line)) return false;
        const std::size_t state = line.rfind(") ");
        return state == std::string::npos || line.substr(state + 2, 1) != "Z";
    }
    // The child ends with the reader's group, though not within the call that ends the reader: it is
    // given a moment.
    void ExpectChildGone() {
        const pid_t pid = std::stoi(test::ReadFile(dir_ / "child"));
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (Runs(pid) && std::chrono::steady_clock::now() < giveUp)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        EXPECT_FALSE(Runs(pid)) << "the reader's child still runs";
        if (Runs(pid)) kill(pid, SIGKILL);
    }
    test::TempDir dir_;
    const std::string table_ = (dir_ / "table.xls").string();
    const std::string writePid_ = "echo $$ > '" + (dir_ / "pid").string() + "'";
};

TEST_F(FakeReader, IsKilledWhenItRunsOutOfTime) {
    Use(writePid_ + "; exec sleep 30", "1");
    EXPECT_EQ(MessageOfReading(), table_ + ": the .xls reader took longer than 1 s and was stopped");
    ExpectReaderGone();
}

// Closing its answer does not end the limits: a reader that goes on running is still stopped.
TEST_F(FakeReader, IsKilledWhenItRunsOutOfTimeAfterItsAnswer) {
    Use(writePid_ + "; exec >&-; exec sleep 30", "1");
    EXPECT_EQ(MessageOfReading(), table_ + ": the .xls reader took longer than 1 s and was stopped");
    ExpectReaderGone();
}

TEST_F(FakeReader, IsKilledWhenTheWaitIsCancelled) {
    Use(writePid_ + "; exec sleep 30");
    int waits = 0;
    SetHelperWaitHook([&] { return ++waits < 3; });
    EXPECT_EQ(MessageOfReading(), table_ + ": the .xls reader was stopped");
    ExpectReaderGone();
}

// A reader that is a wrapper (a shell script here) starts children of its own: however the reading
// ends, none of them is left running.
TEST_F(FakeReader, EndsTheChildrenOfAWrapperWithIt) {
    // The child's process id is in place, whole, before the wrapper goes on.
    const std::string startChild = "echo $! > '" + (dir_ / "child.new").string() + "' && mv '" +
                                   (dir_ / "child.new").string() + "' '" + (dir_ / "child").string() + "'";
    const std::string sleeper = "sleep 30 & " + startChild + "; wait";
    Use(sleeper, "1");
    EXPECT_EQ(MessageOfReading(), table_ + ": the .xls reader took longer than 1 s and was stopped");
    ExpectChildGone();

    Use(sleeper);
    SetHelperWaitHook([&] { return !fs::exists(dir_ / "child"); });
    EXPECT_EQ(MessageOfReading(), table_ + ": the .xls reader was stopped");
    ExpectChildGone();
    SetHelperWaitHook({});

    // A child that lets go of the answer would outlive an answer given in time.
    Use("(exec >&-; exec sleep 30) & " + startChild + "; printf 'R1:S1 1 2:ab'");
    EXPECT_EQ(ReadXlsSheet(table_).Get(1, 1), "ab");
    ExpectChildGone();
}

TEST_F(FakeReader, FailuresSayWhatHappened) {
    const std::map<std::string, std::string> cases = {
        {"kill -SEGV $$",
         "failed on this file (it died of signal 11: the file is damaged or needs more memory "
         "than allowed)"},
        {"exit 3", "failed on this file (exit code 3)"},
        {"printf 'R1:S1 1 2:ab'", ""},
    };
    for (const auto& [script, message] : cases) {
        SCOPED_TRACE(script);
        Use(script);
        if (message.empty())
            EXPECT_EQ(ReadXlsSheet(table_).Get(1, 1), "ab");
        else
            EXPECT_EQ(MessageOfReading(), table_ + ": the .xls reader " + message);
    }
    setenv("LEXICORN_XLS_READER", (dir_ / "missing").c_str(), 1);
    EXPECT_EQ(MessageOfReading(), table_ + ": the .xls reader could not be started: " +
                                      (dir_ / "missing").string() + ": No such file or directory");
    Use("exit 0", "soon");
    EXPECT_EQ(MessageOfReading(), "LEXICORN_XLS_TIME_LIMIT=soon: not a number of seconds");
}

}  // namespace
}  // namespace lexicorn
