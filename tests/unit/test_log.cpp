// The diagnostic log through the real CreateFileW and WriteFile.
#include <gtest/gtest.h>

#include <cwchar>

#include "fear/fear_state.h"
#include "host/log.h"
#include "host/module_entry.h"
#include "support/test_files.h"

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

}  // namespace
