// The save file's fingerprint, computed with the real file calls.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "progress/save_fingerprint.h"
#include "support/test_files.h"
#include "support/win32_faults.h"
#include "world_saves.h"

namespace {

const std::wstring kRefused = L"refused";

std::string Pattern(size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i * 7 + (i >> 9));
    return bytes;
}

HANDLE Open(const std::string& path, DWORD access, DWORD share) {
    return CreateFileA(path.c_str(), access, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

std::string changingFile;
LONGLONG changedLength;

void ResizeOnFirstRead(HANDLE, DWORD) {
    faults::afterReadFile = nullptr;
    HANDLE other = Open(changingFile, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE);
    LARGE_INTEGER at;
    at.QuadPart = changedLength;
    SetFilePointerEx(other, at, nullptr, FILE_BEGIN);
    SetEndOfFile(other);
    CloseHandle(other);
}

class Fingerprint : public ::testing::Test {
protected:
    void SetUp() override {
        faults::Clear();
        folder = testfiles::Narrow(testfiles::NewFolder(L"fingerprint")) + "\\";
    }
    void TearDown() override { faults::Clear(); }

    std::string MakeFile(const std::string& name, const std::string& bytes) {
        const std::string path = folder + name;
        EXPECT_TRUE(testfiles::WriteFile(std::wstring(path.begin(), path.end()), bytes));
        return path;
    }

    // The key, or "refused" with the caller's buffer untouched. Either way no
    // handle stays open: an exclusive open of an existing file succeeds.
    static std::wstring KeyOf(const char* path) {
        wchar_t key[kFingerprintChars] = L"untouched";
        const bool made = SaveFingerprint(path, key);
        EXPECT_TRUE(made || wcscmp(key, L"untouched") == 0) << (path ? path : "(null)");
        if (path && GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES) {
            HANDLE file = Open(path, GENERIC_READ | GENERIC_WRITE, 0);
            EXPECT_NE(file, INVALID_HANDLE_VALUE) << path;
            CloseHandle(file);
        }
        return made ? key : kRefused;
    }
    static std::wstring KeyOf(const std::string& path) { return KeyOf(path.c_str()); }

    std::string folder;
};

}  // namespace

TEST_F(Fingerprint, KeyIsFnv1aOfEveryByteAndTheLength) {
    std::string counting;
    for (int i = 0; i < 512; ++i) counting += static_cast<char>(i);
    EXPECT_EQ(KeyOf(MakeFile("zeros.b", std::string(512, '\0'))), L"S7DA144B97D054B25-512");
    EXPECT_EQ(KeyOf(MakeFile("counting.b", counting)), L"S9432C6144EB04925-512");
    EXPECT_EQ(KeyOf(MakeFile("counting513.b", counting + "x")), L"S828FF181B58CA907-513");

    const std::string bytes = Pattern(3 * 4096 + 17);
    const std::string big = MakeFile("big.b", bytes);
    faults::Clear();
    const std::wstring key = KeyOf(big);
    EXPECT_EQ(key, sim::ExpectedSaveKey(big));
    EXPECT_EQ(faults::Calls(faults::kReadFile), 5);  // three full reads, the rest, the empty read at the end
    EXPECT_EQ(KeyOf(MakeFile("copy.b", bytes)), key);
    std::string changed = bytes;
    changed.back() ^= 0x01;
    const std::wstring changedKey = KeyOf(MakeFile("changed.b", changed));
    EXPECT_NE(changedKey.substr(0, 17), key.substr(0, 17));
    EXPECT_EQ(changedKey.substr(17), key.substr(17));
}

TEST_F(Fingerprint, LengthMustLieBetween512And8MiB) {
    const struct {
        size_t size;
        int reads;  // 0: refused before reading
    } cases[] = {{0, 0}, {511, 0}, {512, 2}, {8388608, 2049}, {8388609, 0}};
    for (const auto& c : cases) {
        const std::string path = MakeFile("file.b", Pattern(c.size));
        faults::Clear();
        const std::wstring key = KeyOf(path);
        EXPECT_EQ(key, c.reads ? sim::ExpectedSaveKey(path) : kRefused) << c.size;
        EXPECT_EQ(faults::Calls(faults::kReadFile), c.reads) << c.size;
        EXPECT_TRUE(c.size != 8388608 || key.size() == 25u) << "the longest key";
    }
}

TEST_F(Fingerprint, EveryFailureIsRefused) {
    EXPECT_EQ(KeyOf(static_cast<const char*>(nullptr)), kRefused);
    EXPECT_EQ(KeyOf(""), kRefused);
    EXPECT_EQ(KeyOf(folder + "missing.b"), kRefused);
    EXPECT_EQ(faults::Calls(faults::kCreateFileA), 1);  // no path never reaches the system

    const std::string path = MakeFile("save.b", Pattern(9000));
    const struct {
        faults::Api api;
        int nth;
    } cases[] = {{faults::kCreateFileA, 1}, {faults::kGetFileSizeEx, 1}, {faults::kReadFile, 1},
                 {faults::kReadFile, 2}, {faults::kReadFile, 4}};
    for (const auto& c : cases) {
        faults::Clear();
        faults::FailCall(c.api, c.nth);
        EXPECT_EQ(KeyOf(path), kRefused) << c.api << " call " << c.nth;
    }

    // Grows past its size while read (refused at once), or shrinks (refused at the end).
    for (LONGLONG length : {20000, 600}) {
        changingFile = MakeFile("changing.b", Pattern(5000));
        changedLength = length;
        faults::Clear();
        faults::afterReadFile = ResizeOnFirstRead;
        EXPECT_EQ(KeyOf(changingFile), kRefused) << length;
        EXPECT_EQ(faults::Calls(faults::kReadFile), 2) << length;
    }
}

TEST_F(Fingerprint, FileHeldOpenElsewhereIsReadUnlessItsHolderSharesNothing) {
    const std::string path = MakeFile("save.b", Pattern(9000));
    HANDLE writer = Open(path, GENERIC_WRITE | DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
    wchar_t key[kFingerprintChars] = {};
    EXPECT_TRUE(SaveFingerprint(path.c_str(), key));
    CloseHandle(writer);
    EXPECT_EQ(key, sim::ExpectedSaveKey(path));

    HANDLE locked = Open(path, GENERIC_READ, 0);
    EXPECT_FALSE(SaveFingerprint(path.c_str(), key));
    CloseHandle(locked);
}
