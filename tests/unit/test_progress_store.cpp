// Progress stored with each save and restored with its load, through the
// simulator's save and load routines and the real INI calls.
#include <gtest/gtest.h>
#include <windows.h>

#include <set>
#include <string>
#include <vector>

#include "progress/progress_store.h"
#include "save_test_session.h"

namespace {

constexpr char kLoadedZeros[] = "LOADED Triads=0 Leone=0 Cartel=0 Yardies=0";
constexpr char kLoadWarning[] = "LOAD WARNING: save fingerprint unavailable. Mod counters start at zero.";
const Values kZeros(20, 0);

std::string CountsLine(const char* tag, const Values& gangs) {
    return std::string(tag) + " Triads=" + std::to_string(gangs[0]) + " Leone=" + std::to_string(gangs[5]) +
           " Cartel=" + std::to_string(gangs[10]) + " Yardies=" + std::to_string(gangs[15]);
}

std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

std::string Repeat(const std::string& piece, int times) {
    std::string text;
    for (int i = 0; i < times; ++i) text += (i ? "," : "") + piece;
    return text;
}

// Slot 1 saved once before each test; its progress is filed under `key`.
class ProgressStore : public SaveSession {
protected:
    void SetUp() override {
        SaveSession::SetUp();
        sim::SaveGame(1);
        key = sim::ExpectedSaveKey(sim::SaveFilePath(1));
        testfiles::Remove(progressPath);
        testfiles::Remove(logPath);
    }

    std::string Stored(const wchar_t* name) {
        wchar_t value[300] = {};
        GetPrivateProfileStringW(key.c_str(), name, L"<none>", value, 300, progressPath);
        return testfiles::Narrow(value);
    }
    void Store(const wchar_t* name, const std::string& value) {
        WritePrivateProfileStringW(key.c_str(), name, Wide(value).c_str(), progressPath);
    }
    Values LoadSlot1() {
        PlayForAWhile();
        EXPECT_EQ(sim::LoadGame(1).eax & 0xFF, 1u);
        return GangValues();
    }

    std::wstring key;
};

}  // namespace

TEST_F(ProgressStore, SaveFilesTheCountersUnderTheSaveAndLoadRestoresThem) {
    SetGang(0, 120, 100, 100, 0, 0);
    SetGang(1, 7, 0, 0, 0, 0);
    SetGang(2, 305, 300, 100, 200, 300);
    SetGang(3, 2147483646, 2147483625, 100, 200, 300);
    const Values saved = GangValues();
    const sim::SaveCall save = sim::SaveGame(1);
    EXPECT_EQ(save.call.eax & 0xFF, 1u);
    EXPECT_TRUE(save.call.registersKept && save.call.stackBalanced && save.seenSaver);
    EXPECT_EQ(save.seenArgument, 1u);
    EXPECT_EQ(Stored(L"StateV2"), "120,100,100,0,0,7,0,0,0,0,305,300,100,200,300,2147483646,2147483625,100,200,300");
    EXPECT_EQ(Stored(L"Counts"), "<none>");
    EXPECT_EQ(GangValues(), saved);

    PlayForAWhile();
    const sim::CallResult load = sim::LoadGame(1);
    EXPECT_EQ(load.eax & 0xFF, 1u);
    EXPECT_TRUE(load.registersKept && load.stackBalanced);
    ExpectFreshGame(saved);
    EXPECT_EQ(Log(), (std::vector<std::string>{"SAVED Triads=120 Leone=7 Cartel=305 Yardies=2147483646",
                                               "LOADED Triads=120 Leone=7 Cartel=305 Yardies=2147483646"}));

    // Switched off and inactive alike.
    settings.Enabled = fearState.active = false;
    SetGang(2, 60, 50, 0, 0, 0);
    sim::SaveGame(1);
    EXPECT_EQ(Stored(L"StateV2"), "120,100,100,0,0,7,0,0,0,0,60,50,0,0,0,2147483646,2147483625,100,200,300");
    EXPECT_EQ(LoadSlot1()[10], 60u);
}

