// The world tick's settings reload, cheap while the file is unchanged: the
// file's bytes and last-write time are read once, and the keys are read again
// only when either differs from what it was just before the last full load,
// or the file appeared, vanished or could not be read.
#include <windows.h>

#include <cstring>

#include "host/module_entry.h"
#include "settings/settings.h"

namespace {

// A longer file is loaded in full at every reload.
constexpr DWORD kComparedBytes = 16384;

enum class FileState : uint8_t { Unknown, Missing, Read };

struct FileReading {
    FileState state;
    DWORD length;
    FILETIME written;
    uint8_t bytes[kComparedBytes + 1];  // one more: a longer file does not fit
};

// The reading taken just before the last full load, and the newer one.
FileReading readings[2];
int lastLoadReading;

FileReading& NextReading() { return readings[1 - lastLoadReading]; }

bool ReadWholeFile(HANDLE file, FileReading& reading) {
    reading.length = 0;
    for (;;) {
        const DWORD room = sizeof reading.bytes - reading.length;
        if (room == 0) return false;
        DWORD got{};
        if (!ReadFile(file, reading.bytes + reading.length, room, &got, nullptr) || got > room) return false;
        if (got == 0) return true;
        reading.length += got;
    }
}

// Opened with the access and sharing of the system's INI reader, so that the
// open fails exactly when the reader's would (another program holding the
// file without sharing it, say): that reading stays unknown, and the full
// load then gives what the reader gives.
void TakeReading(FileReading& reading) {
    reading.state = FileState::Unknown;
    HANDLE file = CreateFileW(settingsPath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        if (GetLastError() == ERROR_FILE_NOT_FOUND) reading.state = FileState::Missing;
        return;
    }
    if (GetFileTime(file, nullptr, nullptr, &reading.written) && ReadWholeFile(file, reading)) {
        reading.state = FileState::Read;
    }
    CloseHandle(file);
}

// The write time matters as well as the bytes: a file rewritten with the
// same bytes while a load read it may have given that load other values.
bool SameReading(const FileReading& a, const FileReading& b) {
    if (a.state == FileState::Unknown || a.state != b.state) return false;
    if (a.state == FileState::Missing) return true;
    return a.length == b.length && a.written.dwLowDateTime == b.written.dwLowDateTime &&
           a.written.dwHighDateTime == b.written.dwHighDateTime && memcmp(a.bytes, b.bytes, a.length) == 0;
}

// The reading taken before the load, never one after it: a change that
// lands during the load then shows at the next reload.
void LoadWithNextReading() {
    lastLoadReading = 1 - lastLoadReading;
    LoadSettings();
}

}  // namespace

void LoadSettingsAndNoteFile() {
    TakeReading(NextReading());
    LoadWithNextReading();
}

void ReloadSettingsIfFileChanged() {
    TakeReading(NextReading());
    if (SameReading(NextReading(), readings[lastLoadReading])) return;
    LoadWithNextReading();
}
