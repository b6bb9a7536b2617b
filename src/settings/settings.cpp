#include "settings/settings.h"

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <iterator>

#include "host/log.h"
#include "host/module_entry.h"
#include "host/text_print.h"

Settings settings;

namespace {

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

constexpr wchar_t kSection[] = L"Morwenstal";
constexpr int kValueChars = 32;
constexpr int kKeyCount = 19;
constexpr int kSettingLineChars = 128;

struct SettingValue {
    wchar_t text[kValueChars];
};

SettingValue ReadValue(const wchar_t* key) {
    SettingValue value = {};
    GetPrivateProfileStringW(kSection, key, L"", value.text, kValueChars, settingsPath);
    return value;
}

// ---------------------------------------------------------------- SETTING lines
// A value that is present but not taken as written gets one line naming the
// key, the text found and the value used. The line last written is kept per
// key, so that the reload every two seconds does not repeat it; it is
// forgotten once the key is taken or absent, so that a bad value coming back
// is reported again.
constexpr char kNotANumber[] = "not a number";
constexpr char kOutOfRange[] = "out of range";
constexpr char kNotTrueOrFalse[] = "not true or false";
constexpr char kNotALanguage[] = "not auto, en, ru, fr, de, it or es";
constexpr char kNotAKey[] = "not F1-F12, A-Z, 0-9, NumPad0-NumPad9, a key code or none";

struct SettingReport {
    const wchar_t* key;  // null while the entry is free
    char line[kSettingLineChars];
};

SettingReport reports[kKeyCount];

SettingReport* FindReport(const wchar_t* key) {
    for (SettingReport& report : reports)
        if (report.key && wcscmp(report.key, key) == 0) return &report;
    for (SettingReport& report : reports) {
        if (report.key) continue;
        report.key = key;
        return &report;
    }
    return nullptr;
}

// `problem` is null when the value was taken as written.
void ReportSetting(const wchar_t* key, const SettingValue& value, const char* problem, const char* used) {
    SettingReport* report = FindReport(key);
    if (!report) return;
    if (!problem || value.text[0] == L'\0') {
        *report = SettingReport{key, {}};  // the line is forgotten
        return;
    }
    char keyText[kValueChars], valueText[kValueChars];
    ToLogText(key, keyText, sizeof keyText);
    ToLogText(value.text, valueText, sizeof valueText);
    char line[kSettingLineChars] = {};
    PrintText(line, sizeof line, "SETTING %s=\"%s\" %s; %s used", keyText, valueText, problem, used);
    if (strcmp(line, report->line) == 0) return;
    memcpy(report->line, line, sizeof line);
    LogLine(line);
}

struct UsedText {
    char text[24];
};

UsedText WholeText(long value) {
    UsedText used = {};
    PrintText(used.text, sizeof used.text, "%ld", value);
    return used;
}

// The fewest decimals that read back as the same float, written with a point
// in every locale: 20, 0.25, 30.5. msvcrt before Vista knows I64, not ll.
UsedText DecimalText(float value) {
    UsedText used = {};
    const char* sign = std::signbit(value) ? "-" : "";
    const double magnitude = std::fabs(static_cast<double>(value));
    if (!(magnitude < 1e9)) return used;  // no used value comes near
    uint64_t scale = 1;
    for (int decimals = 0; decimals <= 12; ++decimals, scale *= 10) {
        const uint64_t digits = static_cast<uint64_t>(magnitude * static_cast<double>(scale) + 0.5);
        if (static_cast<float>(static_cast<double>(digits) / static_cast<double>(scale)) != static_cast<float>(magnitude))
            continue;
        const unsigned long long whole = digits / scale, fraction = digits % scale;
        if (decimals == 0)
            PrintText(used.text, sizeof used.text, "%s%I64u", sign, whole);
        else
            PrintText(used.text, sizeof used.text, "%s%I64u.%0*I64u", sign, whole, decimals, fraction);
        break;
    }
    return used;
}

// ---------------------------------------------------------------- numbers
// A number counts only when it fills the whole value: "300 ; comment" is refused.
struct IntReading {
    SettingValue value;
    bool number;
    long parsed;
};

IntReading ReadIntSetting(const wchar_t* key) {
    const SettingValue value = ReadValue(key);
    wchar_t* end = nullptr;
    const long parsed = wcstol(value.text, &end, 10);
    return {value, end != value.text && *end == L'\0', parsed};
}

void ReportInt(const wchar_t* key, const IntReading& reading, uint32_t used) {
    const char* problem = !reading.number ? kNotANumber : static_cast<long>(used) != reading.parsed ? kOutOfRange : nullptr;
    ReportSetting(key, reading.value, problem, WholeText(static_cast<long>(used)).text);
}

struct FloatReading {
    SettingValue value;
    bool number;
    float parsed;
};

FloatReading ReadFloatSetting(const wchar_t* key) {
    const SettingValue value = ReadValue(key);
    float parsed = 0.0f;
    const bool number = ParseDecimalFloat(value.text, &parsed);
    return {value, number, parsed};
}

float InRangeOr(const FloatReading& reading, float fallback, float low, float high) {
    if (!reading.number || reading.parsed < low || reading.parsed > high) return fallback;
    return reading.parsed;
}

// After the derived adjustments, so that the line gives the value in force.
void ReportFloat(const wchar_t* key, const FloatReading& reading, float used) {
    const char* problem = !reading.number ? kNotANumber : used != reading.parsed ? kOutOfRange : nullptr;
    ReportSetting(key, reading.value, problem, DecimalText(used).text);
}

// The value written, or `fallback` when it is not a number, within low..high.
uint32_t IntInRange(const IntReading& reading, long fallback, long low, long high) {
    return static_cast<uint32_t>(std::clamp(reading.number ? reading.parsed : fallback, low, high));
}

uint32_t ReadKillsRequired() {
    const IntReading reading = ReadIntSetting(L"KillsRequired");
    const uint32_t result = IntInRange(reading, 300, 3, 1000000);
    ReportInt(L"KillsRequired", reading, result);
    return result;
}

// Each threshold stays below the next one up: KillsRequired is at least 3.
uint32_t ReadStage1Kills(uint32_t killsRequired) {
    const IntReading reading = ReadIntSetting(L"Stage1Kills");
    const uint32_t result = IntInRange(reading, 100, 1, static_cast<long>(killsRequired) - 2);
    ReportInt(L"Stage1Kills", reading, result);
    return result;
}

// Unlike the first threshold, a missing second one is not raised above the
// first: the broken test uses the larger of the two, so their order is free.
uint32_t ReadStage2Kills(uint32_t stage1, uint32_t killsRequired) {
    const long ceiling = static_cast<long>(killsRequired) - 1;
    const IntReading reading = ReadIntSetting(L"Stage2Kills");
    const long value = reading.number ? std::clamp(reading.parsed, static_cast<long>(stage1) + 1, ceiling)
                                      : std::min(200L, ceiling);
    const uint32_t result = static_cast<uint32_t>(value);
    ReportInt(L"Stage2Kills", reading, result);
    return result;
}

void ReadSpawnMultipliers() {
    float* m = settings.stageSpawnMultiplier;
    const FloatReading broken = ReadFloatSetting(L"SpawnMultiplier");
    const FloatReading losingGround = ReadFloatSetting(L"Stage2SpawnMultiplier");
    const FloatReading weakened = ReadFloatSetting(L"Stage1SpawnMultiplier");
    m[kStageBroken] = InRangeOr(broken, 0.25f, 0.01f, 1.0f);
    m[kStageLosingGround] = InRangeOr(losingGround, 0.5f, 0.01f, 1.0f);
    m[kStageWeakened] = InRangeOr(weakened, 0.75f, 0.01f, 1.0f);
    m[kStageLosingGround] = std::max(m[kStageLosingGround], m[kStageBroken]);
    m[kStageWeakened] = std::max(m[kStageWeakened], m[kStageLosingGround]);
    ReportFloat(L"SpawnMultiplier", broken, m[kStageBroken]);
    ReportFloat(L"Stage2SpawnMultiplier", losingGround, m[kStageLosingGround]);
    ReportFloat(L"Stage1SpawnMultiplier", weakened, m[kStageWeakened]);
}

void ReadRadii() {
    const FloatReading fear = ReadFloatSetting(L"FearRadius");
    const FloatReading disengage = ReadFloatSetting(L"DisengageRadius");
    settings.FearRadius = InRangeOr(fear, 20.0f, 2.0f, 100.0f);
    settings.DisengageRadius = InRangeOr(disengage, 45.0f, 5.0f, 150.0f);
    settings.DisengageRadius = std::max(settings.DisengageRadius, settings.FearRadius + 5.0f);
    ReportFloat(L"FearRadius", fear, settings.FearRadius);
    ReportFloat(L"DisengageRadius", disengage, settings.DisengageRadius);
}

uint32_t ReadTickMs() {
    const IntReading reading = ReadIntSetting(L"TickMs");
    const uint32_t result = IntInRange(reading, 150, 50, 1000);
    ReportInt(L"TickMs", reading, result);
    return result;
}

uint32_t ReadRetaliationMs() {
    const IntReading reading = ReadIntSetting(L"RetaliationSeconds");
    const uint32_t seconds = IntInRange(reading, 8, 1, 60);
    ReportInt(L"RetaliationSeconds", reading, seconds);
    return seconds * 1000;
}

// Case-insensitive; anything else, the empty value included, is auto.
LanguageChoice ReadLanguage() {
    static const wchar_t* const kNames[] = {L"auto", L"en", L"ru", L"fr", L"de", L"it", L"es"};  // LanguageChoice order
    const SettingValue value = ReadValue(L"Language");
    for (size_t i = 0; i < std::size(kNames); ++i) {
        if (_wcsicmp(value.text, kNames[i]) != 0) continue;
        ReportSetting(L"Language", value, nullptr, "");
        return static_cast<LanguageChoice>(i);
    }
    ReportSetting(L"Language", value, kNotALanguage, "auto");
    return LanguageChoice::Auto;
}

// F7: the game leaves F4 to F12 free (F1 to F3 are its replay keys); F7 is
// also clear of the keys screen recorders and overlays take (F9 to F12).
constexpr uint8_t kDefaultProgressKey = 0x76;
constexpr char kDefaultProgressKeyName[] = "F7";

uint8_t ReadProgressKey() {
    const SettingValue value = ReadValue(L"ProgressKey");
    const std::optional<uint8_t> code = value.text[0] ? KeyCodeOfName(value.text) : std::nullopt;
    ReportSetting(L"ProgressKey", value, code ? nullptr : kNotAKey, kDefaultProgressKeyName);
    return code.value_or(kDefaultProgressKey);
}

// The digits of a key name's number part, 0..max; nothing for anything else.
std::optional<long> NumberOf(const wchar_t* text, long max) {
    if (!IsDigit(text[0])) return std::nullopt;
    wchar_t* end = nullptr;
    const long number = wcstol(text, &end, 10);
    if (*end != L'\0' || number > max) return std::nullopt;
    return number;
}

}  // namespace

