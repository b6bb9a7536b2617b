#include "progress/progress_store.h"

#include <windows.h>

#include <algorithm>
#include <cwchar>
#include <cwctype>
#include <iterator>
#include <optional>

#include "host/handler_entries.h"
#include "host/hook_engine.h"
#include "host/log.h"
#include "host/module_entry.h"
#include "host/text_print.h"
#include "progress/progress_file.h"
#include "overlay/progress_summary.h"
#include "progress/save_fingerprint.h"
#include "settings/settings.h"

namespace {

constexpr wchar_t kStateKey[] = L"StateV2";
constexpr wchar_t kCountsKey[] = L"Counts";
constexpr int kLongestCountDigits = 10;
constexpr DWORD kLongestStateValue = kStateChars - 2;  // 255 means the value did not fit

constexpr char kSaveReadError[] = "SAVE ERROR: could not read the completed game save.";
constexpr char kSaveWriteError[] = "SAVE ERROR: could not write mod progress.";
constexpr char kLoadWarning[] = "LOAD WARNING: save fingerprint unavailable. Mod counters start at zero.";

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

// One number of "StateV2": digits only, no blank or sign before it.
std::optional<uint32_t> ReadStateNumber(const wchar_t*& cursor) {
    if (!IsDigit(*cursor)) return std::nullopt;
    wchar_t* end = nullptr;
    const unsigned long number = wcstoul(cursor, &end, 10);  // an overflow reads as ULONG_MAX
    if (number > kKillCeiling) return std::nullopt;
    cursor = end;
    return number;
}

bool MarksWithinKills(const GangProgress& gang) {
    if (gang.milestone % kMilestoneStep != 0 || gang.milestone > gang.kills) return false;
    for (uint32_t mark : gang.announced) {
        if (mark > gang.kills) return false;
    }
    return true;
}

// One number of "Counts": blanks before it are skipped, as the old writer's
// readers did. A sign, or a digit run that a C runtime would wrap into
// another value, refuses the line.
std::optional<uint32_t> ReadCountNumber(const wchar_t*& cursor) {
    while (iswspace(*cursor)) ++cursor;
    uint64_t number = 0;
    int digits = 0;
    for (; IsDigit(*cursor); ++cursor) {
        if (++digits > kLongestCountDigits) return std::nullopt;
        number = number * 10 + static_cast<uint32_t>(*cursor - L'0');
    }
    if (digits == 0 || number > kKillCeiling) return std::nullopt;
    return static_cast<uint32_t>(number);
}

void StoreProgress(const GangProgress (&progress)[kGangCount]) {
    for (int g = 0; g < kGangCount; ++g) {
        GangRecord& gang = fearState.gangs[g];
        gang.kills = progress[g].kills;
        gang.milestone = progress[g].milestone;
        for (int s = 0; s < 3; ++s) gang.announced[s] = progress[g].announced[s];
    }
}

bool ReadStoredState(const wchar_t* section, GangProgress (&progress)[kGangCount]) {
    wchar_t text[kStateChars] = {};
    const DWORD length = GetPrivateProfileStringW(section, kStateKey, L"", text, kStateChars, progressPath);
    return length <= kLongestStateValue && ParseStateV2(text, progress);
}

// A line cut off by the buffer could end in a shortened number: refused like
// an overlong "StateV2".
bool ReadStoredCounts(const wchar_t* section, GangProgress (&progress)[kGangCount]) {
    wchar_t text[kStateChars] = {};
    const DWORD length = GetPrivateProfileStringW(section, kCountsKey, L"", text, kStateChars, progressPath);
    uint32_t kills[kGangCount];
    if (length > kLongestStateValue || !ParseCounts(text, kills)) return false;
    std::transform(std::begin(kills), std::end(kills), progress, ProgressFromKills);
    return true;
}

void RestoreProgress(const wchar_t* section) {
    GangProgress progress[kGangCount] = {};
    if (ReadStoredState(section, progress) || ReadStoredCounts(section, progress)) StoreProgress(progress);
}

bool WriteProgress(const wchar_t* section) {
    wchar_t text[kStateChars];
    FormatStateV2(text);
    return WriteProgressEntry(section, kStateKey, text);
}

}  // namespace

void FormatStateV2(wchar_t (&text)[kStateChars]) {
    int used = 0;
    for (const GangRecord& gang : fearState.gangs) {
        used += PrintText(text + used, kStateChars - used, L"%u,%u,%u,%u,%u,", gang.kills, gang.milestone,
                          gang.announced[0], gang.announced[1], gang.announced[2]);
    }
    text[used - 1] = L'\0';  // the comma after the last number
}

bool ParseStateV2(const wchar_t* text, GangProgress (&progress)[kGangCount]) {
    GangProgress parsed[kGangCount] = {};
    const wchar_t* cursor = text;
    for (int g = 0; g < kGangCount; ++g) {
        uint32_t field[5];
        for (int i = 0; i < 5; ++i) {
            const std::optional<uint32_t> number = ReadStateNumber(cursor);
            if (!number) return false;
            field[i] = *number;
            const bool lastOfValue = g == kGangCount - 1 && i == 4;
            if (*cursor != (lastOfValue ? L'\0' : L',')) return false;
            if (!lastOfValue) ++cursor;
        }
        parsed[g] = GangProgress{field[0], field[1], {field[2], field[3], field[4]}};
        if (!MarksWithinKills(parsed[g])) return false;
    }
    std::copy(std::begin(parsed), std::end(parsed), progress);
    return true;
}

bool ParseCounts(const wchar_t* text, uint32_t (&kills)[kGangCount]) {
    uint32_t parsed[kGangCount];
    const wchar_t* cursor = text;
    for (int g = 0; g < kGangCount; ++g) {
        const std::optional<uint32_t> number = ReadCountNumber(cursor);
        if (!number) return false;
        parsed[g] = *number;
        const wchar_t separator = g == kGangCount - 1 ? L'\0' : L',';
        if (*cursor != separator) return false;
        ++cursor;
    }
    std::copy(std::begin(parsed), std::end(parsed), kills);
    return true;
}

GangProgress ProgressFromKills(uint32_t kills) {
    GangProgress gang{kills, kills - kills % kMilestoneStep, {}};
    std::transform(std::begin(settings.stageKills), std::end(settings.stageKills), gang.announced,
                   [kills](uint32_t threshold) { return kills >= threshold ? threshold : 0u; });
    return gang;
}

uint8_t __thiscall SaveProgress(void* saver, uint32_t argument) {
    const uint8_t result = Trampoline<host::SaveGameFn>(kHookSaveGame)(saver, argument);
    if (result == 0 || !saver || host::SaveStatus(saver) != 0) return result;
    wchar_t key[kFingerprintChars] = {};
    if (!SaveFingerprint(host::SavedFilePath(), key)) {
        LogLine(kSaveReadError);
        return result;
    }
    if (WriteProgress(key)) {
        LogCounts("SAVED");
    } else {
        LogLine(kSaveWriteError);
    }
    return result;
}

uint8_t __cdecl LoadProgress() {
    wchar_t key[kFingerprintChars] = {};
    // Taken before the host reads the file, whatever its load will say.
    const bool fingerprinted = SaveFingerprint(host::LoadFilePath(), key);
    const uint8_t result = Trampoline<host::LoadGameFn>(kHookLoadGame)();
    if (result == 0) return result;
    ResetCounters();
    if (fingerprinted) {
        RestoreProgress(key);
    } else {
        LogLine(kLoadWarning);
    }
    LogCounts("LOADED");
    SummaryAfterLoad();
    return result;
}
