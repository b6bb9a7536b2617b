// Progress stored with each save and restored with its load, through the
// simulator's save and load routines and the real INI calls.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "overlay/notice_queue.h"
#include "progress/progress_store.h"
#include "save_test_session.h"

namespace {

constexpr char kSaveReadError[] = "SAVE ERROR: could not read the completed game save.";
constexpr char kSaveWriteError[] = "SAVE ERROR: could not write mod progress.";
constexpr char kLoadWarning[] = "LOAD WARNING: save fingerprint unavailable. Mod counters start at zero.";
constexpr char kLoadedZeros[] = "LOADED Triads=0 Leone=0 Cartel=0 Yardies=0";

using Values = std::vector<uint32_t>;

std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

std::string Repeat(const std::string& piece, int times, const std::string& separator) {
    std::string text;
    for (int i = 0; i < times; ++i) text += (i ? separator : "") + piece;
    return text;
}

class ProgressStore : public SaveSession {
protected:
    // Saves to slot 1 and returns the key its progress is filed under.
    std::wstring SavedKey() {
        sim::SaveGame(1);
        return sim::ExpectedSaveKey(sim::SaveFilePath(1));
    }

    std::string Stored(const std::wstring& section, const wchar_t* key) {
        wchar_t value[300] = {};
        GetPrivateProfileStringW(section.c_str(), key, L"<none>", value, 300, progressPath);
        return testfiles::Narrow(value);
    }

    void Store(const std::wstring& section, const wchar_t* key, const std::string& value) {
        WritePrivateProfileStringW(section.c_str(), key, Wide(value).c_str(), progressPath);
    }

    // Something in every field that a load must replace.
    void DirtyState() {
        for (int g = 0; g < kGangCount; ++g) SetGang(g, 999, 975, 1, 2, 3);
        fearState.peds[5].stamp = 9;
        fearState.peds[5].killCounted = true;
        fearState.noticeShown = true;
        fearState.tickStarted = true;
        fearState.zones = 41;
        fearState.scaled = 17;
        fearState.lastStatusTime = 12345;
        fearState.lastHostileMask = 5;
        NoticeOverlay::Show(1, 25, NoticeOverlay::MembersKilled, 100);
    }

    void ExpectResetAround(const Values& gangs) {
        EXPECT_EQ(GangValues(), gangs);
        EXPECT_EQ(fearState.peds[5].stamp, 0u);
        EXPECT_FALSE(fearState.peds[5].killCounted);
        EXPECT_FALSE(fearState.noticeShown);
        EXPECT_FALSE(fearState.tickStarted);
        EXPECT_EQ(fearState.zones, 0u);
        EXPECT_EQ(fearState.scaled, 0u);
        EXPECT_EQ(fearState.lastStatusTime, 0u);
        EXPECT_EQ(fearState.lastHostileMask, 0xFFFFFFFFu);
        EXPECT_EQ(lineSlot.duration + bannerSlot.duration, 0u);
    }

    Values LoadSlot1() {
        const sim::CallResult load = sim::LoadGame(1);
        EXPECT_EQ(load.eax & 0xFF, 1u);
        return GangValues();
    }
};

const Values kZeros(20, 0);

}  // namespace

