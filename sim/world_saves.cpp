// The host's zone, new-game, save and load routines as the simulator plays
// them, and the quellsim verbs for them. The verbs trace:
//   zone 3: Triads 30->23 Leone 30->30 Cartel 0->0 Yardies 30->8
//   newgame
//   save slot=1 result=1 status=0 bytes=5000 key=S0123456789ABCDEF-5000
//   load slot=1 result=1 clock=120000
//   progress| <each line of the progress file>
#include "world_saves.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "host_routines.h"
#include "quellsim.h"
#include "world.h"

namespace sim {

namespace {

constexpr char kSaveMagic[8] = {'G', 'T', 'A', '3', 'S', 'I', 'M', '1'};
constexpr size_t kSaveMinimumBytes = 5000;  // more than one 4096-byte read
constexpr uint32_t kPathBytes = 260;
constexpr size_t kSerialOffset = 20;  // after the magic, clock, frames and mission offset
constexpr uint32_t kSaverPending = 0xFFFFFFFF;
constexpr uint32_t kSaverFailed = 2;
constexpr uint32_t kGangOffsets[4] = {zone::Triads, zone::Leone, zone::Cartel, zone::Yardies};
constexpr const char* kGangNames[4] = {"Triads", "Leone", "Cartel", "Yardies"};

int16_t zoneDensities[kZoneCount][4];
SaveFailure saveFailure;
bool loadFailure;
std::string saveFolder = "saves";
uint32_t saverObject[4];
uint32_t seenArgument;
bool seenSaver;
uint32_t lastLoadedClock;
int savesWritten;
uint32_t gameSerial;  // which game the world belongs to: raised by each new game
bool newGameFillsZone;
uint8_t zoneRecord[kZoneRecordBytes];
size_t saveMinimumBytes = kSaveMinimumBytes;
int64_t lastSaveRoutineTicks;

// ---------------------------------------------------------------- save files
void Append(std::vector<uint8_t>& bytes, const void* data, size_t count) {
    const uint8_t* from = static_cast<const uint8_t*>(data);
    bytes.insert(bytes.end(), from, from + count);
}

template <typename T>
void AppendValue(std::vector<uint8_t>& bytes, T value) {
    Append(bytes, &value, sizeof value);
}

uint64_t Fnv1a(const std::vector<uint8_t>& bytes) {
    uint64_t hash = 0xCBF29CE484222325ull;
    for (uint8_t b : bytes) {
        hash ^= b;
        hash *= 0x100000001B3ull;
    }
    return hash;
}

// What the game would write: its clock and frame count, the mission flag,
// which game this is, and every pedestrian in the pool, padded with a stream
// of the content.
std::vector<uint8_t> SaveContent() {
    std::vector<uint8_t> bytes;
    Append(bytes, kSaveMagic, sizeof kSaveMagic);
    AppendValue(bytes, Clock());
    AppendValue(bytes, static_cast<uint32_t>(routines.runs[0]));
    AppendValue(bytes, Mem<uint32_t>(addr::MissionFlagOffset));
    AppendValue(bytes, gameSerial);
    for (int slot = 0; slot < kPoolSlots; ++slot) {
        const uint8_t status = SlotStatus(slot);
        AppendValue(bytes, status);
        if (status & 0x80) continue;
        const uint8_t* p = PedAt(slot);
        AppendValue(bytes, Field<int32_t>(const_cast<uint8_t*>(p), ped::PedType));
        AppendValue(bytes, Field<uint32_t>(const_cast<uint8_t*>(p), ped::State));
        Append(bytes, p + ped::Health, 8);
        Append(bytes, p + ped::X, 12);
    }
    uint64_t stream = Fnv1a(bytes) | 1;
    bytes.reserve(saveMinimumBytes);
    while (bytes.size() < saveMinimumBytes) {
        stream ^= stream << 13;
        stream ^= stream >> 7;
        stream ^= stream << 17;
        AppendValue(bytes, static_cast<uint8_t>(stream));
    }
    return bytes;
}

bool WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    FILE* file = fopen(path.c_str(), "wb");
    if (!file) return false;
    const bool written = fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return fclose(file) == 0 && written;
}

bool ReadFileBytes(const std::string& path, std::vector<uint8_t>& bytes) {
    bytes.clear();
    FILE* file = fopen(path.c_str(), "rb");
    if (!file) return false;
    uint8_t chunk[4096];
    size_t got;
    while ((got = fread(chunk, 1, sizeof chunk, file)) > 0) Append(bytes, chunk, got);
    fclose(file);
    return true;
}

std::string HostPath(uint32_t address) {
    const char* text = &Mem<char>(address);
    return std::string(text, strnlen(text, kPathBytes));
}

void SetHostPath(uint32_t address, const std::string& path) {
    char* text = &Mem<char>(address);
    memset(text, 0, kPathBytes);
    strncpy(text, path.c_str(), kPathBytes - 1);
}

// ---------------------------------------------------------------- quellsim
std::wstring ProgressFilePath() {
    std::wstring path = PluginPath();
    const size_t dot = path.rfind(L'.');
    if (dot != std::wstring::npos) path.resize(dot);
    return path + L"-saves.ini";
}

std::string Narrow(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text) out += c < 0x80 ? static_cast<char>(c) : '?';
    return out;
}