TEST_F(ProgressStore, FailedOrObjectlessHostSaveAndFailedLoadTouchNothing) {
    SetGang(0, 30, 25, 0, 0, 0);
    sim::SetSaveFailure(sim::SaveFailure::ResultZero);
    EXPECT_EQ(sim::SaveGame(1).call.eax & 0xFF, 0u);
    sim::SetSaveFailure(sim::SaveFailure::StatusNonZero);
    sim::SaveCall save = sim::SaveGame(2);
    EXPECT_EQ(save.call.eax & 0xFF, 1u);  // the host's answer, unchanged
    EXPECT_EQ(save.status, 2u);
    sim::SetSaveFailure(sim::SaveFailure::None);
    save = sim::SaveGame(2, false);  // no saver object, so no status to read
    EXPECT_EQ(save.call.eax & 0xFF, 1u);
    EXPECT_TRUE(save.call.registersKept && save.call.stackBalanced);
    EXPECT_FALSE(testfiles::Exists(progressPath));

    Store(L"StateV2", Repeat("5", 20));
    PlayForAWhile();
    sim::SetLoadFailure(true);
    EXPECT_EQ(sim::LoadGame(1).eax & 0xFF, 0u);
    sim::SetLoadFailure(false);
    EXPECT_EQ(sim::LoadGamePath(testfiles::Narrow(folder) + "\\nothing.b").eax & 0xFF, 0u);
    EXPECT_EQ(GangValues()[0], 310u);
    EXPECT_EQ(fearState.zones, 900u);
    EXPECT_TRUE(fearState.noticeShown);
    EXPECT_NE(bannerSlot.duration, 0u);
    EXPECT_TRUE(Log().empty());
}

TEST_F(ProgressStore, FingerprintAndWriteFailuresAreLogged) {
    SetGang(1, 80, 75, 0, 0, 0);
    faults::FailCall(faults::kCreateFileA, 1);
    EXPECT_EQ(sim::SaveGame(1).call.eax & 0xFF, 1u);
    faults::FailCall(faults::kWritePrivateProfileStringW, 1);
    EXPECT_EQ(sim::SaveGame(1).call.eax & 0xFF, 1u);
    EXPECT_FALSE(testfiles::Exists(progressPath));
    EXPECT_EQ(GangValues()[5], 80u);

    faults::Clear();
    sim::SaveGame(1);  // stored this time
    faults::FailCall(faults::kCreateFileA, 1);
    PlayForAWhile();
    EXPECT_EQ(sim::LoadGame(1).eax & 0xFF, 1u);
    ExpectFreshGame(kZeros);
    EXPECT_EQ(Log(), (std::vector<std::string>{
                         "SAVE ERROR: could not read the completed game save.",
                         "SAVE ERROR: could not write mod progress.", "SAVED Triads=0 Leone=80 Cartel=0 Yardies=0",
                         kLoadWarning, kLoadedZeros}));
}

TEST_F(ProgressStore, LoadTakesAStrictStateV2ElseAValidCountsLineElseZero) {
    const std::string z15 = Repeat("0", 15), z18 = Repeat("0", 18), z19 = Repeat("0", 19);
    const std::string padded = "," + Repeat("000000000000", 18);  // zeros, 234 characters
    const Values marked{10, 0, 0, 0, 0, 20, 0, 0, 0, 0, 30, 25, 0, 0, 0, 40, 25, 0, 0, 0};
    const struct {
        std::string state, counts;
        Values expected;
    } accepted[] = {
        {"0,0,0,0,0,2147483646,2147483625,100,200,300,25,25,25,0,25,30,25,0,0,0", "1,2,3,4",
         {0, 0, 0, 0, 0, 2147483646, 2147483625, 100, 200, 300, 25, 25, 25, 0, 25, 30, 25, 0, 0, 0}},
        {Repeat("0", 20), "1,2,3,4", kZeros},
        {"0000000050,000000050" + padded, "1,2,3,4", {50, 50, 0, 0, 0}},  // 254 characters fit the buffer
        {"", "10,20,30,40", marked},
        {"", " 10,  20,\t30,0000000040", marked},
        {"", "10,20,30," + std::string(243, ' ') + "40", marked},  // 254 characters fit the buffer
        {"", "150,250,300,2147483646",
         {150, 150, 100, 0, 0, 250, 250, 100, 200, 0, 300, 300, 100, 200, 300, 2147483646, 2147483625, 100, 200, 300}},
    };
    for (const auto& c : accepted) {
        Store(L"StateV2", c.state);
        Store(L"Counts", c.counts);
        Values expected = c.expected;
        expected.resize(20);
        EXPECT_EQ(LoadSlot1(), expected) << c.state << " / " << c.counts;
    }

    // A "StateV2" refused as a whole sends the load to "Counts".
    const std::string refusedStates[] = {
        "00000000050,000000050" + padded,  // 255 characters do not fit
        Repeat("0", 20) + ",", "0, " + z19, "0,0,0,0,0,0,0,0,0,0,0,0 ," + Repeat("0", 8), "+0," + z19,
        "0,-0," + z18, z15, Repeat("0", 21), "40,30,0,0,0," + z15, "20,25,0,0,0," + z15, "99,75,100,0,0," + z15,
        z15 + ",10,0,0,0,11", z19 + ",", "2147483647," + z19, "99999999999," + z19, "0,," + z18, "0x1," + z19};
    Store(L"Counts", "10,20,30,40");
    for (const std::string& state : refusedStates) {
        Store(L"StateV2", state);
        EXPECT_EQ(LoadSlot1(), marked) << state;
    }

    // A refused "Counts" leaves zeros.
    const std::string refusedCounts[] = {
        "10,20,30,40,", "10,20,30,40x", "10,20,30", "10,20,30,40,50", "10 ,20,30,40", "0,0,0,2147483647",
        "-2147483650,0,0,0", "-4294967295,1,1,1", "+5,0,0,0", "0,-0,0,0", ",,,", "a,b,c,d", "",
        "4294967306,10,10,10",  // ten digits that a C runtime would wrap to 10
        "4294967296,0,0,0",     // ... to 0
        "00000000010,0,0,0",    // eleven digits
        "0,0,0," + std::string(240, ' ') + "1234567890"};  // cut by the buffer
    Store(L"StateV2", "");
    for (const std::string& counts : refusedCounts) {
        Store(L"Counts", counts);
        EXPECT_EQ(LoadSlot1(), kZeros) << counts;
    }
    EXPECT_EQ(Log().back(), kLoadedZeros);

    // Blanks at the ends, which the INI reading strips.
    uint32_t kills[kGangCount] = {};
    EXPECT_FALSE(ParseCounts(L"10,20,30,40 ", kills) || ParseCounts(L"10,20,30,40\t", kills));
    EXPECT_TRUE(ParseCounts(L" 10,20,30,40", kills));
}

