#include "progress/save_fingerprint.h"

#include <windows.h>

#include <cwchar>
#include <optional>

#include "host/text_print.h"

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

std::optional<uint32_t> SizeInRange(HANDLE file) {
    LARGE_INTEGER length;
    if (!GetFileSizeEx(file, &length)) return std::nullopt;
    if (length.QuadPart < kSaveFileMinBytes || length.QuadPart > kSaveFileMaxBytes) return std::nullopt;
    return static_cast<uint32_t>(length.QuadPart);
}

// The hash of the file from its current position to its end, which must lie
// exactly `size` bytes on. None on a read error or another length.
std::optional<uint64_t> HashOfExactly(HANDLE file, uint32_t size) {
    uint8_t chunk[kChunkBytes];
    uint64_t hash = kFnvOffsetBasis;
    uint32_t total = 0;
    for (;;) {
        DWORD got{};
        if (!ReadFile(file, chunk, kChunkBytes, &got, nullptr)) return std::nullopt;
        if (got == 0) break;
        hash = FoldBytes(hash, chunk, got);
        total += got;
        if (total > size) return std::nullopt;  // it grew while it was read: no need to read on
    }
    if (total != size) return std::nullopt;  // it shrank while it was read
    return hash;
}

}  // namespace

bool SaveFingerprint(const char* path, wchar_t (&key)[kFingerprintChars]) {
    if (!path || path[0] == '\0') return false;
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const std::optional<uint32_t> size = SizeInRange(file);
    const std::optional<uint64_t> hash = size ? HashOfExactly(file, *size) : std::nullopt;
    CloseHandle(file);
    if (!hash) return false;
    PrintText(key, kFingerprintChars, L"S%08lX%08lX-%u", static_cast<unsigned long>(*hash >> 32),
              static_cast<unsigned long>(*hash & 0xFFFFFFFFu), *size);
    return true;
}