TEST_F(ProgressStore, SaveFilesTheCountersUnderTheSaveAndLoadRestoresThem) {
    SetGang(0, 120, 100, 100, 0, 0);
    SetGang(1, 7, 0, 0, 0, 0);
    SetGang(2, 305, 300, 100, 200, 300);
    SetGang(3, 2147483646, 2147483625, 100, 200, 300);
    const Values saved = GangValues();

    const sim::SaveCall save = sim::SaveGame(1);
    EXPECT_EQ(save.call.eax & 0xFF, 1u);
    EXPECT_TRUE(save.call.registersKept);
    EXPECT_TRUE(save.call.stackBalanced);
    EXPECT_TRUE(save.seenSaver);
    EXPECT_EQ(save.seenArgument, 1u);
    const std::wstring key = sim::ExpectedSaveKey(sim::SaveFilePath(1));
    EXPECT_EQ(Stored(key, L"StateV2"),
              "120,100,100,0,0,7,0,0,0,0,305,300,100,200,300,2147483646,2147483625,100,200,300");
    EXPECT_EQ(Stored(key, L"Counts"), "<none>");
    EXPECT_EQ(Log(), (std::vector<std::string>{"SAVED Triads=120 Leone=7 Cartel=305 Yardies=2147483646"}));
    EXPECT_EQ(GangValues(), saved);

    DirtyState();
    const sim::CallResult load = sim::LoadGame(1);
    EXPECT_EQ(load.eax & 0xFF, 1u);
    EXPECT_TRUE(load.registersKept);
    EXPECT_TRUE(load.stackBalanced);
    ExpectResetAround(saved);
    EXPECT_EQ(Log().back(), "LOADED Triads=120 Leone=7 Cartel=305 Yardies=2147483646");
}

TEST_F(ProgressStore, SaveAndLoadWorkWhileSwitchedOffOrInactive) {
    settings.Enabled = false;
    fearState.active = false;
    SetGang(2, 60, 50, 0, 0, 0);
    const std::wstring key = SavedKey();
    EXPECT_EQ(Stored(key, L"StateV2"), "0,0,0,0,0,0,0,0,0,0,60,50,0,0,0,0,0,0,0,0");
    DirtyState();
    EXPECT_EQ(LoadSlot1()[10], 60u);
}

TEST_F(ProgressStore, FailedHostSaveOrLoadTouchesNothing) {
    SetGang(0, 30, 25, 0, 0, 0);
    sim::SetSaveFailure(sim::SaveFailure::ResultZero);
    sim::SaveCall save = sim::SaveGame(1);
    EXPECT_EQ(save.call.eax & 0xFF, 0u);
    EXPECT_TRUE(save.call.stackBalanced);

    sim::SetSaveFailure(sim::SaveFailure::StatusNonZero);
    save = sim::SaveGame(2);
    EXPECT_EQ(save.call.eax & 0xFF, 1u);  // the host's answer, unchanged
    EXPECT_EQ(save.status, 2u);
    EXPECT_FALSE(testfiles::Exists(progressPath));
    EXPECT_TRUE(Log().empty());

    sim::SetSaveFailure(sim::SaveFailure::None);
    sim::SaveGame(1);
    DirtyState();
    const Values before = GangValues();
    const size_t logLines = Log().size();
    sim::SetLoadFailure(true);
    const sim::CallResult load = sim::LoadGame(1);
    EXPECT_EQ(load.eax & 0xFF, 0u);
    EXPECT_EQ(sim::LoadGamePath(testfiles::Narrow(folder) + "\\nothing.b").eax & 0xFF, 0u);
    EXPECT_EQ(GangValues(), before);
    EXPECT_EQ(fearState.zones, 41u);
    EXPECT_TRUE(fearState.noticeShown);
    EXPECT_EQ(Log().size(), logLines);
}

TEST_F(ProgressStore, FingerprintAndWriteFailuresAreLogged) {
    SetGang(1, 80, 75, 0, 0, 0);
    faults::FailCall(faults::kCreateFileA, 1);
    EXPECT_EQ(sim::SaveGame(1).call.eax & 0xFF, 1u);
    faults::FailCall(faults::kWritePrivateProfileStringW, 1);
    EXPECT_EQ(sim::SaveGame(1).call.eax & 0xFF, 1u);
    EXPECT_FALSE(testfiles::Exists(progressPath));
    EXPECT_EQ(Log(), (std::vector<std::string>{kSaveReadError, kSaveWriteError}));
    EXPECT_EQ(GangValues()[5], 80u);

    faults::Clear();
    sim::SaveGame(1);  // stored this time
    faults::FailCall(faults::kCreateFileA, 1);
    DirtyState();
    EXPECT_EQ(sim::LoadGame(1).eax & 0xFF, 1u);
    ExpectResetAround(kZeros);
    const std::vector<std::string> log = Log();
    ASSERT_EQ(log.size(), 5u);
    EXPECT_EQ(log[3], kLoadWarning);
    EXPECT_EQ(log[4], kLoadedZeros);
}