TEST_F(ProgressStore, CountsMarksFollowTheThresholdsOfTheMoment) {
    settings.stageKills[0] = 10;
    settings.stageKills[1] = 20;
    settings.stageKills[2] = 40;
    Store(L"Counts", "10,19,39,40");
    EXPECT_EQ(LoadSlot1(), (Values{10, 0, 10, 0, 0, 19, 0, 10, 0, 0, 39, 25, 10, 20, 0, 40, 25, 10, 20, 40}));
    EXPECT_EQ(Log().back(), "LOADED Triads=10 Leone=19 Cartel=39 Yardies=40");
}

TEST_F(ProgressStore, SaveNeverSeenLoadsAsZero) {
    WritePrivateProfileStringW(L"S0000000000000000-5000", L"StateV2", Wide(Repeat("5", 20)).c_str(), progressPath);
    EXPECT_EQ(LoadSlot1(), kZeros);
    EXPECT_EQ(Log(), std::vector<std::string>{kLoadedZeros});
}

TEST_F(ProgressStore, StateV2OfTheLargestCountersFits) {
    for (int g = 0; g < kGangCount; ++g) SetGang(g, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF);
    wchar_t text[kStateChars];
    FormatStateV2(text);
    EXPECT_EQ(testfiles::Narrow(text), Repeat("4294967295", 20));
    EXPECT_EQ(text[219], L'\0');
}

