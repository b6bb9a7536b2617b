#include "progress/progress_file.h"

#include <windows.h>

#include <cstdint>
#include <cwchar>

#include "host/module_entry.h"
#include "host/text_print.h"

namespace {

constexpr DWORD kCopyChunkBytes = 4096;
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr int kValueChars = 256;
constexpr DWORD kLongestValue = kValueChars - 2;  // a longer value comes back cut to 255
// No entry holds this value: a line with a control character is no entry of
// the tally below, so reading it back means "no such key" either way.
constexpr wchar_t kNoValue[] = L"\x01";
constexpr uint64_t kQuoteChars = 2;    // quotes around a value are not read back
constexpr uint64_t kLineEndChars = 2;  // CR LF after a new key
constexpr uint32_t kMostKeptLineEnd = 2;

// What of a file any INI writer keeps when it changes one entry. Windows
// keeps every other byte as it was; Wine writes every line anew: without
// blank lines and blanks, without what follows a section's closing bracket,
// with CR LF after each line, and lines with control characters may lose
// their tail. So the tally counts, in the units of the file's encoding,
// the visible characters of every line that holds an entry, and the line end
// after it up to two characters. Characters beyond ASCII count nothing: a
// code page may write them in another number of bytes.
struct KeptTally {
    uint64_t bytes;
    uint8_t firstByte, pendingByte;
    uint32_t unitBytes;  // 2 in a UTF-16 file
    bool bigEndian;
    uint64_t kept;  // units
    // The line being read:
    uint32_t lineUnits, lineEndUnits;
    bool inLineEnd, holdsEntry, isSection, sectionClosed, broken;
};

void EndLine(KeptTally& t) {
    if (t.holdsEntry && !t.broken) t.kept += t.lineUnits + t.lineEndUnits;
    t.lineUnits = t.lineEndUnits = 0;
    t.inLineEnd = t.holdsEntry = t.isSection = t.sectionClosed = t.broken = false;
}

void TallyUnit(KeptTally& t, uint32_t unit) {
    if (unit == '\r' || unit == '\n') {
        t.inLineEnd = true;
        if (t.lineEndUnits < kMostKeptLineEnd) ++t.lineEndUnits;
        return;
    }
    if (t.inLineEnd) EndLine(t);
    if (unit == ' ' || unit == '\t' || unit >= 0x80 || t.sectionClosed) return;
    if (unit < 0x20 || unit == 0x7F || (!t.holdsEntry && unit == '=')) {
        t.broken = true;  // a key without a name may go too
        return;
    }
    if (!t.holdsEntry) t.isSection = unit == '[';
    t.holdsEntry = true;
    t.sectionClosed = t.isSection && unit == ']';
    if (t.sectionClosed && t.lineUnits == 1) t.broken = true;  // "[]": a section without a name may go
    ++t.lineUnits;
}

// A byte order mark of UTF-16 at the start sets the unit; any other first
// bytes are text (the mark of UTF-8 counts nothing, as any non-ASCII byte).
void TallyBytes(KeptTally& t, const uint8_t* bytes, DWORD count) {
    for (DWORD i = 0; i < count; ++i) {
        const uint8_t byte = bytes[i];
        if (++t.bytes == 1) {
            t.firstByte = byte;
            continue;
        }
        if (t.bytes == 2) {
            t.bigEndian = t.firstByte == 0xFE && byte == 0xFF;
            if (t.bigEndian || (t.firstByte == 0xFF && byte == 0xFE)) {
                t.unitBytes = 2;
                t.kept = 1;  // both writers keep the mark
                continue;
            }
            TallyUnit(t, t.firstByte);
        }
        if (t.unitBytes == 1) {
            TallyUnit(t, byte);
        } else if (t.bytes % 2 == 1) {
            t.pendingByte = byte;
        } else {
            TallyUnit(t, t.bigEndian ? t.pendingByte << 8 | byte : byte << 8 | t.pendingByte);
        }
    }
}

// The units kept of the whole file, once it has all been tallied.
uint64_t KeptUnits(KeptTally& t) {
    if (t.bytes == 1) TallyUnit(t, t.firstByte);
    EndLine(t);
    return t.kept;
}

// Copies the progress file, or nothing when there is none yet, into a copy
// made afresh, tallying what it holds.
bool CopyProgressFile(const wchar_t* copyPath, KeptTally& tally) {
    HANDLE from = CreateFileW(progressPath, GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    // Only a file that is not there is empty; one that cannot be opened is not.
    if (from == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_NOT_FOUND) return false;
    HANDLE to = CreateFileW(copyPath, GENERIC_WRITE, kShareAll, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    bool copied = to != INVALID_HANDLE_VALUE;
    uint8_t chunk[kCopyChunkBytes];
    while (copied && from != INVALID_HANDLE_VALUE) {
        DWORD got = 0;
        copied = ReadFile(from, chunk, kCopyChunkBytes, &got, nullptr);
        if (!copied || got == 0) break;
        TallyBytes(tally, chunk, got);
        DWORD written = 0;
        copied = WriteFile(to, chunk, got, &written, nullptr) && written == got;
    }
    // A file left open could be neither replaced nor moved.
    if (from != INVALID_HANDLE_VALUE && !CloseHandle(from)) copied = false;
    if (to != INVALID_HANDLE_VALUE && !CloseHandle(to)) copied = false;
    return copied;
}

// The least the copy must hold once `value` is written: every entry of the
// old file, the key's old value (read from the copy before the write) giving
// way to the new one. None is known when the old value is too long to read.
uint64_t LeastUnitsAfterWrite(uint64_t keptUnits, const wchar_t* copyPath, const wchar_t* section,
                              const wchar_t* key, const wchar_t* value) {
    wchar_t old[kValueChars] = {};
    const DWORD oldChars = GetPrivateProfileStringW(section, key, kNoValue, old, kValueChars, copyPath);
    const uint64_t newChars = wcslen(value);
    if (wcscmp(old, kNoValue) == 0) return keptUnits + wcslen(key) + 1 + newChars + kLineEndChars;
    if (oldChars > kLongestValue) return 0;
    const uint64_t gone = oldChars + kQuoteChars;
    return keptUnits + newChars > gone ? keptUnits + newChars - gone : 0;
}

bool ReadsBack(const wchar_t* copyPath, const wchar_t* section, const wchar_t* key, const wchar_t* value) {
    wchar_t back[kValueChars] = {};
    const DWORD chars = GetPrivateProfileStringW(section, key, L"", back, kValueChars, copyPath);
    return chars == wcslen(value) && wcscmp(back, value) == 0;
}

// The copy is at least `leastBytes` long, and on the disk.
bool LongEnoughAndFlushed(const wchar_t* copyPath, uint64_t leastBytes) {
    HANDLE copy = CreateFileW(copyPath, GENERIC_READ | GENERIC_WRITE, kShareAll, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (copy == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size;
    const bool whole = GetFileSizeEx(copy, &size) && static_cast<uint64_t>(size.QuadPart) >= leastBytes &&
                       FlushFileBuffers(copy);
    return CloseHandle(copy) && whole;
}

}  // namespace

bool WriteProgressEntry(const wchar_t* section, const wchar_t* key, const wchar_t* value) {
    wchar_t copyPath[kPathChars] = {};
    const int length = PrintText(copyPath, kPathChars, L"%ls%ls", progressPath, kProgressCopySuffix);
    if (length < 0 || length >= kPathChars) return false;
    KeptTally tally = {};
    tally.unitBytes = 1;
    bool written = CopyProgressFile(copyPath, tally);
    if (written) {
        const uint64_t leastUnits = LeastUnitsAfterWrite(KeptUnits(tally), copyPath, section, key, value);
        written = WritePrivateProfileStringW(section, key, value, copyPath) &&
                  ReadsBack(copyPath, section, key, value) &&
                  LongEnoughAndFlushed(copyPath, leastUnits * tally.unitBytes) &&
                  MoveFileExW(copyPath, progressPath, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    }
    if (!written) DeleteFileW(copyPath);
    return written;
}
