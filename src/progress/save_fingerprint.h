// The key that names one saved game in the progress file: a 64-bit FNV-1a
// hash of every byte of the save file together with its length.
#pragma once

#include <cstdint>

constexpr int kFingerprintChars = 48;
constexpr uint32_t kSaveFileMinBytes = 512;
constexpr uint32_t kSaveFileMaxBytes = 0x800000;

// Writes "S<16 hex digits>-<length>" into `key` and returns true; on false
// `key` is left as it was. `path` is the host's 8-bit (ANSI) file name.
bool SaveFingerprint(const char* path, wchar_t (&key)[kFingerprintChars]);