// The progress file as text, whether the system wrote it in 8-bit or UTF-16.
std::string ProgressText() {
    std::vector<uint8_t> bytes;
    if (!ReadFileBytes(Narrow(ProgressFilePath()), bytes)) return std::string();
    if (bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
        std::wstring wide;
        for (size_t i = 2; i + 1 < bytes.size(); i += 2) wide += static_cast<wchar_t>(bytes[i] | bytes[i + 1] << 8);
        return Narrow(wide);
    }
    return std::string(bytes.begin(), bytes.end());
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    for (char c : text) {
        if (c == '\n') {
            lines.push_back(line);
            line.clear();
        } else if (c != '\r') {
            line += c;
        }
    }
    if (!line.empty()) lines.push_back(line);
    return lines;
}

void WriteProgressText(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\r\n";
    if (!WriteFileBytes(Narrow(ProgressFilePath()), std::vector<uint8_t>(text.begin(), text.end())))
        ScriptError("edit-progress: cannot write the progress file");
}

// Sets "key=value" in the section of the save in `slot`, as a person with a
// text editor would; the section is added at the end when it is missing.
void EditProgressKey(int slot, const std::string& key, const std::string& value) {
    const std::string section = "[" + Narrow(ExpectedSaveKey(SaveFilePath(slot))) + "]";
    if (section == "[]") ScriptError("edit-progress: slot " + std::to_string(slot) + " has no save file");
    std::vector<std::string> lines = SplitLines(ProgressText());
    size_t at = 0;
    while (at < lines.size() && lines[at] != section) ++at;
    if (at == lines.size()) {
        lines.push_back(section);
        lines.push_back(key + "=" + value);
        WriteProgressText(lines);
        return;
    }
    size_t end = at + 1;
    while (end < lines.size() && (lines[end].empty() || lines[end][0] != '[')) ++end;
    for (size_t i = at + 1; i < end; ++i) {
        if (lines[i].compare(0, key.size() + 1, key + "=") == 0) {
            lines[i] = key + "=" + value;
            WriteProgressText(lines);
            return;
        }
    }
    lines.insert(lines.begin() + end, key + "=" + value);
    WriteProgressText(lines);
}

std::string JoinFrom(const std::vector<std::string>& words, size_t first) {
    std::string text;
    for (size_t i = first; i < words.size(); ++i) text += (i > first ? " " : "") + words[i];
    return text;
}

void NeedWords(const std::vector<std::string>& words, size_t count, const char* usage) {
    if (words.size() < count) ScriptError(std::string("usage: ") + usage);
}