TEST_F(ProgressStore, SaveNeverSeenLoadsAsZero) {
    SetGang(0, 50, 50, 0, 0, 0);
    sim::SaveGame(1);
    testfiles::Remove(progressPath);
    Store(L"S0000000000000000-5000", L"StateV2", "5,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0");

    DirtyState();
    EXPECT_EQ(LoadSlot1(), kZeros);
    EXPECT_EQ(Log().back(), kLoadedZeros);
}

TEST_F(ProgressStore, StateV2IsReadStrictly) {
    const std::string zeros = Repeat("0", 20, ",");
    const std::string refused[] = {
        zeros + ",",                                         // trailing comma
        "0, " + Repeat("0", 19, ","),                        // a blank
        "0,0,0,0,0,0,0,0,0,0,0,0 ,0,0,0,0,0,0,0,0",
        "+0," + Repeat("0", 19, ","),                        // signs
        "0,-0," + Repeat("0", 18, ","),
        Repeat("0", 15, ","),                                // a group missing
        Repeat("0", 21, ","),                                // a sixth number in the last group
        "40,30,0,0,0," + Repeat("0", 15, ","),               // milestone not a multiple of 25
        "20,25,0,0,0," + Repeat("0", 15, ","),               // milestone above the kills
        "99,75,100,0,0," + Repeat("0", 15, ","),             // an announced mark above the kills
        Repeat("0", 15, ",") + ",10,0,0,0,11",
        "2147483647," + Repeat("0", 19, ","),                // above the ceiling
        "99999999999," + Repeat("0", 19, ","),               // overflow
        "0,," + Repeat("0", 18, ","),
        "0x1," + Repeat("0", 19, ","),
        "",
    };
    const GangProgress marker{1, 2, {3, 4, 5}};
    for (const std::string& text : refused) {
        GangProgress progress[kGangCount] = {marker, marker, marker, marker};
        EXPECT_FALSE(ParseStateV2(Wide(text).c_str(), progress)) << text;
        EXPECT_EQ(progress[3].announced[2], 5u) << text;
    }

    // Each refusal through the file falls back to "Counts".
    const std::wstring key = SavedKey();
    Store(key, L"Counts", "1,2,3,4");
    for (const std::string& text : refused) {
        Store(key, L"StateV2", text);
        DirtyState();
        const Values loaded = LoadSlot1();
        EXPECT_EQ(loaded[0] + loaded[5] + loaded[10] + loaded[15], 10u) << text;
    }

    GangProgress progress[kGangCount];
    ASSERT_TRUE(ParseStateV2(L"0,0,0,0,0,2147483646,2147483625,100,200,300,25,25,25,0,25,30,25,0,0,0", progress));
    EXPECT_EQ(progress[1].kills, 2147483646u);
    EXPECT_EQ(progress[1].milestone, 2147483625u);
    EXPECT_EQ(progress[1].announced[2], 300u);
    EXPECT_EQ(progress[2].announced[2], 25u);
    EXPECT_EQ(progress[3].kills, 30u);
}

TEST_F(ProgressStore, TwentyZerosNeedNoCounts) {
    const std::wstring key = SavedKey();
    Store(key, L"StateV2", Repeat("0", 20, ","));
    Store(key, L"Counts", "5,5,5,5");
    DirtyState();
    EXPECT_EQ(LoadSlot1(), kZeros);
}

TEST_F(ProgressStore, StateValueTooLongForTheBufferGoesToCounts) {
    // Zero-padded numbers are valid; only the length differs: 254 and 255 characters.
    const std::string tail = "," + Repeat("000000000000", 18, ",");  // 18 numbers, 18 commas: 234
    const std::string fits = "0000000050,000000050" + tail;           // 254
    const std::string tooLong = "00000000050,000000050" + tail;       // 255
    ASSERT_EQ(fits.size(), 254u);
    ASSERT_EQ(tooLong.size(), 255u);

    const std::wstring key = SavedKey();
    Store(key, L"Counts", "7,0,0,0");
    Store(key, L"StateV2", fits);
    EXPECT_EQ(LoadSlot1()[0], 50u);
    Store(key, L"StateV2", tooLong);
    EXPECT_EQ(LoadSlot1()[0], 7u);

    // A count line cut by the buffer would end in a shortened number.
    Store(key, L"Counts", "0,0,0," + std::string(240, ' ') + "1234567890");
    EXPECT_EQ(LoadSlot1(), kZeros);
}

