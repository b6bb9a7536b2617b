// The settings file and guides of the player package (dist/), against the
// keys the plugin's settings reader actually asks for.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <set>
#include <vector>

#include "host/module_entry.h"
#include "settings/settings.h"
#include "support/test_files.h"
#include "support/win32_faults.h"

namespace {

std::wstring PackageFile(const wchar_t* name) {
    const wchar_t* asi = _wgetenv(L"QB_ASI");
    std::wstring path = asi ? asi : L"..\\..\\dist\\Quellbrand.asi";
    return path.substr(0, path.find_last_of(L"\\/") + 1) + name;
}

std::vector<std::wstring> keysAsked;

// Loads the settings from `path` and returns the raw record.
std::vector<uint8_t> LoadFrom(const std::wstring& path) {
    wmemset(settingsPath, 0, kPathChars);
    wcsncpy(settingsPath, path.c_str(), kPathChars - 1);
    keysAsked.clear();
    faults::onProfileRead = [](const wchar_t*, const wchar_t* key) { keysAsked.push_back(key ? key : L"(null)"); };
    LoadSettings();
    faults::onProfileRead = nullptr;
    wmemset(settingsPath, 0, kPathChars);
    std::vector<uint8_t> bytes(sizeof settings);
    memcpy(bytes.data(), &settings, sizeof settings);
    return bytes;
}

// Every name in a double-zero-terminated list of GetPrivateProfileStringW.
std::vector<std::wstring> ProfileNames(const wchar_t* section, const std::wstring& file) {
    std::vector<wchar_t> buffer(8192);
    const DWORD got = section ? GetPrivateProfileStringW(section, nullptr, L"", buffer.data(), 8192, file.c_str())
                              : GetPrivateProfileSectionNamesW(buffer.data(), 8192, file.c_str());
    std::vector<std::wstring> names;
    for (DWORD i = 0; i < got && buffer[i]; i += wcslen(&buffer[i]) + 1) names.push_back(&buffer[i]);
    return names;
}

TEST(ShippedSettingsFile, GivesExactlyTheDefaultsOfNoFileAtAll) {
    const std::wstring shipped = PackageFile(L"Quellbrand.ini");
    ASSERT_TRUE(testfiles::Exists(shipped)) << testfiles::Narrow(shipped);
    const std::vector<uint8_t> withoutFile = LoadFrom(testfiles::NewFolder(L"nofile") + L"\\Quellbrand.ini");
    EXPECT_EQ(withoutFile, LoadFrom(shipped));
}

TEST(ShippedSettingsFile, HoldsEveryKeyThePluginReadsOnceAndNoOther) {
    const std::wstring shipped = PackageFile(L"Quellbrand.ini");
    LoadFrom(shipped);
    const std::set<std::wstring> read(keysAsked.begin(), keysAsked.end());
    EXPECT_EQ(19u, read.size());

    EXPECT_EQ(std::vector<std::wstring>{L"Morwenstal"}, ProfileNames(nullptr, shipped));
    std::vector<std::wstring> inFile = ProfileNames(L"Morwenstal", shipped);
    std::sort(inFile.begin(), inFile.end());
    EXPECT_EQ(std::vector<std::wstring>(read.begin(), read.end()), inFile);
}

TEST(ShippedGuides, ExplainEverySetting) {
    LoadFrom(PackageFile(L"Quellbrand.ini"));
    for (const wchar_t* guide : {L"Quellbrand-readme-en.txt", L"Quellbrand-readme-ru.txt"}) {
        const std::string text = testfiles::ReadFile(PackageFile(guide));
        ASSERT_FALSE(text.empty()) << testfiles::Narrow(guide);
        for (const std::wstring& key : keysAsked) {
            EXPECT_NE(std::string::npos, text.find("\r\n  " + testfiles::Narrow(key) + " "))
                << testfiles::Narrow(guide) << " lacks " << testfiles::Narrow(key);
        }
    }
}

}  // namespace