void RunEditProgress(const std::vector<std::string>& words) {
    NeedWords(words, 2, "edit-progress set SLOT KEY [VALUE...] | truncate BYTES|-BYTES | append TEXT... | delete");
    const std::string& how = words[1];
    if (how == "set") {
        NeedWords(words, 4, "edit-progress set SLOT KEY [VALUE...]");
        EditProgressKey(static_cast<int>(ParseInt(words[2])), words[3], JoinFrom(words, 4));
    } else if (how == "truncate") {
        NeedWords(words, 3, "edit-progress truncate BYTES|-BYTES");
        std::string text = ProgressText();
        const long bytes = ParseInt(words[2]);  // negative: that many bytes off the end
        const size_t keep = bytes < 0 ? text.size() - std::min<size_t>(text.size(), -bytes) : bytes;
        text.resize(std::min(text.size(), keep));
        WriteFileBytes(Narrow(ProgressFilePath()), std::vector<uint8_t>(text.begin(), text.end()));
    } else if (how == "append") {
        std::vector<std::string> lines = SplitLines(ProgressText());
        lines.push_back(JoinFrom(words, 2));
        WriteProgressText(lines);
    } else if (how == "delete") {
        DeleteFileW(ProgressFilePath().c_str());
    } else {
        ScriptError("edit-progress: unknown edit '" + how + "'");
    }
    Trace("edit-progress %s", JoinFrom(words, 1).c_str());
}

void TraceZone(uint32_t index) {
    const int16_t* before = zoneDensities[index % kZoneCount];
    const ZoneLookup lookup = LookUpZone(index);
    std::string line = "zone " + std::to_string(index) + ":";
    for (int g = 0; g < 4; ++g) {
        line += " " + std::string(kGangNames[g]) + " " + std::to_string(before[g]) + "->" +
                std::to_string(lookup.Density(kGangOffsets[g]));
    }
    Trace("%s", line.c_str());
}

void TraceSave(int slot) {
    const SaveCall save = SaveGame(slot);
    std::vector<uint8_t> bytes;
    ReadFileBytes(SaveFilePath(slot), bytes);
    Trace("save slot=%d result=%u status=%u bytes=%u key=%s", slot, save.call.eax & 0xFF, save.status,
          static_cast<unsigned>(bytes.size()), Narrow(ExpectedSaveKey(SaveFilePath(slot))).c_str());
}

SaveFailure ParseSaveFailure(const std::string& word) {
    if (word == "result") return SaveFailure::ResultZero;
    if (word == "status") return SaveFailure::StatusNonZero;
    if (word != "none") ScriptError("save-fail: expected none, result or status");
    return SaveFailure::None;
}

