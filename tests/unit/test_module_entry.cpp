// Start-up and unload: the side files' names, host recognition by the six
// header fields, the READY and DISABLED lines and the hooks' life.
#include <gtest/gtest.h>

#include <cstring>
#include <cwchar>
#include <string>
#include <utility>

#include "fear/fear_state.h"
#include "host/hook_engine.h"
#include "host/module_entry.h"
#include "settings/settings.h"
#include "sim.h"
#include "support/test_files.h"
#include "support/win32_faults.h"

namespace {

constexpr char kReady[] = "Quellbrand 0.4.4 READY: GTA III 1.0 x86, eight hooks.";
constexpr char kDisabled[] = "Quellbrand DISABLED: unsupported executable or hook conflict.";
const HMODULE kModule = reinterpret_cast<HMODULE>(0x10000000);

int PatchedSites() {
    int patched = 0;
    for (const HookSite& hook : hookSites) patched += sim::Mem<uint8_t>(hook.site) == 0xE9;
    return patched;
}

// Writes a value into the host executable's in-memory header and puts the
// old one back when the test ends.
class HeaderPatch {
public:
    HeaderPatch(uint32_t offset, uint32_t value, int width) : at_(reinterpret_cast<uint8_t*>(0x400000) + offset), width_(width) {
        DWORD old = 0;
        VirtualProtect(at_, 4, PAGE_READWRITE, &old);
        memcpy(saved_, at_, width_);
        memcpy(at_, &value, width_);
    }
    ~HeaderPatch() { memcpy(at_, saved_, width_); }

private:
    uint8_t* at_;
    int width_;
    uint8_t saved_[4];
};

uint32_t PeOffset() { return sim::Mem<uint32_t>(0x40003C); }

// Every site holds its whole patch: a jump to its relay, then NOPs, and the
// relay's cell holds the handler.
bool AllSitesJumpToTheirHandlers() {
    for (const HookSite& hook : hookSites) {
        if (!hook.installed || !hook.trampoline) return false;
        std::vector<uint8_t> patch(hook.length, 0x90);
        const uint32_t to = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(hook.trampoline + kRelayOffset)) -
                            (hook.site + 5);
        patch[0] = 0xE9;
        memcpy(&patch[1], &to, 4);
        if (sim::ReadBytes(hook.site, hook.length) != patch) return false;
        if (*reinterpret_cast<void* const*>(hook.trampoline + kCellOffset) != hook.handler) return false;
    }
    return true;
}

class ModuleEntry : public testing::Test {
protected:
    std::wstring folder = testfiles::NewFolder(L"entry");
    std::wstring module = folder + L"\\Quellbrand.asi";

    void SetUp() override {
        sim::InstallHost();
        InitFearState();
        settings = Settings{};
        faults::Clear();
        for (wchar_t* path : {settingsPath, progressPath, logPath}) wmemset(path, 0, kPathChars);
        faults::OverrideModuleFileName(module.c_str());
    }
    void TearDown() override {
        faults::Clear();
        DetachModule(nullptr);
        RemoveHooks();
    }
    std::vector<std::string> Log() const { return testfiles::ReadLines(folder + L"\\Quellbrand.log"); }
    void WriteSettings(const std::string& lines) {
        testfiles::WriteFile(folder + L"\\Quellbrand.ini", "[Morwenstal]\r\n" + lines);
    }
};

TEST_F(ModuleEntry, AcceptedHostGetsItsHooksAndTheReadyLine) {
    WriteSettings("KillsRequired=50\r\n");
    const DWORD before = GetTickCount();
    AttachModule(kModule);
    EXPECT_TRUE(fearState.active);
    EXPECT_EQ(8, PatchedSites());
    EXPECT_EQ(std::vector<std::string>{kReady}, Log());
    EXPECT_EQ(50u, KillsRequired());
    EXPECT_GE(fearState.lastReloadTime - before, 0u);
    EXPECT_LE(fearState.lastReloadTime - before, 5000u);
    EXPECT_EQ(folder + L"\\Quellbrand.ini", std::wstring(settingsPath));
    EXPECT_EQ(folder + L"\\Quellbrand-saves.ini", std::wstring(progressPath));
    EXPECT_EQ(folder + L"\\Quellbrand.log", std::wstring(logPath));
}