TEST_F(ProgressStore, CountsRestoreKillsWithDerivedMarks) {
    const std::wstring key = SavedKey();
    Store(key, L"StateV2", "");
    Store(key, L"Counts", "10,20,30,40");
    DirtyState();
    EXPECT_EQ(LoadSlot1(), (Values{10, 0, 0, 0, 0, 20, 0, 0, 0, 0, 30, 25, 0, 0, 0, 40, 25, 0, 0, 0}));
    EXPECT_EQ(Log().back(), "LOADED Triads=10 Leone=20 Cartel=30 Yardies=40");

    Store(key, L"Counts", "150,250,300,2147483646");
    EXPECT_EQ(LoadSlot1(), (Values{150, 150, 100, 0, 0, 250, 250, 100, 200, 0, 300, 300, 100, 200, 300,
                                   2147483646, 2147483625, 100, 200, 300}));

    // The thresholds of the moment decide the marks.
    settings.stageKills[0] = 10;
    settings.stageKills[1] = 20;
    settings.stageKills[2] = 40;
    Store(key, L"Counts", "10,19,39,40");
    EXPECT_EQ(LoadSlot1(), (Values{10, 0, 10, 0, 0, 19, 0, 10, 0, 0, 39, 25, 10, 20, 0, 40, 25, 10, 20, 40}));
}

TEST_F(ProgressStore, CountsRefuseSignsWrapsAndAnythingAfterTheLastNumber) {
    const std::string refused[] = {
        "10,20,30,40,", "10,20,30,40 ", "10,20,30,40x", "10,20,30", "10,20,30,40,50", "10 ,20,30,40",
        "0,0,0,2147483647", "-2147483650,0,0,0", "-4294967295,0,0,0", "+5,0,0,0", "0,-0,0,0",
        "4294967306,0,0,0",   // ten digits that a C runtime would wrap to 10
        "4294967296,0,0,0",   // ... to 0
        "00000000010,0,0,0",  // eleven digits
        "", ",,,", "a,b,c,d",
    };
    for (const std::string& text : refused) {
        uint32_t kills[kGangCount] = {9, 9, 9, 9};
        EXPECT_FALSE(ParseCounts(Wide(text).c_str(), kills)) << text;
        EXPECT_EQ(kills[0], 9u) << text;
    }
    uint32_t kills[kGangCount] = {};
    ASSERT_TRUE(ParseCounts(L" 10,  20,\t30,0000000040", kills));
    EXPECT_EQ(kills[1], 20u);
    EXPECT_EQ(kills[3], 40u);
    ASSERT_TRUE(ParseCounts(L"2147483646,0,0,1", kills));
    EXPECT_EQ(kills[0], 2147483646u);

    // The damaged lines of the issue restore nothing through the file either.
    const std::wstring key = SavedKey();
    Store(key, L"StateV2", "");
    for (const char* text : {"-2147483650,0,0,0", "-4294967295,1,1,1", "4294967306,10,10,10"}) {
        Store(key, L"Counts", text);
        DirtyState();
        EXPECT_EQ(LoadSlot1(), kZeros) << text;
    }
}

TEST_F(ProgressStore, StateV2OfTheLargestCountersFits) {
    for (int g = 0; g < kGangCount; ++g) SetGang(g, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF);
    wchar_t text[kStateChars];
    ASSERT_TRUE(FormatStateV2(text));
    EXPECT_EQ(testfiles::Narrow(text), Repeat("4294967295", 20, ","));
    EXPECT_EQ(text[219], L'\0');
}