// A script's saves live in the game folder; each run starts without any.
void UseGameFolderForSaves() {
    static bool emptied = false;
    SetSaveFolder(Narrow(GameFolder()) + "\\saves");
    if (emptied) return;
    emptied = true;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((saveFolder + "\\GTA3sf*.b").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        DeleteFileA((saveFolder + "\\" + found.cFileName).c_str());
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

}  // namespace

// ---------------------------------------------------------------- zones
void SetZoneDensities(uint32_t index, int16_t triads, int16_t leone, int16_t cartel, int16_t yardies) {
    int16_t* zoneRow = zoneDensities[index % kZoneCount];
    zoneRow[0] = triads;
    zoneRow[1] = leone;
    zoneRow[2] = cartel;
    zoneRow[3] = yardies;
}

void SetAllZoneDensities(int16_t triads, int16_t leone, int16_t cartel, int16_t yardies) {
    for (uint32_t z = 0; z < kZoneCount; ++z) SetZoneDensities(z, triads, leone, cartel, yardies);
}

uint8_t ZoneFillByte(uint32_t index, uint32_t offset) {
    return static_cast<uint8_t>(0xA0 + (index % kZoneCount) * 3 + offset);
}

int16_t ZoneLookup::Density(uint32_t offset) const {
    int16_t value;
    memcpy(&value, record + offset, sizeof value);
    return value;
}

ZoneLookup LookUpZone(uint32_t index) {
    memset(zoneRecord, 0xEE, sizeof zoneRecord);
    ZoneLookup lookup;
    lookup.call = CallHost(addr::SiteZoneInfo, {index, static_cast<uint32_t>(reinterpret_cast<uintptr_t>(zoneRecord))},
                           false);
    memcpy(lookup.record, zoneRecord, sizeof zoneRecord);
    return lookup;
}

void __cdecl SimZoneInfo(uint32_t index, uint8_t* record) {
    ++routines.runs[3];
    if (!record) return;
    for (uint32_t offset = 0; offset < kZoneRecordBytes; ++offset) record[offset] = ZoneFillByte(index, offset);
    const int16_t* zoneRow = zoneDensities[index % kZoneCount];
    for (int g = 0; g < 4; ++g) memcpy(record + kGangOffsets[g], &zoneRow[g], sizeof(int16_t));
}

// ---------------------------------------------------------------- new game
CallResult StartNewGame(bool fillsZone) {
    newGameFillsZone = fillsZone;
    const CallResult call = CallHost(addr::SiteGameInit, {}, false);
    newGameFillsZone = false;
    return call;
}

void __cdecl SimGameInit() {
    ++routines.runs[4];
    ++gameSerial;
    if (newGameFillsZone) reinterpret_cast<void(__cdecl*)(uint32_t, uint8_t*)>(addr::SiteZoneInfo)(0, zoneRecord);
}

// ---------------------------------------------------------------- saves
void SetSaveFolder(const std::string& folder) { saveFolder = folder; }

std::string SaveFilePath(int slot) { return saveFolder + "\\GTA3sf" + std::to_string(slot) + ".b"; }

void SetSaveFailure(SaveFailure failure) { saveFailure = failure; }
void SetLoadFailure(bool fail) { loadFailure = fail; }
uint32_t LastLoadedClock() { return lastLoadedClock; }
int SavesWritten() { return savesWritten; }

SaveCall SaveGame(int slot, bool withSaver) {
    CreateDirectoryA(saveFolder.c_str(), nullptr);
    SetHostPath(addr::SavedFilePath, SaveFilePath(slot));
    saverObject[0] = kSaverPending;
    seenArgument = 0;
    seenSaver = false;
    SaveCall save;
    save.call = CallHost(addr::SiteSaveGame, {static_cast<uint32_t>(slot)}, true,
                         withSaver ? static_cast<uint32_t>(reinterpret_cast<uintptr_t>(saverObject)) : 0);
    save.status = saverObject[0];
    save.seenArgument = seenArgument;
    save.seenSaver = seenSaver;
    return save;
}

namespace {
uint8_t RunSaveRoutine(uint8_t* saver, uint32_t argument) {
    seenArgument = argument;
    seenSaver = saver == reinterpret_cast<uint8_t*>(saverObject);
    // Without an object the routine still writes the file, with no status to report.
    if (!saver) return WriteFileBytes(HostPath(addr::SavedFilePath), SaveContent()) ? 1 : 0;
    uint32_t& status = Field<uint32_t>(saver, 0);
    if (saveFailure == SaveFailure::ResultZero) {
        status = 0;
        return 0;
    }
    if (!WriteFileBytes(HostPath(addr::SavedFilePath), SaveContent())) {
        status = kSaverFailed;
        return 0;
    }
    ++savesWritten;
    status = saveFailure == SaveFailure::StatusNonZero ? kSaverFailed : 0;
    return 1;
}
}  // namespace

uint8_t __thiscall SimSaveGame(uint8_t* saver, uint32_t argument) {
    ++routines.runs[5];
    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    const uint8_t result = RunSaveRoutine(saver, argument);
    QueryPerformanceCounter(&end);
    lastSaveRoutineTicks = end.QuadPart - start.QuadPart;
    return result;
}

void SetSaveMinimumBytes(size_t bytes) { saveMinimumBytes = bytes; }
int64_t LastSaveRoutineTicks() { return lastSaveRoutineTicks; }

CallResult LoadGame(int slot) { return LoadGamePath(SaveFilePath(slot)); }

CallResult LoadGamePath(const std::string& path) {
    SetHostPath(addr::LoadFilePath, path);
    return CallHost(addr::SiteLoadGame, {}, false);
}

uint8_t __cdecl SimLoadGame() {
    ++routines.runs[6];
    std::vector<uint8_t> bytes;
    if (loadFailure || !ReadFileBytes(HostPath(addr::LoadFilePath), bytes)) return 0;
    if (bytes.size() < sizeof kSaveMagic + 4 || memcmp(bytes.data(), kSaveMagic, sizeof kSaveMagic) != 0) return 0;
    memcpy(&lastLoadedClock, bytes.data() + sizeof kSaveMagic, 4);
    SetClock(lastLoadedClock);
    if (bytes.size() >= kSerialOffset + 4) memcpy(&gameSerial, bytes.data() + kSerialOffset, 4);
    return 1;
}

std::wstring ExpectedSaveKey(const std::string& path) {
    std::vector<uint8_t> bytes;
    if (!ReadFileBytes(path, bytes)) return std::wstring();
    const uint64_t hash = Fnv1a(bytes);
    wchar_t key[48];
    swprintf(key, 48, L"S%08lX%08lX-%u", static_cast<unsigned long>(hash >> 32),
             static_cast<unsigned long>(hash & 0xFFFFFFFF), static_cast<unsigned>(bytes.size()));
    return key;
}

void ResetSaveRoutines() {
    SetAllZoneDensities(30, 30, 30, 30);
    saveFailure = SaveFailure::None;
    saveMinimumBytes = kSaveMinimumBytes;
    loadFailure = false;
    lastLoadedClock = 0;
    gameSerial = 0;
}

bool RunSaveCommand(const std::vector<std::string>& words) {
    if (words.empty()) return false;
    const std::string& verb = words[0];
    if (verb == "zone") {
        NeedWords(words, 2, "zone N");
        TraceZone(static_cast<uint32_t>(ParseInt(words[1])));
    } else if (verb == "zone-density") {
        NeedWords(words, 6, "zone-density N|all TRIADS LEONE CARTEL YARDIES");
        int16_t d[4];
        for (int g = 0; g < 4; ++g) d[g] = static_cast<int16_t>(ParseInt(words[2 + g]));
        if (words[1] == "all") {
            SetAllZoneDensities(d[0], d[1], d[2], d[3]);
        } else {
            SetZoneDensities(static_cast<uint32_t>(ParseInt(words[1])), d[0], d[1], d[2], d[3]);
        }
    } else if (verb == "newgame") {
        StartNewGame();
        Trace("newgame");
    } else if (verb == "save") {
        NeedWords(words, 2, "save SLOT");
        UseGameFolderForSaves();
        TraceSave(static_cast<int>(ParseInt(words[1])));
    } else if (verb == "load") {
        NeedWords(words, 2, "load SLOT");
        UseGameFolderForSaves();
        const int slot = static_cast<int>(ParseInt(words[1]));
        const CallResult load = LoadGame(slot);
        Trace("load slot=%d result=%u clock=%u", slot, load.eax & 0xFF, Clock());
    } else if (verb == "save-fail") {
        NeedWords(words, 2, "save-fail none|result|status");
        SetSaveFailure(ParseSaveFailure(words[1]));
    } else if (verb == "load-fail") {
        NeedWords(words, 2, "load-fail on|off");
        SetLoadFailure(words[1] == "on");
    } else if (verb == "progress-file") {
        for (const std::string& line : SplitLines(ProgressText())) Trace("progress| %s", line.c_str());
    } else if (verb == "edit-progress") {
        UseGameFolderForSaves();
        RunEditProgress(words);
    } else {
        return false;
    }
    return true;
}

}  // namespace sim
