// The validated settings, read from the INI file next to the module.
#pragma once

#include <cstdint>
#include <optional>

// The notices' language as the player chose it. Auto follows the game's
// language word (see LanguageOfGameWord).
enum class LanguageChoice : uint8_t { Auto, English, Russian, French, German, Italian, Spanish };

struct Settings {
    bool Enabled;
    bool EnableFear;
    bool EnableRetaliation;
    bool EnableNotifications;
    bool PreserveMissions;
    bool DiagnosticLog;
    uint32_t stageKills[3];             // Stage1Kills, Stage2Kills, KillsRequired
    uint32_t TickMs;
    uint32_t retaliationMs;             // RetaliationSeconds x 1000
    float stageSpawnMultiplier[3];      // Stage1SpawnMultiplier, Stage2SpawnMultiplier, SpawnMultiplier
    float FearRadius;
    float DisengageRadius;
    LanguageChoice Language;
    uint8_t ProgressKey;                // virtual-key code; 0: no key
    bool ProgressOnLoad;
};

extern Settings settings;

enum FearStage : int { kStageWeakened = 0, kStageLosingGround = 1, kStageBroken = 2 };

inline uint32_t Stage1Kills() { return settings.stageKills[kStageWeakened]; }
inline uint32_t Stage2Kills() { return settings.stageKills[kStageLosingGround]; }
inline uint32_t KillsRequired() { return settings.stageKills[kStageBroken]; }

// Reads all nineteen keys again; missing or bad values take their defaults.
// A value present but not taken as written gets one SETTING line in the log
// when it first appears or changes.
void LoadSettings();
// The first load at attach: LoadSettings, noting the file as it was just before.
void LoadSettingsAndNoteFile();
// The world tick's reload: LoadSettings, unless the file holds the same bytes
// with the same write time as before the last load, or is still missing.
void ReloadSettingsIfFileChanged();
bool ReadBoolSetting(const wchar_t* key);
// The virtual-key code of a key the player names: F1..F12, A..Z, 0..9,
// NumPad0..NumPad9 (any case), a code of two or more digits (1 to 254), or
// none (0). Nothing for anything else.
std::optional<uint8_t> KeyCodeOfName(const wchar_t* name);
// A decimal number as the settings file holds it, read the same in every
// locale: leading blanks, a sign, digits with an optional ".", an optional
// exponent, and nothing after. False for anything else (a decimal comma,
// trailing text, NaN, infinity, hexadecimal). Rounded to the nearest float,
// ties to the even one, however many digits it has; too large a value gives
// infinity, which no range admits.
bool ParseDecimalFloat(const wchar_t* text, float* value);
