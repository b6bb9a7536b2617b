// The save file's fingerprint, computed with the real file calls.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "progress/save_fingerprint.h"
#include "support/test_files.h"
#include "support/win32_faults.h"
#include "world_saves.h"

namespace {

const wchar_t kUntouched[] = L"untouched";

class Fingerprint : public ::testing::Test {
protected:
    void SetUp() override {
        faults::Clear();
        folder = testfiles::NewFolder(L"fingerprint");
        wcscpy(key, kUntouched);
    }
    void TearDown() override {
        faults::afterReadFile = nullptr;
        faults::Clear();
    }

    std::string MakeFile(const std::string& name, const std::string& bytes) {
        const std::wstring wide = folder + L"\\" + std::wstring(name.begin(), name.end());
        EXPECT_TRUE(testfiles::WriteFile(wide, bytes));
        return testfiles::Narrow(wide);
    }

    std::wstring KeyOf(const std::string& path) {
        wchar_t result[kFingerprintChars] = {};
        if (!SaveFingerprint(path.c_str(), result)) return L"refused";
        return result;
    }

    std::wstring folder;
    wchar_t key[kFingerprintChars];
};

std::string Pattern(size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i * 7 + (i >> 9));
    return bytes;
}

// Nobody else may hold the file: an exclusive open succeeds.
bool NoHandleOpen(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
    return true;
}

std::string changingFile;
LONGLONG changedLength;

void ResizeOnFirstRead(HANDLE, DWORD) {
    faults::afterReadFile = nullptr;
    HANDLE other = CreateFileA(changingFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    LARGE_INTEGER at;
    at.QuadPart = changedLength;
    SetFilePointerEx(other, at, nullptr, FILE_BEGIN);
    SetEndOfFile(other);
    CloseHandle(other);
}

}  // namespace

TEST_F(Fingerprint, KeyIsFnv1aOfEveryByteAndTheLength) {
    const std::string zeros = MakeFile("zeros.b", std::string(512, '\0'));
    EXPECT_TRUE(SaveFingerprint(zeros.c_str(), key));
    EXPECT_STREQ(key, L"S7DA144B97D054B25-512");

    std::string counting;
    for (int i = 0; i < 512; ++i) counting += static_cast<char>(i & 0xFF);
    EXPECT_EQ(KeyOf(MakeFile("counting.b", counting)), L"S9432C6144EB04925-512");
    EXPECT_EQ(KeyOf(MakeFile("counting513.b", counting + "x")), L"S828FF181B58CA907-513");

    // A file spread over several reads, against the simulator's own hash.
    const std::string big = MakeFile("big.b", Pattern(3 * 4096 + 17));
    faults::Clear();
    EXPECT_EQ(KeyOf(big), sim::ExpectedSaveKey(big));
    EXPECT_EQ(faults::Calls(faults::kReadFile), 5);  // three full reads, the rest, the empty read at the end
}

TEST_F(Fingerprint, LengthMustLieBetween512And8MiB) {
    EXPECT_EQ(KeyOf(MakeFile("511.b", Pattern(511))), L"refused");
    EXPECT_EQ(KeyOf(MakeFile("0.b", "")), L"refused");
    const std::string smallest = MakeFile("512.b", Pattern(512));
    EXPECT_EQ(KeyOf(smallest), sim::ExpectedSaveKey(smallest));

    const std::string largest = MakeFile("largest.b", Pattern(8388608));
    faults::Clear();
    EXPECT_TRUE(SaveFingerprint(largest.c_str(), key));
    EXPECT_EQ(std::wstring(key), sim::ExpectedSaveKey(largest));
    EXPECT_EQ(std::wstring(key).size(), 25u);
    EXPECT_EQ(faults::Calls(faults::kReadFile), 2049);

    wcscpy(key, kUntouched);
    const std::string tooLarge = MakeFile("toolarge.b", Pattern(8388609));
    faults::Clear();
    EXPECT_FALSE(SaveFingerprint(tooLarge.c_str(), key));
    EXPECT_STREQ(key, kUntouched);
    EXPECT_EQ(faults::Calls(faults::kReadFile), 0);
    EXPECT_TRUE(NoHandleOpen(tooLarge));
}

TEST_F(Fingerprint, SameBytesSameKeyAnyChangeAnotherKey) {
    const std::string bytes = Pattern(2000);
    const std::wstring first = KeyOf(MakeFile("a.b", bytes));
    EXPECT_EQ(KeyOf(MakeFile("copy.b", bytes)), first);

    std::string changed = bytes;
    changed[1999] ^= 0x01;
    const std::wstring changedKey = KeyOf(MakeFile("changed.b", changed));
    EXPECT_NE(changedKey.substr(0, 17), first.substr(0, 17));
    EXPECT_EQ(changedKey.substr(17), L"-2000");

    const std::wstring longer = KeyOf(MakeFile("longer.b", bytes + std::string(1, '\0')));
    EXPECT_EQ(longer.substr(17), L"-2001");
}

TEST_F(Fingerprint, NoPathOrMissingFileLeavesTheKeyAlone) {
    EXPECT_FALSE(SaveFingerprint(nullptr, key));
    EXPECT_FALSE(SaveFingerprint("", key));
    EXPECT_FALSE(SaveFingerprint((testfiles::Narrow(folder) + "\\missing.b").c_str(), key));
    EXPECT_STREQ(key, kUntouched);
    EXPECT_EQ(faults::Calls(faults::kCreateFileA), 1);  // an empty path never reaches the system
}

TEST_F(Fingerprint, FileThatChangesWhileReadIsRefused) {
    changingFile = MakeFile("grows.b", Pattern(5000));
    changedLength = 20000;
    faults::afterReadFile = ResizeOnFirstRead;
    EXPECT_FALSE(SaveFingerprint(changingFile.c_str(), key));
    EXPECT_EQ(faults::Calls(faults::kReadFile), 2);  // refused as soon as the total passes 5000
    EXPECT_TRUE(NoHandleOpen(changingFile));

    changingFile = MakeFile("shrinks.b", Pattern(9000));
    changedLength = 600;
    faults::afterReadFile = ResizeOnFirstRead;
    EXPECT_FALSE(SaveFingerprint(changingFile.c_str(), key));
    EXPECT_TRUE(NoHandleOpen(changingFile));
    EXPECT_STREQ(key, kUntouched);
}

TEST_F(Fingerprint, EverySystemFailureIsRefusedWithoutAHandleLeft) {
    const std::string path = MakeFile("save.b", Pattern(9000));
    struct Case {
        faults::Api api;
        int nth;
    } cases[] = {{faults::kCreateFileA, 1}, {faults::kGetFileSizeEx, 1}, {faults::kReadFile, 1},
                 {faults::kReadFile, 2}, {faults::kReadFile, 4}};
    for (const Case& c : cases) {
        faults::Clear();
        faults::FailCall(c.api, c.nth);
        EXPECT_FALSE(SaveFingerprint(path.c_str(), key)) << c.api << " call " << c.nth;
        EXPECT_STREQ(key, kUntouched);
        EXPECT_TRUE(NoHandleOpen(path)) << c.api << " call " << c.nth;
    }

    // Held by someone who shares nothing.
    faults::Clear();
    HANDLE locked = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(locked, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(SaveFingerprint(path.c_str(), key));
    CloseHandle(locked);
    EXPECT_TRUE(SaveFingerprint(path.c_str(), key));
}
