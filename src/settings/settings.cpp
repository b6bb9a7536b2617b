#include "settings/settings.h"

#include <windows.h>

#include <cwchar>

#include "host/module_entry.h"

Settings settings;

namespace {

constexpr wchar_t kSection[] = L"Morwenstal";
constexpr int kValueChars = 32;

struct SettingValue {
    wchar_t text[kValueChars];
};

SettingValue ReadValue(const wchar_t* key) {
    SettingValue value = {};
    GetPrivateProfileStringW(kSection, key, L"", value.text, kValueChars, settingsPath);
    return value;
}

// A number counts only when it fills the whole value: "300 ; comment" is refused.
bool ReadIntSetting(const wchar_t* key, long* result) {
    SettingValue value = ReadValue(key);
    wchar_t* end = nullptr;
    long number = wcstol(value.text, &end, 10);
    if (end == value.text || *end != L'\0') return false;
    *result = number;
    return true;
}

// The runtime's float conversion takes its decimal separator from the
// process-wide locale, which any other module of the game may change; the
// settings file always writes a decimal point, so it is read by hand.
struct DecimalDigits {
    uint64_t mantissa;  // the first kMaxDigits significant digits
    int exponent;       // value = mantissa x 10^exponent (digits beyond are dropped)
    int count;          // digits read, significant or not
};

constexpr int kMaxDigits = 19;             // what a 64-bit mantissa holds
constexpr int kExponentLimit = 100000;     // far beyond every float, without overflow

bool IsBlank(wchar_t c) { return c == L' ' || (c >= L'\t' && c <= L'\r'); }
bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

const wchar_t* ReadDigits(const wchar_t* p, bool afterPoint, DecimalDigits& d) {
    int kept = 0;
    for (uint64_t m = d.mantissa; m; m /= 10) ++kept;
    for (; IsDigit(*p); ++p, ++d.count) {
        const bool room = kept < kMaxDigits;
        if (room) {
            d.mantissa = d.mantissa * 10 + static_cast<uint64_t>(*p - L'0');
            if (d.mantissa) ++kept;
        }
        if (room && afterPoint) --d.exponent;
        if (!room && !afterPoint) ++d.exponent;
    }
    return p;
}

const wchar_t* ReadExponent(const wchar_t* p, int& exponent) {
    if (*p != L'e' && *p != L'E') return p;
    ++p;
    bool negative = false;
    if (*p == L'+' || *p == L'-') negative = *p++ == L'-';
    if (!IsDigit(*p)) return nullptr;
    int value = 0;
    for (; IsDigit(*p); ++p) {
        if (value < kExponentLimit) value = value * 10 + (*p - L'0');
    }
    exponent += negative ? -value : value;
    return p;
}

// Every power of ten up to 1e22 is exact in double precision, so for the
// values a player writes (up to 7 significant digits, small exponents) one
// exact multiplication or division gives the correctly rounded result.
double ScaleByPowerOfTen(double value, int exponent) {
    static constexpr double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                         1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    constexpr int kLargest = 22;
    for (; exponent > kLargest; exponent -= kLargest) value *= kPowers[kLargest];
    for (; exponent < -kLargest; exponent += kLargest) value /= kPowers[kLargest];
    return exponent >= 0 ? value * kPowers[exponent] : value / kPowers[-exponent];
}

float ReadFloatSetting(const wchar_t* key, float fallback, float low, float high) {
    SettingValue value = ReadValue(key);
    float number = 0.0f;
    if (!ParseDecimalFloat(value.text, &number)) return fallback;
    if (number < low || number > high) return fallback;
    return number;
}

uint32_t ClampInt(long value, long low, long high) {
    if (value < low) return static_cast<uint32_t>(low);
    if (value > high) return static_cast<uint32_t>(high);
    return static_cast<uint32_t>(value);
}

uint32_t ReadKillsRequired() {
    long value = 300;
    ReadIntSetting(L"KillsRequired", &value);
    if (value < 3) return 3;
    if (value >= 1000000) return 1000000;
    return static_cast<uint32_t>(value);
}

uint32_t ReadStage1Kills(uint32_t killsRequired) {
    const uint32_t ceiling = killsRequired - 2;
    long value = 0;
    uint32_t result = 100;
    if (ReadIntSetting(L"Stage1Kills", &value)) result = value <= 0 ? 1 : ClampInt(value, 1, ceiling);
    return result > ceiling ? ceiling : result;
}

// Unlike the first threshold, a missing second one is not raised above the
// first: the broken test uses the larger of the two, so their order is free.
uint32_t ReadStage2Kills(uint32_t stage1, uint32_t killsRequired) {
    const uint32_t ceiling = killsRequired - 1;
    long value = 0;
    uint32_t result = 200;
    if (ReadIntSetting(L"Stage2Kills", &value)) {
        result = value <= static_cast<long>(stage1) ? stage1 + 1 : ClampInt(value, 1, ceiling);
    }
    return result >= killsRequired ? ceiling : result;
}

void ReadSpawnMultipliers() {
    float* m = settings.stageSpawnMultiplier;
    m[kStageBroken] = ReadFloatSetting(L"SpawnMultiplier", 0.25f, 0.01f, 1.0f);
    m[kStageLosingGround] = ReadFloatSetting(L"Stage2SpawnMultiplier", 0.5f, 0.01f, 1.0f);
    m[kStageWeakened] = ReadFloatSetting(L"Stage1SpawnMultiplier", 0.75f, 0.01f, 1.0f);
    if (m[kStageBroken] > m[kStageLosingGround]) m[kStageLosingGround] = m[kStageBroken];
    if (m[kStageLosingGround] > m[kStageWeakened]) m[kStageWeakened] = m[kStageLosingGround];
}

void ReadRadii() {
    settings.FearRadius = ReadFloatSetting(L"FearRadius", 20.0f, 2.0f, 100.0f);
    settings.DisengageRadius = ReadFloatSetting(L"DisengageRadius", 45.0f, 5.0f, 150.0f);
    const float floor = settings.FearRadius + 5.0f;
    if (floor > settings.DisengageRadius) settings.DisengageRadius = floor;
}

uint32_t ReadTickMs() {
    long value = 150;
    ReadIntSetting(L"TickMs", &value);
    if (value < 50) return 50;
    if (value >= 1000) return 1000;
    return static_cast<uint32_t>(value);
}

uint32_t ReadRetaliationMs() {
    long seconds = 8;
    if (ReadIntSetting(L"RetaliationSeconds", &seconds) && seconds <= 0) seconds = 1;
    if (seconds > 60) seconds = 60;
    return static_cast<uint32_t>(seconds) * 1000;
}

}  // namespace

bool ParseDecimalFloat(const wchar_t* text, float* value) {
    const wchar_t* p = text;
    while (IsBlank(*p)) ++p;
    bool negative = false;
    if (*p == L'+' || *p == L'-') negative = *p++ == L'-';
    DecimalDigits d = {};
    p = ReadDigits(p, false, d);
    if (*p == L'.') p = ReadDigits(p + 1, true, d);
    if (d.count == 0) return false;
    p = ReadExponent(p, d.exponent);
    if (!p || *p != L'\0') return false;
    const double magnitude = d.mantissa ? ScaleByPowerOfTen(static_cast<double>(d.mantissa), d.exponent) : 0.0;
    *value = static_cast<float>(negative ? -magnitude : magnitude);
    return true;
}

bool ReadBoolSetting(const wchar_t* key) {
    SettingValue value = ReadValue(key);
    if (_wcsicmp(value.text, L"false") == 0 || wcscmp(value.text, L"0") == 0) return false;
    return true;
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
}
