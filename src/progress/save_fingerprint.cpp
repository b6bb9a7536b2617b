#include "progress/save_fingerprint.h"

#include <windows.h>

#include <cwchar>

namespace {

constexpr uint64_t kFnvOffsetBasis = 0xCBF29CE484222325ull;
constexpr uint64_t kFnvPrime = 0x100000001B3ull;
constexpr DWORD kChunkBytes = 4096;

uint64_t FoldBytes(uint64_t hash, const uint8_t* bytes, DWORD count) {
    for (DWORD i = 0; i < count; ++i) {
        hash ^= bytes[i];
        hash *= kFnvPrime;
    }
    return hash;
}

bool SizeInRange(HANDLE file, uint32_t& size) {
    LARGE_INTEGER length;
    if (!GetFileSizeEx(file, &length)) return false;
    if (length.QuadPart < kSaveFileMinBytes || length.QuadPart > kSaveFileMaxBytes) return false;
    size = static_cast<uint32_t>(length.QuadPart);
    return true;
}

// Hashes the file from its current position to its end. False on a read
// error or when more bytes arrive than `size` promised.
bool HashWholeFile(HANDLE file, uint32_t size, uint64_t& hash, uint32_t& total) {
    uint8_t chunk[kChunkBytes];
    hash = kFnvOffsetBasis;
    total = 0;
    for (;;) {
        DWORD got{};
        if (!ReadFile(file, chunk, kChunkBytes, &got, nullptr)) return false;
        if (got == 0) return true;
        hash = FoldBytes(hash, chunk, got);
        total += got;
        if (total > size) return false;
    }
}

}  // namespace

bool SaveFingerprint(const char* path, wchar_t (&key)[kFingerprintChars]) {
    if (!path || path[0] == '\0') return false;
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    uint32_t size{};
    uint64_t hash{};
    uint32_t total{};
    const bool read = SizeInRange(file, size) && HashWholeFile(file, size, hash, total);
    CloseHandle(file);
    // A file that shrank while it was read ends short of its promised size.
    if (!read || total != size) return false;
    swprintf(key, kFingerprintChars, L"S%08lX%08lX-%u", static_cast<unsigned long>(hash >> 32),
             static_cast<unsigned long>(hash & 0xFFFFFFFFu), size);
    return true;
}
