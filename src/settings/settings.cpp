#include "settings/settings.h"

#include <windows.h>

#include <cmath>
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

float ReadFloatSetting(const wchar_t* key, float fallback, float low, float high) {
    SettingValue value = ReadValue(key);
    wchar_t* end = nullptr;
    float number = wcstof(value.text, &end);
    if (end == value.text || *end != L'\0') return fallback;
    if (std::isnan(number) || number < low || number > high) return fallback;
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