// Each Windows call of a save, then of a load, failing in turn. The host's
// answer comes back unchanged and no handle stays open. A save either files
// its entry whole or leaves the file byte for byte as it was, and its log
// line says which; a later load finds the new entry or the older one, never a
// part. A copy a crash left beside the file is never read, and a save that
// fails leaves no copy of its own. A load writes nothing.
TEST_F(ProgressStore, EachFailingWindowsCallOfASaveOrALoadKeepsEveryEntry) {
    using namespace faults;
    const std::string own = "[" + testfiles::Narrow(key) + "]\r\nCounts=10,20,30,40\r\n";
    const std::string other = "[S0123456789ABCDEF-4096]\r\nStateV2=" + Repeat("5", 20) + "\r\n";
    const std::string before = own + other;
    const std::string after =
        own + "StateV2=120,100,100,0,0,7,0,0,0,0,305,300,100,200,300,2147483646,2147483625,100,200,300\r\n" + other;
    const std::wstring copyPath = std::wstring(progressPath) + L".new";
    const std::string leftOver = "[" + testfiles::Narrow(key) + "]\r\nStateV2=" + Repeat("9", 20) + "\r\n";
    const Values older{10, 0, 0, 0, 0, 20, 0, 0, 0, 0, 30, 25, 0, 0, 0, 40, 25, 0, 0, 0};  // from "Counts"
    const Values saved{120, 100, 100, 0,   0,   7,          0,          0,   0,   0,
                       305, 300, 100, 200, 300, 2147483646, 2147483625, 100, 200, 300};
    const std::string readError = "SAVE ERROR: could not read the completed game save.\r\n";
    const std::string writeError = "SAVE ERROR: could not write mod progress.\r\n";
    const std::set<Api> readFailures{kCreateFileA, kGetFileSizeEx, kReadFile};
    const std::set<Api> writeFailures{kCreateFileW,   kReadFile,         kWriteFile,   kCloseHandle,
                                      kGetPrivateProfileStringW, kWritePrivateProfileStringW,
                                      kGetFileSizeEx, kFlushFileBuffers, kMoveFileExW};
    std::set<Api> reportedWrites;
    const auto progress = [&] { return testfiles::ReadFile(progressPath); };
    std::string logBefore;
    int handles = 0;
    sim::SaveCall save;
    const auto prepareSave = [&] {
        CloseLeftOpenFiles();
        testfiles::WriteFile(progressPath, before);
        testfiles::WriteFile(copyPath, leftOver);
        for (int g = 0; g < kGangCount; ++g) {
            const uint32_t* v = &saved[5 * g];
            SetGang(g, v[0], v[1], v[2], v[3], v[4]);
        }
        logBefore = testfiles::ReadFile(logPath);
        handles = LiveFileHandles();
    };
    const auto logged = [&] { return testfiles::ReadFile(logPath).substr(logBefore.size()); };
    Sweep("save", prepareSave, [&] { save = sim::SaveGame(1); },
          [&](Api failed) {
              EXPECT_EQ(save.call.eax & 0xFF, 1u);
              EXPECT_TRUE(save.call.registersKept && save.call.stackBalanced);
              EXPECT_EQ(GangValues(), saved);
              const bool unread = logged() == readError, unwritten = logged() == writeError;
              EXPECT_EQ(progress(), unread || unwritten ? before : after);
              EXPECT_TRUE(!unread || readFailures.count(failed));
              EXPECT_TRUE(!unwritten || writeFailures.count(failed));
              if (unwritten) reportedWrites.insert(failed);
              const bool unlogged = !unread && !unwritten && logged() != CountsLine("SAVED", saved) + "\r\n";
              EXPECT_TRUE(!unlogged || failed == kCreateFileW || failed == kWriteFile) << logged();  // the log's own
              EXPECT_EQ(LiveFileHandles(), handles + (failed == kCloseHandle));
              CloseLeftOpenFiles();
              EXPECT_EQ(testfiles::ReadFile(copyPath), unread ? leftOver : "");
              EXPECT_EQ(LoadSlot1(), unread || unwritten ? older : saved);
          });
    EXPECT_EQ(reportedWrites, writeFailures);

    // A rewrite that Windows reports as done but left short.
    for (const size_t cut : {size_t{1}, other.size(), other.size() + 12}) {
        prepareSave();
        ShortenNextProfileWrite(static_cast<DWORD>(cut));
        sim::SaveGame(1);
        EXPECT_EQ(progress(), before) << cut;
        EXPECT_EQ(logged(), writeError) << cut;
        EXPECT_FALSE(testfiles::Exists(copyPath)) << cut;
    }

    sim::CallResult load;
    Sweep(
        "load",
        [&] {
            CloseLeftOpenFiles();
            testfiles::WriteFile(progressPath, after);
            testfiles::WriteFile(copyPath, leftOver);
            PlayForAWhile();
            logBefore = testfiles::ReadFile(logPath);
            handles = LiveFileHandles();
        },
        [&] { load = sim::LoadGame(1); },
        [&](Api failed) {
            EXPECT_EQ(load.eax & 0xFF, 1u);
            EXPECT_TRUE(load.registersKept && load.stackBalanced);
            EXPECT_EQ(progress(), after);
            const bool unread = readFailures.count(failed) == 1;
            // A "StateV2" that cannot be read sends the load to "Counts".
            const Values gangs = unread ? kZeros : failed == kGetPrivateProfileStringW ? older : saved;
            ExpectFreshGame(gangs);
            const std::string lines =
                (unread ? std::string(kLoadWarning) + "\r\n" : "") + CountsLine("LOADED", gangs) + "\r\n";
            if (failed != kCreateFileW && failed != kWriteFile) EXPECT_EQ(logged(), lines);
            EXPECT_EQ(LiveFileHandles(), handles + (failed == kCloseHandle));
        });
}
