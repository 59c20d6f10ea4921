// The .xls reader runs as a helper program: its answer, its limits and its stopping.
#include <fmt/format.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <limits>
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

// An answer arrives in pieces cut anywhere: read whole, byte by byte and in pieces of 7 bytes.
constexpr std::size_t kPieceSizes[] = {std::numeric_limits<std::size_t>::max(), 1, 7};

SheetCells Decode(const std::string& fileName, std::string_view reply, std::size_t pieceBytes,
                  std::size_t mostTextBytes = SheetCells::kMostTextBytes) {
    XlsReplyDecoder decoder(fileName, mostTextBytes);
    for (std::size_t at = 0; at < reply.size(); at += std::min(pieceBytes, reply.size() - at))
        decoder.Take(reply.substr(at, pieceBytes));
    return decoder.Finish();
}

TEST(XlsReply, CarriesEveryTextAsItIs) {
    SheetCells cells("table.xls", "Sheet 1: the \"strings\"");
    cells.Set(1, 1, "Id");
    cells.Set(1, 3, "12 34:5");  // digits, spaces and colons inside a text
    cells.Set(2, 2, "line\nbreak");
    cells.Set(65535, 255, std::string(70000, 'x'));
    for (const std::size_t pieceBytes : kPieceSizes) {
        SCOPED_TRACE(pieceBytes);
        const SheetCells back = Decode("table.xls", EncodeXlsReply(cells), pieceBytes);
        EXPECT_EQ(back.SheetName(), cells.SheetName());
        ASSERT_EQ(back.RowCount(), cells.RowCount());
        ASSERT_EQ(back.ColumnCount(), cells.ColumnCount());
        for (const auto& [row, column] : {std::pair{1, 1}, {1, 2}, {1, 3}, {2, 2}, {65535, 255}})
            EXPECT_EQ(back.Get(row, column), cells.Get(row, column));
    }
    EXPECT_EQ(Decode("t.xls", "R0:", 1).SheetName(), "");
}

std::string MessageOfDecoding(const std::string& reply, std::size_t pieceBytes,
                              std::size_t mostTextBytes = SheetCells::kMostTextBytes) {
    try {
        Decode("t.xls", reply, pieceBytes, mostTextBytes);
    } catch (const TableError& error) {
        return error.what();
    }
    return "no error";
}

TEST(XlsReply, AnErrorAnswerNamesTheFileOnce) {
    for (const std::size_t pieceBytes : kPieceSizes) {
        SCOPED_TRACE(pieceBytes);
        EXPECT_EQ(MessageOfDecoding(EncodeXlsError("t.xls: not a readable .xls workbook (FreeXL error -2)"),
                                    pieceBytes),
                  "t.xls: not a readable .xls workbook (FreeXL error -2)");
        EXPECT_EQ(MessageOfDecoding(EncodeXlsError("out of memory"), pieceBytes), "t.xls: out of memory");
        for (const char* broken : {"", "X", "R", "R5:ab", "R1:a1 1", "R1:a1 1 9:short", "R1:a1 x 1:a",
                                   "R1:a-1 1 1:a", "R99999999999999999999999:a", "R1:a1  1 1:a", "R:"})
            EXPECT_EQ(MessageOfDecoding(broken, pieceBytes),
                      "t.xls: the .xls reader answered in a form this program does not know")
                << broken;
        // The reader's messages are a line, not a flood.
        EXPECT_EQ(MessageOfDecoding("E" + std::string(1 << 16, 'e'), pieceBytes),
                  "t.xls: " + std::string(1 << 16, 'e'));
        EXPECT_EQ(MessageOfDecoding("E" + std::string((1 << 16) + 1, 'e'), pieceBytes),
                  "t.xls: the .xls reader answered in a form this program does not know");
    }
}

// A flood is refused while it arrives: at its first byte out of form, and at a text longer than the
// table has room for, before the text's bytes come (here with a cap of 1 MiB instead of 512 MB).
TEST(XlsReply, AFloodIsRefusedAsItArrives) {
    constexpr std::size_t kCap = 1 << 20;
    const auto messageOfTaking = [&](const std::vector<std::string>& pieces) {
        XlsReplyDecoder decoder("t.xls", kCap);
        for (std::size_t i = 0; i < pieces.size(); ++i) {
            try {
                decoder.Take(pieces[i]);
            } catch (const TableError& error) {
                return fmt::format("piece {}: {}", i, error.what());
            }
        }
        return std::string("taken");
    };
    const std::string refusedText = "t.xls: the table unpacks to more than 1 MB of text; refused";
    EXPECT_EQ(messageOfTaking({"R1:S", std::string(1 << 16, '\0'), "1 1 1:a"}),
              "piece 1: t.xls: the .xls reader answered in a form this program does not know");
    EXPECT_EQ(messageOfTaking({"R1:S1 1 1048576:", std::string(kCap, 'x')}), "taken");
    EXPECT_EQ(messageOfTaking({"R1:S1 1 1048577:", "x"}), "piece 0: " + refusedText);
    EXPECT_EQ(messageOfTaking({"R1048577:", "x"}), "piece 0: " + refusedText);
    EXPECT_EQ(messageOfTaking({"R1:S1 1 600000:", std::string(600000, 'x'), "1 2 600000:"}),
              "piece 2: " + refusedText);
    // Empty cells hold nothing: only the answer's own cap stops a flood of them.
    EXPECT_EQ(messageOfTaking({"R1:S",
                               [] {
                                   std::string empty;
                                   for (int i = 0; i < 100000; ++i) empty += "1 1 0:";
                                   return empty;
                               }()}),
              "taken");
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

// Nothing past the most reply bytes is handed on (1 MiB here instead of 1 GB), so the caller never
// holds more than them; an answer of exactly them is taken.
TEST_F(FakeReader, AnswersAreHandedOnUpToTheirCap) {
    constexpr std::size_t kCap = 1 << 20;
    for (const std::size_t size : {kCap, kCap + 1, 4 * kCap}) {
        SCOPED_TRACE(size);
        Use("head -c " + std::to_string(size) + " /dev/zero");
        HelperRun run{(dir_ / "reader").string(), {}};
        run.mostReplyBytes = kCap;
        std::size_t handed = 0;
        std::string outcome = "answered";
        try {
            RunHelper(run, [&](std::string_view piece) { handed += piece.size(); });
        } catch (const HelperFailure& failure) {
            outcome = failure.what();
        }
        EXPECT_EQ(outcome, size <= kCap ? "answered" : "answered with more than 1 MB and was stopped");
        if (size <= kCap) {
            EXPECT_EQ(handed, size);
        } else {
            EXPECT_LE(handed, kCap);
        }
    }
}

// A reader that floods its answer with what is no answer is stopped at the first byte, not after a
// gigabyte held in memory.
TEST_F(FakeReader, IsStoppedWhenItsAnswerLeavesItsForm) {
    Use(writePid_ + "; exec cat /dev/zero");
    EXPECT_EQ(MessageOfReading(), table_ + ": the .xls reader answered in a form this program does not know");
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
