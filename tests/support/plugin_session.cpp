#include "support/plugin_session.h"

#include <cstdlib>

#include "sim.h"
#include "support/test_files.h"

std::wstring ShippedAsi() {
    const wchar_t* path = _wgetenv(L"QB_ASI");
    return path ? path : L"..\\..\\dist\\Quellbrand.asi";
}

int PatchedSiteCount() {
    const uint32_t sites[8] = {sim::addr::SiteWorldUpdate, sim::addr::SiteKillCredit, sim::addr::SitePedDamage,
                               sim::addr::SiteZoneInfo,    sim::addr::SiteGameInit,   sim::addr::SiteSaveGame,
                               sim::addr::SiteLoadGame,    sim::addr::SiteRenderFrame};
    int patched = 0;
    for (uint32_t site : sites) patched += sim::Mem<uint8_t>(site) == 0xE9;
    return patched;
}

PluginSession::PluginSession(const wchar_t* purpose) : folder(testfiles::NewFolder(purpose)), stem(L"Quellbrand") {
    CopyFileW(ShippedAsi().c_str(), AsiPath().c_str(), FALSE);
}

PluginSession::~PluginSession() { Unload(); }

void PluginSession::WriteSettings(const std::string& lines) {
    testfiles::WriteFile(IniPath(), "[Morwenstal]\r\n" + lines);
}

bool PluginSession::Load() {
    module = LoadLibraryW(AsiPath().c_str());
    return module != nullptr;
}

void PluginSession::Unload() {
    if (module) sim::FreeLastReference(module);
    module = nullptr;
}

std::vector<std::string> PluginSession::LogLines() const { return testfiles::ReadLines(LogPath()); }

void* PluginSession::Export(const char* name) const {
    return module ? reinterpret_cast<void*>(GetProcAddress(module, name)) : nullptr;
}
