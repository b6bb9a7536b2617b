// Settings read through the real GetPrivateProfileStringW from real INI files.
#include <gtest/gtest.h>

#include <windows.h>

#include <clocale>
#include <cstring>
#include <cwchar>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "host/module_entry.h"
#include "settings/settings.h"
#include "support/test_files.h"
#include "support/win32_faults.h"

namespace {

class SettingsFile : public testing::Test {
protected:
    std::wstring path = testfiles::NewFolder(L"settings") + L"\\Quellbrand.ini";

    void SetUp() override { wcsncpy(settingsPath, path.c_str(), kPathChars - 1); }
    void TearDown() override {
        wmemset(settingsPath, 0, kPathChars);
        faults::Clear();
        wmemset(logPath, 0, kPathChars);
    }

    void Load(const std::string& lines) {
        testfiles::WriteFile(path, "[Morwenstal]\r\n" + lines);
        LoadSettings();
    }
};

TEST_F(SettingsFile, NoFileGivesEveryDefault) {
    LoadSettings();
    EXPECT_TRUE(settings.Enabled && settings.EnableFear && settings.EnableRetaliation &&
                settings.EnableNotifications && settings.PreserveMissions && settings.DiagnosticLog);
    EXPECT_EQ(300u, KillsRequired());
    EXPECT_EQ(100u, Stage1Kills());
    EXPECT_EQ(200u, Stage2Kills());
    EXPECT_EQ(0.75f, settings.stageSpawnMultiplier[0]);
    EXPECT_EQ(0.5f, settings.stageSpawnMultiplier[1]);
    EXPECT_EQ(0.25f, settings.stageSpawnMultiplier[2]);
    EXPECT_EQ(20.0f, settings.FearRadius);
    EXPECT_EQ(45.0f, settings.DisengageRadius);
    EXPECT_EQ(150u, settings.TickMs);
    EXPECT_EQ(8000u, settings.retaliationMs);
    EXPECT_EQ(LanguageChoice::Auto, settings.Language);
    EXPECT_EQ(0x76, settings.ProgressKey);  // F7
    EXPECT_TRUE(settings.ProgressOnLoad);
}

TEST(ProgressKeySetting, NamesAndCodesOfKeys) {
    const struct {
        const wchar_t* name;
        int code;  // -1: not a key
    } cases[] = {
        {L"F1", 0x70},   {L"f12", 0x7B},     {L"F13", -1},  {L"F0", -1},       {L"F01", -1},   {L"F", 0x46},
        {L"a", 0x41},    {L"Z", 0x5A},       {L"0", 0x30},  {L"9", 0x39},      {L"AB", -1},    {L"@", -1},
        {L"NumPad0", 0x60}, {L"numpad9", 0x69}, {L"NumPad", -1}, {L"NumPad10", -1}, {L"NumPadX", -1},
        {L"118", 0x76},  {L"08", 8},         {L"254", 254}, {L"255", -1},      {L"00", -1},    {L"-5", -1},
        {L" 118", -1},   {L"118 ", -1},      {L"none", 0},  {L"NONE", 0},      {L"", -1},      {L"\u00E4", -1},
    };
    for (const auto& c : cases) {
        const std::optional<uint8_t> code = KeyCodeOfName(c.name);
        EXPECT_EQ(code ? *code : -1, c.code) << testfiles::Narrow(c.name);
    }
}

TEST_F(SettingsFile, BooleansAcceptOnlyTheirSpellingsAndDefaultToOn) {
    Load("Enabled=FALSE\r\nEnableFear=0\r\nEnableRetaliation=no\r\nEnableNotifications=False\r\n"
         "PreserveMissions=1\r\nDiagnosticLog=\r\n");
    EXPECT_FALSE(settings.Enabled);
    EXPECT_FALSE(settings.EnableFear);
    EXPECT_TRUE(settings.EnableRetaliation);  // misspelt: the feature stays on
    EXPECT_FALSE(settings.EnableNotifications);
    EXPECT_TRUE(settings.PreserveMissions);
    EXPECT_TRUE(settings.DiagnosticLog);
    EXPECT_FALSE(ReadBoolSetting(L"Enabled"));
    EXPECT_TRUE(ReadBoolSetting(L"NoSuchKey"));
}

TEST_F(SettingsFile, KillsRequiredIsBoundedAndDrivesTheStages) {
    Load("KillsRequired=2\r\n");
    EXPECT_EQ(3u, KillsRequired());
    EXPECT_EQ(1u, Stage1Kills());
    EXPECT_EQ(2u, Stage2Kills());

    Load("KillsRequired=3\r\nStage1Kills=50\r\nStage2Kills=60\r\n");
    EXPECT_EQ(1u, Stage1Kills());
    EXPECT_EQ(2u, Stage2Kills());

    Load("KillsRequired=5000000\r\n");
    EXPECT_EQ(1000000u, KillsRequired());
    Load("KillsRequired=999999\r\n");
    EXPECT_EQ(999999u, KillsRequired());
    Load("KillsRequired=abc\r\n");
    EXPECT_EQ(300u, KillsRequired());
    Load("KillsRequired=99999999999999999999\r\n");  // saturates, then bounded
    EXPECT_EQ(1000000u, KillsRequired());
    Load("KillsRequired=-7\r\n");
    EXPECT_EQ(3u, KillsRequired());
}

TEST_F(SettingsFile, StageThresholdRules) {
    Load("Stage1Kills=-5\r\n");
    EXPECT_EQ(1u, Stage1Kills());
    Load("Stage1Kills=1\r\n");
    EXPECT_EQ(1u, Stage1Kills());
    Load("Stage2Kills=50\r\n");
    EXPECT_EQ(101u, Stage2Kills());  // not above Stage1Kills: one above it
    Load("Stage1Kills=250\r\n");
    EXPECT_EQ(250u, Stage1Kills());
    EXPECT_EQ(200u, Stage2Kills());  // a missing key keeps its default below the first
    Load("Stage1Kills=250\r\nStage2Kills=abc\r\n");
    EXPECT_EQ(200u, Stage2Kills());
    Load("Stage1Kills=400\r\nStage2Kills=500\r\n");
    EXPECT_EQ(298u, Stage1Kills());
    EXPECT_EQ(299u, Stage2Kills());
    Load("KillsRequired=150\r\n");
    EXPECT_EQ(100u, Stage1Kills());
    EXPECT_EQ(149u, Stage2Kills());  // the default 200 is cut below KillsRequired
    Load("KillsRequired=200\r\n");
    EXPECT_EQ(199u, Stage2Kills());  // also when it equals KillsRequired
    Load("Stage2Kills=100\r\n");
    EXPECT_EQ(101u, Stage2Kills());  // equal to Stage1Kills: one above it
    Load("Stage2Kills=300\r\n");
    EXPECT_EQ(299u, Stage2Kills());
}

TEST_F(SettingsFile, IntegersWithTrailingTextOrOtherNotationsAreRefused) {
    Load("KillsRequired=300 ; comment\r\nTickMs=0x64\r\nRetaliationSeconds=5s\r\n");
    EXPECT_EQ(300u, KillsRequired());
    EXPECT_EQ(150u, settings.TickMs);
    EXPECT_EQ(8000u, settings.retaliationMs);
    Load("KillsRequired=  400\r\n");  // leading blanks are skipped (and trimmed by the reader)
    EXPECT_EQ(400u, KillsRequired());
}

TEST_F(SettingsFile, TickAndRetaliationBounds) {
    Load("TickMs=10\r\nRetaliationSeconds=0\r\n");
    EXPECT_EQ(50u, settings.TickMs);
    EXPECT_EQ(1000u, settings.retaliationMs);
    Load("TickMs=1001\r\nRetaliationSeconds=120\r\n");
    EXPECT_EQ(1000u, settings.TickMs);
    EXPECT_EQ(60000u, settings.retaliationMs);
    Load("TickMs=999\r\nRetaliationSeconds=-3\r\n");
    EXPECT_EQ(999u, settings.TickMs);
    EXPECT_EQ(1000u, settings.retaliationMs);
    Load("TickMs=49\r\n");
    EXPECT_EQ(50u, settings.TickMs);
}

TEST_F(SettingsFile, MultipliersFallBackAndStayOrdered) {
    Load("SpawnMultiplier=0.9\r\n");
    EXPECT_EQ(0.9f, settings.stageSpawnMultiplier[0]);
    EXPECT_EQ(0.9f, settings.stageSpawnMultiplier[1]);
    EXPECT_EQ(0.9f, settings.stageSpawnMultiplier[2]);
    Load("SpawnMultiplier=1.5\r\nStage2SpawnMultiplier=0.01\r\nStage1SpawnMultiplier=nan\r\n");
    EXPECT_EQ(0.25f, settings.stageSpawnMultiplier[2]);
    EXPECT_EQ(0.25f, settings.stageSpawnMultiplier[1]);  // 0.01 accepted, then raised to SpawnMultiplier
    EXPECT_EQ(0.75f, settings.stageSpawnMultiplier[0]);
    Load("SpawnMultiplier=0.01\r\n");
    EXPECT_EQ(0.01f, settings.stageSpawnMultiplier[2]);  // the bound itself, in single precision
    Load("SpawnMultiplier=0.009\r\nStage1SpawnMultiplier=0.5x\r\nStage2SpawnMultiplier=1e-1\r\n");
    EXPECT_EQ(0.25f, settings.stageSpawnMultiplier[2]);
    EXPECT_EQ(0.25f, settings.stageSpawnMultiplier[1]);  // 0.1 raised to 0.25
    EXPECT_EQ(0.75f, settings.stageSpawnMultiplier[0]);
}

TEST_F(SettingsFile, RadiiFallBackAndKeepTheirDistance) {
    Load("FearRadius=60\r\n");
    EXPECT_EQ(60.0f, settings.FearRadius);
    EXPECT_EQ(65.0f, settings.DisengageRadius);
    Load("FearRadius=120\r\nDisengageRadius=4\r\n");
    EXPECT_EQ(20.0f, settings.FearRadius);
    EXPECT_EQ(45.0f, settings.DisengageRadius);
    Load("FearRadius=2\r\nDisengageRadius=5\r\n");
    EXPECT_EQ(7.0f, settings.DisengageRadius);  // the bound taken, then raised to FearRadius + 5
    Load("FearRadius=2\r\nDisengageRadius=4.99\r\n");
    EXPECT_EQ(45.0f, settings.DisengageRadius);
    Load("FearRadius=2\r\nDisengageRadius=150\r\n");
    EXPECT_EQ(2.0f, settings.FearRadius);
    EXPECT_EQ(150.0f, settings.DisengageRadius);
    Load("FearRadius=inf\r\n");
    EXPECT_EQ(20.0f, settings.FearRadius);
}

// Read by the decimal point whatever locale another module set, and rounded
// to the nearest float, ties to the even one, however many digits decide it.
// The bits expected were worked out with exact fractions, outside the plugin.
TEST(DecimalSetting, NearestFloatInEveryLocaleAndTheCommaInNone) {
    const std::wstring tie = L"1.000000298023223876953125";  // halfway between the 2nd and 3rd float above 1
    const std::pair<std::wstring, uint32_t> numbers[] = {
        {L"20", 0x41A00000}, {L"  30.5", 0x41F40000}, {L"+2.5e1", 0x41C80000}, {L"1E2", 0x42C80000},
        {L".5", 0x3F000000}, {L"5.", 0x40A00000}, {L"-0.25", 0xBE800000}, {L"0.01", 0x3C23D70A},
        {L"1e-2", 0x3C23D70A}, {L"007.50e+0", 0x40F00000}, {L"0.1", 0x3DCCCCCD}, {L"149.99999", 0x4315FFFF},
        {L"0.000001e6", 0x3F800000}, {L"99999999999999999999e-18", 0x42C80000}, {L"\t\r 20", 0x41A00000},
        {L"0.00000000000000000000000012345678e26", 0x414587E6}, {L"-0", 0x80000000}, {L"0e99999", 0},
        // next to a midpoint or on one, and more digits than any midpoint has
        {L"0.69503244757652282", 0x3F31EDA5}, {L"-0.69503244757652282", 0xBF31EDA5},
        {L"1.9999999403953552", 0x3FFFFFFF}, {L"1.999999940395355224609375", 0x40000000},
        {L"1.9999999403953552246093749", 0x3FFFFFFF}, {tie, 0x3F800002}, {tie + std::wstring(100, L'0'), 0x3F800002},
        {tie + std::wstring(100, L'0') + L"1", 0x3F800003}, {L"1" + std::wstring(125, L'0') + L"e-100", 0x69045951},
        // the largest float, infinity, the smallest normal and subnormal ones, zero
        {L"3.4028235e38", 0x7F7FFFFF}, {L"3.4028235677973366e38", 0x7F7FFFFF}, {L"3.5e38", 0x7F800000},
        {L"340282356779733661637539395458142568448", 0x7F800000}, {L"1e39", 0x7F800000}, {L"1e99999", 0x7F800000},
        {L"1.1754942807573643e-38", 0x00800000}, {L"1.1754942807573642e-38", 0x007FFFFF}, {L"1.4e-45", 1},
        {L"7.0064923216240854e-46", 1}, {L"7.0064923216240853e-46", 0}, {L"1e-99999", 0}};
    const wchar_t* refused[] = {L"",   L" ",   L"30,5", L"30.5 ", L"1e",   L"1e+",  L".",  L"-",
                                L"nan", L"inf", L"0x14", L"20m",  L"2..5", L"1e5.", L"e5", L"+-1"};
    for (const char* locale : {"C", "Russian", "German"}) {
        ASSERT_NE(nullptr, setlocale(LC_ALL, locale)) << locale;
        for (const auto& [text, bits] : numbers) {
            float value = -1.0f;
            EXPECT_TRUE(ParseDecimalFloat(text.c_str(), &value)) << locale << " " << testing::PrintToString(text);
            EXPECT_EQ(0, memcmp(&bits, &value, sizeof value)) << locale << " " << testing::PrintToString(text);
        }
        for (const wchar_t* text : refused) {
            float value = -1.0f;
            EXPECT_FALSE(ParseDecimalFloat(text, &value)) << locale << " " << testing::PrintToString(text);
        }
    }
    setlocale(LC_ALL, "C");
}

TEST_F(SettingsFile, ValuesAreCutAt31Characters) {
    // 31 characters are read; the 32nd is lost, so 31 zeros and a 5 read as 0.
    Load("KillsRequired=" + std::string(31, '0') + "5\r\n");
    EXPECT_EQ(3u, KillsRequired());
    Load("KillsRequired=" + std::string(28, '0') + "500\r\n");
    EXPECT_EQ(500u, KillsRequired());
}

TEST_F(SettingsFile, ReloadReturnsADeletedKeyToItsDefault) {
    Load("KillsRequired=50\r\nEnabled=0\r\nFearRadius=30\r\n");
    ASSERT_EQ(50u, KillsRequired());
    Load("FearRadius=30\r\n");
    EXPECT_EQ(300u, KillsRequired());
    EXPECT_TRUE(settings.Enabled);
    EXPECT_EQ(30.0f, settings.FearRadius);
    testfiles::Remove(path);
    LoadSettings();
    EXPECT_EQ(20.0f, settings.FearRadius);
}

// ---- the world tick's reload: the keys are read again only for a changed file

constexpr int kKeys = 19;  // every key of the file, ProgressOnLoad last
int keysRead;
void CountKeyRead(const wchar_t*, const wchar_t*) { ++keysRead; }

FILETIME WriteTime(const std::wstring& path) {
    FILETIME written = {};
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    GetFileTime(file, nullptr, nullptr, &written);
    CloseHandle(file);
    return written;
}

void SetWriteTime(const std::wstring& path, FILETIME written) {
    HANDLE file = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    SetFileTime(file, nullptr, nullptr, &written);
    CloseHandle(file);
}

FILETIME LongAgo() { return FILETIME{0, 0x01D5C000}; }  // early 2020
// A few minutes later: only the low word of LongAgo() changes.
FILETIME MinutesAfter(FILETIME time, DWORD minutes) {
    return {time.dwLowDateTime + minutes * 600000000, time.dwHighDateTime};  // 100 ns units
}

// As a text editor holds a file it has open: written to, read by others.
HANDLE OpenForWriting(const std::wstring& path) {
    return CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
}

constexpr size_t kComparedBytes = 16384;  // a longer file is read in full at every reload

// "[Morwenstal]" and `lines`, padded with a comment to `total` bytes.
std::string Padded(const std::string& lines, size_t total) {
    const size_t used = std::string("[Morwenstal]\r\n").size() + lines.size() + 4;
    return lines + "; " + std::string(total - used, 'x') + "\r\n";
}

class SettingsReload : public SettingsFile {
protected:
    void SetUp() override {
        SettingsFile::SetUp();
        faults::onProfileRead = CountKeyRead;
    }
    void Write(const std::string& lines) { ASSERT_TRUE(testfiles::WriteFile(path, "[Morwenstal]\r\n" + lines)); }
    // Keys read by one reload, and KillsRequired after it.
    std::pair<int, uint32_t> Reload() {
        keysRead = 0;
        ReloadSettingsIfFileChanged();
        return {keysRead, KillsRequired()};
    }
};

TEST_F(SettingsReload, KeysAreReadAgainOnlyWhenTheFileChangedAppearedOrVanishedOrCannotBeCompared) {
    using Result = std::pair<int, uint32_t>;
    Write("KillsRequired=50\r\n");
    keysRead = 0;
    LoadSettingsAndNoteFile();
    ASSERT_EQ(Result(kKeys, 50), Result(keysRead, KillsRequired()));
    HANDLE editor = INVALID_HANDLE_VALUE;
    const struct {
        const char* what;
        std::function<void()> change;
        Result reload;
    } steps[] = {
        {"unchanged", [] {}, {0, 50}},
        {"a digit changed, the write time kept",
         [&] {
             const FILETIME written = WriteTime(path);
             Write("KillsRequired=60\r\n");
             SetWriteTime(path, written);
         },
         {kKeys, 60}},
        {"unchanged again", [] {}, {0, 60}},
        {"deleted", [&] { testfiles::Remove(path); }, {kKeys, 300}},
        {"still missing", [] {}, {0, 300}},
        {"created", [&] { Write("KillsRequired=70\r\n"); }, {kKeys, 70}},
        {"a line more", [&] { Write("KillsRequired=70\r\nTickMs=200\r\n"); }, {kKeys, 70}},
        {"as long as the bytes compared", [&] { Write(Padded("KillsRequired=80\r\n", kComparedBytes)); }, {kKeys, 80}},
        {"unchanged at that length", [] {}, {0, 80}},
        {"a byte longer", [&] { Write(Padded("KillsRequired=80\r\n", kComparedBytes + 1)); }, {kKeys, 80}},
        {"still a byte longer", [] {}, {kKeys, 80}},
        {"short again", [&] { Write("KillsRequired=90\r\n"); }, {kKeys, 90}},
        {"the read that finds its end fails", [] { faults::FailCall(faults::kReadFile, 2); }, {kKeys, 90}},
        {"read after the failure", [] {}, {kKeys, 90}},
        {"its open fails", [] { faults::FailCall(faults::kCreateFileW, 1); }, {kKeys, 90}},
        {"read after the failure", [] {}, {kKeys, 90}},
        {"settled", [] {}, {0, 90}},
        {"open in an editor that shares it for reading", [&] { editor = OpenForWriting(path); }, {0, 90}},
        {"the write time set back", [&] { SetWriteTime(path, LongAgo()); }, {kKeys, 90}},
        {"the same bytes written two minutes later", [&] { SetWriteTime(path, MinutesAfter(LongAgo(), 2)); },
         {kKeys, 90}},
        {"the editor closed", [&] { CloseHandle(editor); }, {0, 90}},
    };
    for (const auto& step : steps) {
        step.change();
        EXPECT_EQ(step.reload, Reload()) << step.what;
    }
}

TEST_F(SettingsReload, AFileHeldWithoutSharingGivesWhatAFullLoadGives) {
    Write("KillsRequired=50\r\n");
    LoadSettingsAndNoteFile();
    HANDLE held = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    LoadSettings();
    const uint32_t fullLoad = KillsRequired();  // the INI reader cannot open it either
    EXPECT_EQ(300u, fullLoad);
    EXPECT_EQ(std::make_pair(kKeys, fullLoad), Reload());
    EXPECT_EQ(std::make_pair(kKeys, fullLoad), Reload());
    CloseHandle(held);
    EXPECT_EQ(std::make_pair(kKeys, 50u), Reload());
    EXPECT_EQ(std::make_pair(0, 50u), Reload());
}

// An editor saving the same text again while a load runs: the load sees the
// file cut short for a moment; the same bytes come back with a new write time.
TEST_F(SettingsReload, TheSameBytesRewrittenDuringALoadAreReadAgainNextTime) {
    const std::string lines = "KillsRequired=60\r\n";
    Write(lines);
    SetWriteTime(path, LongAgo());
    static std::wstring* file;
    static const std::string* text;
    file = &path;
    text = &lines;
    faults::onProfileRead = [](const wchar_t*, const wchar_t* key) {
        if (wcscmp(key, L"Enabled") == 0) testfiles::WriteFile(*file, "[Morwenstal]\r\n");
        if (wcscmp(key, L"Stage1Kills") == 0) testfiles::WriteFile(*file, "[Morwenstal]\r\n" + *text);
    };
    LoadSettingsAndNoteFile();
    faults::onProfileRead = CountKeyRead;
    ASSERT_EQ(300u, KillsRequired());  // read while the file was cut short
    EXPECT_EQ(std::make_pair(kKeys, 60u), Reload());
    EXPECT_EQ(std::make_pair(0, 60u), Reload());
}

// A value present but not taken as written: one SETTING line when it first
// appears or changes (its text or the value used), none on a reload of the
// same file, and again once it comes back after being taken or absent.
TEST_F(SettingsFile, ValuesNotTakenAreLoggedOnceWhenTheyAppearOrChange) {
    const std::wstring log = path.substr(0, path.size() - 4) + L".log";
    wcsncpy(logPath, log.c_str(), kPathChars - 1);
    Load("");  // whatever earlier tests left reported is forgotten
    const std::string kLanguages = " not auto, en, ru, fr, de, it or es; auto used";
    struct Step {
        std::string ini;
        std::vector<std::string> lines;
    };
    const Step steps[] = {
        {"Enabled=no\r\nEnableFear=TRUE\r\nKillsRequired=300 ; note\r\nStage1Kills=400\r\nStage2Kills=-5\r\n"
         "Stage2SpawnMultiplier=0.1\r\nStage1SpawnMultiplier=2\r\nFearRadius=30,5\r\nTickMs=10\r\n"
         "RetaliationSeconds=120\r\nLanguage=p\x7Ft\r\nProgressKey=F13\r\n",
         {"SETTING Enabled=\"no\" not true or false; true used",
          "SETTING KillsRequired=\"300 ; note\" not a number; 300 used",
          "SETTING Stage1Kills=\"400\" out of range; 298 used", "SETTING Stage2Kills=\"-5\" out of range; 299 used",
          "SETTING Stage2SpawnMultiplier=\"0.1\" out of range; 0.25 used",
          "SETTING Stage1SpawnMultiplier=\"2\" out of range; 0.75 used",
          "SETTING FearRadius=\"30,5\" not a number; 20 used", "SETTING TickMs=\"10\" out of range; 50 used",
          "SETTING RetaliationSeconds=\"120\" out of range; 60 used", "SETTING Language=\"p?t\"" + kLanguages,
          "SETTING ProgressKey=\"F13\" not F1-F12, A-Z, 0-9, NumPad0-NumPad9, a key code or none; F7 used"}},
        {"Enabled=no\r\nEnableFear=TRUE\r\nKillsRequired=300 ; note\r\nStage1Kills=400\r\nStage2Kills=-5\r\n"
         "Stage2SpawnMultiplier=0.1\r\nStage1SpawnMultiplier=2\r\nFearRadius=30,5\r\nTickMs=10\r\n"
         "RetaliationSeconds=120\r\nLanguage=p\x7Ft\r\nProgressKey=F13\r\n",
         {}},
        {"Enabled=false\r\nKillsRequired=300 ; note\r\nFearRadius=25.5\r\nDisengageRadius=30\r\nLanguage=DE\r\n",
         {"SETTING DisengageRadius=\"30\" out of range; 30.5 used"}},
        {"Enabled=no\r\nKillsRequired=250\r\nStage1Kills=400\r\nSpawnMultiplier=0.7\r\nStage2SpawnMultiplier=0.2\r\n"
         "Language=p\x7Ft\r\n",
         {"SETTING Enabled=\"no\" not true or false; true used", "SETTING Stage1Kills=\"400\" out of range; 248 used",
          "SETTING Stage2SpawnMultiplier=\"0.2\" out of range; 0.7 used", "SETTING Language=\"p?t\"" + kLanguages}},
        {"Enabled=no\r\nKillsRequired=260\r\nStage1Kills=400\r\nSpawnMultiplier=0.7\r\nStage2SpawnMultiplier=0.2\r\n"
         "Language=Auto\r\n",
         {"SETTING Stage1Kills=\"400\" out of range; 258 used"}},
        {"DiagnosticLog=maybe\r\nEnableFear=on\r\nEnableNotifications=yes\r\nEnableRetaliation=nein\r\n"
         "PreserveMissions=off\r\nSpawnMultiplier=1.5\r\nLanguage=p\x7Ft\r\n",  // every key refused once now
         {"SETTING EnableFear=\"on\" not true or false; true used",
          "SETTING EnableRetaliation=\"nein\" not true or false; true used",
          "SETTING EnableNotifications=\"yes\" not true or false; true used",
          "SETTING PreserveMissions=\"off\" not true or false; true used",
          "SETTING DiagnosticLog=\"maybe\" not true or false; true used",
          "SETTING SpawnMultiplier=\"1.5\" out of range; 0.25 used", "SETTING Language=\"p?t\"" + kLanguages}},
    };
    for (size_t i = 0; i < sizeof steps / sizeof steps[0]; ++i) {
        testfiles::Remove(log);
        Load(steps[i].ini);
        EXPECT_EQ(testfiles::ReadLines(log), steps[i].lines) << "step " << i;
        if (i == 2) EXPECT_EQ(settings.Language, LanguageChoice::German);
    }

    // A UTF-16 file: characters beyond ASCII are written as '?', and the value
    // as read, cut at 31 characters, still fits the line whole.
    const std::wstring ini = L"\uFEFF[Morwenstal]\r\nLanguage=Français, s'il vous plaît merci beaucoup\r\n";
    testfiles::WriteFile(path, std::string(reinterpret_cast<const char*>(ini.data()), ini.size() * sizeof(wchar_t)));
    testfiles::Remove(log);
    LoadSettings();
    EXPECT_EQ(testfiles::ReadLines(log),
              std::vector<std::string>{"SETTING Language=\"Fran?ais, s'il vous pla?t merci\"" + kLanguages});
    EXPECT_EQ(settings.Language, LanguageChoice::Auto);
}

using SettingsBytes = std::vector<uint8_t>;

SettingsBytes LoadFresh() {
    memset(&settings, 0, sizeof settings);  // the padding too, so that loads compare byte for byte
    LoadSettings();
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(&settings);
    return SettingsBytes(bytes, bytes + sizeof settings);
}

// A read that fails gives exactly what the file without that key gives: the
// key's default, every other key read as usual.
TEST_F(SettingsFile, AFailedReadActsAsThatKeyAloneMissing) {
    // Every key away from its default, so that losing any one of them shows.
    const std::pair<std::wstring, std::string> keys[] = {
        {L"Enabled", "0"},           {L"EnableFear", "false"},  {L"EnableRetaliation", "0"},
        {L"EnableNotifications", "0"}, {L"PreserveMissions", "0"}, {L"DiagnosticLog", "0"},
        {L"KillsRequired", "50"},    {L"Stage1Kills", "10"},    {L"Stage2Kills", "20"},
        {L"SpawnMultiplier", "0.1"}, {L"Stage2SpawnMultiplier", "0.2"}, {L"Stage1SpawnMultiplier", "0.3"},
        {L"FearRadius", "10"},       {L"DisengageRadius", "30"}, {L"TickMs", "100"},
        {L"RetaliationSeconds", "5"}, {L"Language", "fr"},       {L"ProgressKey", "NumPad5"},
        {L"ProgressOnLoad", "false"}};
    const auto loadWithout = [&](const std::wstring& missing) {
        std::string lines;
        for (const auto& [key, value] : keys)
            if (key != missing) lines += testfiles::Narrow(key) + "=" + value + "\r\n";
        testfiles::WriteFile(path, "[Morwenstal]\r\n" + lines);
        return LoadFresh();
    };
    static std::vector<std::wstring> read;  // the keys in the order the load reads them
    faults::onProfileRead = [](const wchar_t*, const wchar_t* key) { read.push_back(key); };
    const SettingsBytes all = loadWithout(L"");
    std::vector<std::wstring> order;
    SettingsBytes loaded;
    int k = -1;
    faults::Sweep(
        "reload",
        [&] {
            ++k;
            read.clear();
        },
        [&] { loaded = LoadFresh(); },
        [&](faults::Api failed) {
            if (k == 0) {
                order = read;
                EXPECT_EQ(loaded, all);
                return;
            }
            EXPECT_EQ(failed, faults::kGetPrivateProfileStringW);
            const std::wstring lost = order.at(k - 1);
            SCOPED_TRACE(testfiles::Narrow(lost));
            EXPECT_EQ(loaded, loadWithout(lost));
            for (const auto& key : keys)
                if (key.first == lost) EXPECT_NE(loaded, all);
            loadWithout(L"");
        });
    faults::onProfileRead = nullptr;
}

}  // namespace
