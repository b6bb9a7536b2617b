// The diagnostic log through the real CreateFileW and WriteFile.
#include <gtest/gtest.h>

#include <cstring>
#include <cwchar>

#include "fear/fear_state.h"
#include "host/log.h"
#include "host/module_entry.h"
#include "host/text_print.h"
#include "support/test_files.h"
#include "support/win32_faults.h"

namespace {

class DiagnosticLog : public testing::Test {
protected:
    std::wstring folder = testfiles::NewFolder(L"log");
    std::wstring path = folder + L"\\Quellbrand.log";

    void SetUp() override {
        InitFearState();
        UsePath(path);
    }
    void TearDown() override { wmemset(logPath, 0, kPathChars); }
    static void UsePath(const std::wstring& p) { swprintf(logPath, kPathChars, L"%ls", p.c_str()); }
};

TEST_F(DiagnosticLog, AppendsLinesWithCrLf) {
    testfiles::WriteFile(path, "earlier session\r\n");
    LogLine("first");
    LogLine("");
    LogLine("second line");
    EXPECT_EQ("earlier session\r\nfirst\r\n\r\nsecond line\r\n", testfiles::ReadFile(path));
}

TEST_F(DiagnosticLog, CountsLineCarriesTheFourGangsInOrder) {
    fearState.gangs[0].kills = 12;
    fearState.gangs[2].kills = 3;
    fearState.gangs[3].kills = 4294967295u;
    LogCounts("KILL");
    EXPECT_EQ("KILL Triads=12 Leone=0 Cartel=3 Yardies=4294967295\r\n", testfiles::ReadFile(path));
}

TEST_F(DiagnosticLog, ADeletedLogIsCreatedAnew) {
    LogLine("one");
    testfiles::Remove(path);
    LogLine("two");
    EXPECT_EQ("two\r\n", testfiles::ReadFile(path));
}

TEST_F(DiagnosticLog, AMissingFolderOrEmptyPathLosesTheLineSilently) {
    const std::wstring missing = folder + L"\\no-such-folder\\Quellbrand.log";
    UsePath(missing);
    LogLine("lost");
    EXPECT_FALSE(testfiles::Exists(missing));
    wmemset(logPath, 0, kPathChars);
    LogLine("lost too");
}

TEST_F(DiagnosticLog, AFileHeldWithoutWriteSharingLosesOnlyThatLine) {
    LogLine("before");
    HANDLE exclusive = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, exclusive);
    LogLine("while locked");
    CloseHandle(exclusive);
    LogLine("after");
    EXPECT_EQ("before\r\nafter\r\n", testfiles::ReadFile(path));
}

TEST_F(DiagnosticLog, OthersMayReadAndAppendMeanwhile) {
    LogLine("ours");
    HANDLE reader = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, reader);
    LogLine("while read");
    CloseHandle(reader);
    EXPECT_EQ("ours\r\nwhile read\r\n", testfiles::ReadFile(path));
}

// Each call of a line failing in turn costs at most that line and leaves no
// handle open (but the one whose close failed); the next line comes out whole.
TEST_F(DiagnosticLog, EachFailingCallCostsAtMostItsLine) {
    // What reaches the file: with no failure, then when the open, the text,
    // the line end or the close fails.
    const std::string reaching[] = {"line\r\n", "", "\r\n", "line", "line\r\n"};
    std::string before;
    int k = -1, handles = 0;
    const int cases = faults::Sweep(
        "log",
        [&] {
            ++k;
            before = testfiles::ReadFile(path);
            handles = faults::LiveFileHandles();
        },
        [] { LogLine("line"); },
        [&](faults::Api failed) {
            ASSERT_LT(k, 5);
            EXPECT_EQ(testfiles::ReadFile(path), before + reaching[k]);
            EXPECT_EQ(faults::LiveFileHandles(), handles + (failed == faults::kCloseHandle));
            LogLine("next");
            EXPECT_EQ(testfiles::ReadFile(path), before + reaching[k] + "next\r\n");
        });
    EXPECT_EQ(cases, 4);
}

}  // namespace

// Text from the settings file or a module's path, made safe for the log:
// cut to its buffer, and every unit that is not printable ASCII written as '?'.
TEST(LogText, IsCutToItsBufferAndWritesOnlyPrintableAscii) {
    const struct {
        const wchar_t* text;
        size_t size;
        const char* expected;
    } rows[] = {
        {L"abcdef", 4, "abc"},
        {L"abc", 4, "abc"},
        {L"abc", 1, ""},
        {L" ~\x7F\x1F\x0416\x00E9", 8, " ~????"},
    };
    for (const auto& row : rows) {
        char out[8];
        memset(out, 'x', sizeof out);
        ToLogText(row.text, out, row.size);
        EXPECT_STREQ(row.expected, out) << row.size;
    }
    char untouched[2] = {'x', '\0'};
    ToLogText(L"abc", untouched, 0);
    EXPECT_STREQ("x", untouched);
}

// Every formatted text: cut to its buffer, always terminated, and a cut is told.
TEST(PrintText, CutsToItsBufferTerminatesAndTellsACut) {
    const struct {
        size_t size;
        int result;
        const char* expected;
    } rows[] = {{8, 6, "ab-123"}, {7, 6, "ab-123"}, {6, -1, "ab-12"}, {1, -1, ""}};
    for (const auto& row : rows) {
        char text[8];
        wchar_t wide[8];
        memset(text, 'x', sizeof text);
        wmemset(wide, L'x', 8);
        EXPECT_EQ(row.result, PrintText(text, row.size, "%s-%u", "ab", 123u)) << row.size;
        EXPECT_STREQ(row.expected, text) << row.size;
        EXPECT_EQ(row.result, PrintText(wide, row.size, L"%ls-%u", L"ab", 123u)) << row.size;
        EXPECT_EQ(testfiles::Narrow(wide), row.expected) << row.size;
    }
}