TEST_F(ModuleEntry, DynamicUnloadRestoresTheSitesOnceAndSilently) {
    AttachModule(kModule);
    DetachModule(nullptr);
    EXPECT_FALSE(fearState.active);
    EXPECT_TRUE(sim::SitesPristine());
    faults::Clear();
    DetachModule(nullptr);  // a second notification does nothing
    EXPECT_EQ(0, faults::Calls(faults::kVirtualProtect));
    EXPECT_EQ(std::vector<std::string>{kReady}, Log());
}

TEST_F(ModuleEntry, ProcessExitLeavesThePatchedBytes) {
    AttachModule(kModule);
    DetachModule(reinterpret_cast<LPVOID>(1));
    EXPECT_TRUE(fearState.active);
    EXPECT_EQ(8, PatchedSites());
}

TEST_F(ModuleEntry, PathLengthRules) {
    // 239 characters in all are accepted, 240 are not.
    const std::wstring stem = folder + L"\\";
    const std::wstring longest = stem + std::wstring(239 - stem.size() - 4, L'q') + L".asi";
    ASSERT_EQ(239u, longest.size());
    faults::OverrideModuleFileName(longest.c_str());
    AttachModule(kModule);
    EXPECT_EQ(longest.substr(0, 235) + L"-saves.ini", std::wstring(progressPath));
    EXPECT_TRUE(fearState.active);
    DetachModule(nullptr);

    for (wchar_t* path : {settingsPath, progressPath, logPath}) wmemset(path, 0, kPathChars);
    const std::wstring tooLong = stem + std::wstring(240 - stem.size() - 4, L'q') + L".asi";
    faults::OverrideModuleFileName(tooLong.c_str());
    AttachModule(kModule);
    EXPECT_EQ(0, settingsPath[0]);
    EXPECT_FALSE(fearState.active);
    EXPECT_EQ(0, PatchedSites());
}

TEST_F(ModuleEntry, NoModulePathOrNoDotMeansInert) {
    faults::FailCall(faults::kGetModuleFileNameW, 1);
    AttachModule(kModule);
    EXPECT_EQ(0, settingsPath[0]);

    const std::wstring noDot = folder + L"\\plugin";
    ASSERT_EQ(std::wstring::npos, noDot.find(L'.'));
    faults::OverrideModuleFileName(noDot.c_str());
    AttachModule(kModule);
    EXPECT_EQ(0, settingsPath[0]);
    EXPECT_EQ(0, PatchedSites());
    EXPECT_FALSE(testfiles::Exists(folder + L"\\plugin.log"));
}

TEST_F(ModuleEntry, TheLastDotOfTheWholePathCutsTheName) {
    const std::wstring dotted = folder + L"\\GTA.III";
    CreateDirectoryW(dotted.c_str(), nullptr);
    const std::wstring plugin = dotted + L"\\plugin";
    faults::OverrideModuleFileName(plugin.c_str());
    AttachModule(kModule);
    EXPECT_EQ(folder + L"\\GTA.ini", std::wstring(settingsPath));
    EXPECT_EQ(folder + L"\\GTA-saves.ini", std::wstring(progressPath));
    EXPECT_EQ(folder + L"\\GTA.log", std::wstring(logPath));
    EXPECT_EQ(std::vector<std::string>{kReady}, testfiles::ReadLines(folder + L"\\GTA.log"));
}

