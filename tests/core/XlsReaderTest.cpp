// The .xls reader runs as a helper program: its answer, its limits and its stopping.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
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
        if (timeLimit) setenv("LEXICORN_XLS_TIME_LIMIT", timeLimit, 1);
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
