// End-to-end sessions: the shipped Quellbrand.asi copied into a game folder
// of its own and loaded into the simulated host exactly as an ASI loader does.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct PluginSession {
    std::wstring folder;
    std::wstring stem;  // the module's file name less ".asi"
    HMODULE module = nullptr;

    explicit PluginSession(const wchar_t* purpose);
    ~PluginSession();

    std::wstring AsiPath() const { return folder + L"\\" + stem + L".asi"; }
    std::wstring IniPath() const { return folder + L"\\" + stem + L".ini"; }
    std::wstring LogPath() const { return folder + L"\\" + stem + L".log"; }
    std::wstring ProgressPath() const { return folder + L"\\" + stem + L"-saves.ini"; }

    void WriteSettings(const std::string& lines);  // "[Morwenstal]" is added in front
    bool Load();                                   // LoadLibraryW
    void Unload();                                 // FreeLibrary, under Windows' pin rule
    std::vector<std::string> LogLines() const;
    void* Export(const char* name) const;
};

// The path of the shipped module (dist/Quellbrand.asi), from QB_ASI.
std::wstring ShippedAsi();
// How many of the eight sites currently start with a jump (E9).
int PatchedSiteCount();