// Each header test refuses the host on its own; the HOST line before the
// DISABLED line tells what was found from the entry-point words and the header.
TEST_F(ModuleEntry, EachHeaderTestRefusesTheHostOnItsOwn) {
    WriteSettings("KillsRequired=40\r\n");
    const std::string kModified = "HOST: modified GTA III 1.0 found (TimeDateStamp ";
    const std::string kNeedsOriginal = "; this plugin needs the unmodified 1.0.";
    struct Case {
        const char* what;
        uint32_t offset;
        uint32_t value;
        int width;
        std::string host;
    };
    const Case cases[] = {
        {"DOS signature", 0, 0x5A4E, 2, kModified + "3CCECE14, SizeOfImage 00582000)" + kNeedsOriginal},
        {"PE signature", PeOffset(), 0x00004551, 4, kModified + "3CCECE14, SizeOfImage 00582000)" + kNeedsOriginal},
        {"machine", PeOffset() + 4, 0x8664, 2, kModified + "3CCECE14, SizeOfImage 00582000)" + kNeedsOriginal},
        {"time stamp", PeOffset() + 8, 0x3CCECE15, 4, kModified + "3CCECE15, SizeOfImage 00582000)" + kNeedsOriginal},
        {"image size", PeOffset() + 0x50, 0x583000, 4, kModified + "3CCECE14, SizeOfImage 00583000)" + kNeedsOriginal},
    };
    for (const Case& c : cases) {
        testfiles::Remove(folder + L"\\Quellbrand.log");
        settings = Settings{};
        {
            HeaderPatch patch(c.offset, c.value, c.width);
            AttachModule(kModule);
        }
        EXPECT_FALSE(fearState.active) << c.what;
        EXPECT_TRUE(sim::SitesPristine()) << c.what;
        EXPECT_EQ((std::vector<std::string>{c.host, kDisabled}), Log()) << c.what;
        EXPECT_EQ(40u, KillsRequired()) << c.what;  // the settings are read all the same
    }

    // Another program's main module: not where the game is based, so no build
    // is named; a header that cannot be read is said to be so.
    void* reserved = VirtualAlloc(nullptr, 0x10000, MEM_RESERVE, PAGE_NOACCESS);
    const std::pair<HMODULE, std::string> programs[] = {
        {reinterpret_cast<HMODULE>(0x500000), "(TimeDateStamp 00000000, SizeOfImage 00000000)"},
        {static_cast<HMODULE>(reserved), "(header unreadable)"},
    };
    for (const auto& program : programs) {
        testfiles::Remove(folder + L"\\Quellbrand.log");
        faults::OverrideMainModule(program.first);
        AttachModule(kModule);
        EXPECT_FALSE(fearState.active);
        EXPECT_EQ((std::vector<std::string>{"HOST: unknown program found " + program.second +
                                                "; this plugin needs GTA III 1.0.",
                                            kDisabled}),
                  Log());
        EXPECT_TRUE(sim::SitesPristine());
    }
    VirtualFree(reserved, 0, MEM_RELEASE);
}

TEST_F(ModuleEntry, ForeignBytesAtASiteWriteTwoLines) {
    sim::Mem<uint8_t>(0x4B6FB0) = 0xE9;
    AttachModule(kModule);
    EXPECT_FALSE(fearState.active);
    EXPECT_EQ((std::vector<std::string>{"DISABLED: code signature mismatch at 004B6FB0.", kDisabled}), Log());
    EXPECT_EQ(0xE8, sim::Mem<uint8_t>(0x48C850));  // sites before it untouched
    EXPECT_EQ(1, PatchedSites());                   // only the foreign byte

    // A relay stub in the last bytes of its page, with no access beyond,
    // names the module it leads into (here kernel32, whose file name the test
    // answers with the plugin's). One cut off by that page, or an indirect
    // jump through a pointer at the top of the address space, names none and
    // reads nothing it may not.
    uint8_t* pages = static_cast<uint8_t*>(VirtualAlloc(nullptr, 0x4000, MEM_RESERVE, PAGE_NOACCESS));
    VirtualAlloc(pages, 0x1000, MEM_COMMIT, PAGE_EXECUTE_READWRITE);
    VirtualAlloc(pages + 0x2000, 0x1000, MEM_COMMIT, PAGE_EXECUTE_READWRITE);
    const uintptr_t relay = reinterpret_cast<uintptr_t>(pages) + 0x1000 - 5;
    const uintptr_t cutRelay = reinterpret_cast<uintptr_t>(pages) + 0x3000 - 4;  // its last byte lies beyond
    const uintptr_t kernel = reinterpret_cast<uintptr_t>(GetModuleHandleW(L"kernel32.dll")) + 0x1000;
    const auto jumpFrom = [](uintptr_t at, uintptr_t to, uint8_t opcode = 0xE9) {
        const uint32_t displacement = static_cast<uint32_t>(to - (at + 5));
        *reinterpret_cast<uint8_t*>(at) = opcode;
        memcpy(reinterpret_cast<void*>(at + 1), &displacement, 4);
    };
    jumpFrom(relay, kernel);
    *reinterpret_cast<uint8_t*>(cutRelay) = 0xE9;
    const uintptr_t secondRelay = reinterpret_cast<uintptr_t>(pages) + 0x100;
    jumpFrom(secondRelay, relay);
    const uintptr_t cell = reinterpret_cast<uintptr_t>(pages);  // holds the address in kernel32
    memcpy(pages, &kernel, 4);
    struct Patch {
        uint8_t opcode;  // 0: the bytes below
        uintptr_t to;
        std::string line;
        std::vector<uint8_t> bytes;
    };
    const auto through = [](uint8_t first, uintptr_t pointer, uint8_t modrm = 0x25) {
        std::vector<uint8_t> bytes = {first, modrm, 0, 0, 0, 0};
        memcpy(&bytes[2], &pointer, 4);
        return bytes;
    };
    const Patch patches[] = {
        {0xE9, relay, "CONFLICT: 004B6FB0 is patched by Quellbrand.asi", {}},
        {0xE8, relay, "", {}},         // a call is not followed into the relay
        {0xE9, secondRelay, "", {}},  // two relays are one too many
        {0xE9, cutRelay, "", {}},
        {0, 0, "CONFLICT: 004B6FB0 is patched by Quellbrand.asi", through(0xFF, cell)},
        {0, 0, "", through(0x90, cell)},  // no jump, though its next byte looks like one
        {0, 0, "", through(0xFF, cell, 0x15)},  // call [abs32]: not a jump this reads
        {0, 0, "", through(0xFF, 0xFFFFFFFE)},
    };
    for (const auto& patch : patches) {
        sim::InstallHost();
        testfiles::Remove(folder + L"\\Quellbrand.log");
        if (patch.opcode) jumpFrom(0x4B6FB0, patch.to, patch.opcode);
        else memcpy(reinterpret_cast<void*>(0x4B6FB0), patch.bytes.data(), patch.bytes.size());
        AttachModule(kModule);
        std::vector<std::string> expected = {"DISABLED: code signature mismatch at 004B6FB0.", kDisabled};
        if (!patch.line.empty()) expected.insert(expected.begin() + 1, patch.line);
        EXPECT_EQ(expected, Log()) << std::hex << unsigned(patch.opcode) << " to " << patch.to;
    }
    VirtualFree(pages, 0, MEM_RELEASE);
}