std::optional<uint8_t> KeyCodeOfName(const wchar_t* name) {
    constexpr uint8_t kF1 = 0x70, kNumPad0 = 0x60;
    if (_wcsicmp(name, L"none") == 0) return 0;
    const wchar_t first = static_cast<wchar_t>(towupper(name[0]));
    if (name[0] && !name[1] && ((first >= L'A' && first <= L'Z') || IsDigit(first))) return static_cast<uint8_t>(first);
    if (first == L'F' && name[1] != L'0') {
        const std::optional<long> n = NumberOf(name + 1, 12);
        if (n && *n >= 1) return static_cast<uint8_t>(kF1 + *n - 1);
    }
    if (_wcsnicmp(name, L"NumPad", 6) == 0 && name[6] && !name[7] && IsDigit(name[6]))
        return static_cast<uint8_t>(kNumPad0 + (name[6] - L'0'));
    const std::optional<long> code = NumberOf(name, 254);
    if (code && name[1] && *code >= 1) return static_cast<uint8_t>(*code);
    return std::nullopt;
}

bool ReadBoolSetting(const wchar_t* key) {
    const SettingValue value = ReadValue(key);
    const bool isFalse = _wcsicmp(value.text, L"false") == 0 || wcscmp(value.text, L"0") == 0;
    const bool isTrue = _wcsicmp(value.text, L"true") == 0 || wcscmp(value.text, L"1") == 0;
    ReportSetting(key, value, isFalse || isTrue ? nullptr : kNotTrueOrFalse, "true");
    return !isFalse;
}

void LoadSettings() {
    settings.Enabled = ReadBoolSetting(L"Enabled");
    settings.EnableFear = ReadBoolSetting(L"EnableFear");
    settings.EnableRetaliation = ReadBoolSetting(L"EnableRetaliation");
    settings.EnableNotifications = ReadBoolSetting(L"EnableNotifications");
    settings.PreserveMissions = ReadBoolSetting(L"PreserveMissions");
    settings.DiagnosticLog = ReadBoolSetting(L"DiagnosticLog");

    uint32_t* kills = settings.stageKills;
    kills[kStageBroken] = ReadKillsRequired();
    kills[kStageWeakened] = ReadStage1Kills(kills[kStageBroken]);
    kills[kStageLosingGround] = ReadStage2Kills(kills[kStageWeakened], kills[kStageBroken]);

    ReadSpawnMultipliers();
    ReadRadii();
    settings.TickMs = ReadTickMs();
    settings.retaliationMs = ReadRetaliationMs();
    settings.Language = ReadLanguage();
    settings.ProgressKey = ReadProgressKey();
    settings.ProgressOnLoad = ReadBoolSetting(L"ProgressOnLoad");
}
