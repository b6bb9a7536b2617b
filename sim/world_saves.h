// The simulator's zones, new game, save and load: what the host's routines
// at 0x4B6FB0, 0x4AAC60, 0x591EC0 and 0x590A00 do, and calls into them the
// way the game makes them.
#pragma once

#include <cstdint>
#include <string>

#include "sim.h"

namespace sim {

// Zone-information records: 72 bytes, the gangs' signed 16-bit densities at
// these offsets; every other byte holds a fill pattern of the zone.
constexpr uint32_t kZoneRecordBytes = 72;
constexpr int kZoneCount = 16;
namespace zone {
constexpr uint32_t Leone = 38, Triads = 40, Yardies = 46, Cartel = 48;
}

// Densities the host fills for zone `index` (taken modulo kZoneCount), in
// GangId order: Triads, Leone, Cartel, Yardies. Every zone starts at 30 each.
void SetZoneDensities(uint32_t index, int16_t triads, int16_t leone, int16_t cartel, int16_t yardies);
void SetAllZoneDensities(int16_t triads, int16_t leone, int16_t cartel, int16_t yardies);
// The byte the host writes at `offset` of a zone record that is no density.
uint8_t ZoneFillByte(uint32_t index, uint32_t offset);

struct ZoneLookup {
    CallResult call;
    uint8_t record[kZoneRecordBytes];
    int16_t Density(uint32_t offset) const;
};
// Has the host fill zone `index`'s record through 0x4B6FB0, as its callers do.
ZoneLookup LookUpZone(uint32_t index);

// New game: the host's (re)initialisation at 0x4AAC60; with `fillsZone` it
// fills a zone record through 0x4B6FB0 on the way.
CallResult StartNewGame(bool fillsZone = false);

// Save files: "<folder>\GTA3sf<slot>.b", the folder created on first use.
// Default folder: "saves" in the current directory.
void SetSaveFolder(const std::string& folder);
std::string SaveFilePath(int slot);

enum class SaveFailure { None, ResultZero, StatusNonZero };
// The next saves fail this way (until set back to None).
void SetSaveFailure(SaveFailure failure);
// The next loads report failure, whatever the file holds.
void SetLoadFailure(bool fail);

struct SaveCall {
    CallResult call;
    uint32_t status;          // the saver's first word after the call
    uint32_t seenArgument;    // what reached the host routine
    bool seenSaver;           // the routine got the saver object in ECX
};
// The game saving to `slot`: the path at 0x8E2CBC, then the save method
// (saver object in ECX, the slot as its argument; ECX 0 without `withSaver`).
SaveCall SaveGame(int slot, bool withSaver = true);
// The game loading `slot`: the path at 0x9403C4, then the load routine.
CallResult LoadGame(int slot);
// Loads whatever path is at 0x9403C4 now (for paths that are no slot).
CallResult LoadGamePath(const std::string& path);

// Saves are padded to at least this many bytes (5000 until ResetWorld or a change).
void SetSaveMinimumBytes(size_t bytes);
// QueryPerformanceCounter ticks the host's own save routine took in the last
// save, without any hook around it.
int64_t LastSaveRoutineTicks();

// The clock and frame count the last successful host load restored.
uint32_t LastLoadedClock();
int SavesWritten();

// The key the plugin should file a save under: "S" + FNV-1a 64 of the file's
// bytes in hex + "-" + its length; empty when the file cannot be read.
std::wstring ExpectedSaveKey(const std::string& path);

}  // namespace sim