TEST_F(ModuleEntry, AFailedInstallationIsRefusedAndRolledBack) {
    faults::FailCall(faults::kVirtualProtect, 8 + 2 * 5 + 1);  // while patching site 5
    AttachModule(kModule);
    EXPECT_FALSE(fearState.active);
    EXPECT_TRUE(sim::SitesPristine());
    EXPECT_EQ(0, faults::LiveAllocations());
    EXPECT_EQ(std::vector<std::string>{kDisabled}, Log());
}

// Each Windows call of start-up failing in turn: the module ends active with
// every site patched, or refused with no site touched and nothing held. A
// call whose failure start-up can live with refuses nothing; the log's line
// agrees with the outcome.
TEST_F(ModuleEntry, EachFailingWindowsCallLeavesStartUpWholeOrRefused) {
    using namespace faults;
    WriteSettings("KillsRequired=50\r\n");
    const std::wstring logFile = folder + L"\\Quellbrand.log";
    std::string logBefore;
    int handles = 0, blocks = 0;
    Sweep(
        "attach",
        [&] {
            DetachModule(nullptr);
            RemoveHooks();
            for (wchar_t* path : {settingsPath, progressPath, logPath}) wmemset(path, 0, kPathChars);
            logBefore = testfiles::ReadFile(logFile);
            handles = LiveFileHandles();
            blocks = LiveAllocations();
        },
        [&] { AttachModule(kModule); },
        [&](Api failed) {
            const bool inert = failed == kGetModuleFileNameW;
            if (!inert && failed != kGetModuleHandleW && failed != kVirtualAlloc && failed != kVirtualProtect)
                EXPECT_TRUE(fearState.active);
            EXPECT_EQ(inert, settingsPath[0] == 0);
            if (fearState.active) {
                EXPECT_TRUE(AllSitesJumpToTheirHandlers());
                EXPECT_EQ(LiveAllocations(), blocks + kHookCount);
            } else {
                EXPECT_TRUE(sim::SitesPristine());
                EXPECT_EQ(LiveAllocations(), blocks);
            }
            const std::string line = fearState.active ? kReady : kDisabled;
            const std::string added = testfiles::ReadFile(logFile).substr(logBefore.size());
            if (inert) {
                EXPECT_EQ(added, "");
            } else if (failed == kCreateFileW) {  // the log's open, or the settings file's
                EXPECT_TRUE(added == "" || added == line + "\r\n") << added;
            } else if (failed == kWriteFile) {
                EXPECT_TRUE(added == line || added == "\r\n") << added;
            } else if (failed == kGetModuleHandleW) {  // refused by the base test: the HOST line first
                EXPECT_EQ(0u, added.rfind("HOST: ", 0)) << added;
                EXPECT_EQ(line + "\r\n", added.substr(added.find("\r\n") + 2));
            } else {
                EXPECT_EQ(added, line + "\r\n");
            }
            EXPECT_EQ(LiveFileHandles(), handles + (failed == kCloseHandle));
        });
}

}  // namespace
