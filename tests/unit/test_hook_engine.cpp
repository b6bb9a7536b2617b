// The hook engine against the simulated host's code, with the real
// VirtualAlloc, VirtualProtect, VirtualFree and FlushInstructionCache, and
// failures injected at every step that can fail.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <cwchar>

#include "fear/fear_state.h"
#include "host/hook_engine.h"
#include "host/module_entry.h"
#include "sim.h"
#include "support/test_files.h"
#include "support/win32_faults.h"
#include "world.h"

namespace {

using Bytes = std::vector<uint8_t>;

const uint32_t kSites[kHookCount] = {0x48C850, 0x420F60, 0x4EA420, 0x4B6FB0, 0x4AAC60, 0x591EC0, 0x590A00, 0x509030};
const uint32_t kLengths[kHookCount] = {5, 8, 6, 6, 12, 5, 5, 6};

Bytes Rel32(uint8_t opcode, uint32_t from, uint32_t target) {
    const uint32_t d = target - (from + 5);
    return {opcode, uint8_t(d), uint8_t(d >> 8), uint8_t(d >> 16), uint8_t(d >> 24)};
}

uint32_t Address(const void* p) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(p)); }

class HookEngine : public testing::Test {
protected:
    std::wstring log = testfiles::NewFolder(L"hooks") + L"\\Quellbrand.log";
    std::vector<Bytes> original;

    void SetUp() override {
        sim::InstallHost();
        InitFearState();
        faults::Clear();
        swprintf(logPath, kPathChars, L"%ls", log.c_str());
        for (int k = 0; k < kHookCount; ++k) original.push_back(sim::ReadBytes(kSites[k], 16));
    }
    void TearDown() override {
        faults::Clear();
        RemoveHooks();
        wmemset(logPath, 0, kPathChars);
    }

    bool AllSitesAsBefore() {
        for (int k = 0; k < kHookCount; ++k) {
            if (sim::ReadBytes(kSites[k], 16) != original[k]) return false;
        }
        return sim::SitesPristine();
    }
    static bool NoTrampolines() {
        for (const HookSite& hook : hookSites) {
            if (hook.trampoline || hook.installed) return false;
        }
        return faults::LiveAllocations() == 0;
    }
};

bool Flushed(uintptr_t address, SIZE_T bytes) {
    const auto ranges = faults::FlushedRanges();
    return std::find(ranges.begin(), ranges.end(), std::make_pair(address, bytes)) != ranges.end();
}

TEST_F(HookEngine, PatchesEverySiteWithAJumpAndNops) {
    ASSERT_TRUE(VerifySites());
    ASSERT_TRUE(InstallHooks());
    for (int k = 0; k < kHookCount; ++k) {
        // Every write to code is followed by an instruction-cache flush over it.
        const uint8_t* block = hookSites[k].trampoline;
        EXPECT_TRUE(Flushed(kSites[k], kLengths[k]) && Flushed(Address(block), kCellOffset)) << "site " << k;
        Bytes expected = Rel32(0xE9, kSites[k], Address(block + kRelayOffset));
        expected.resize(kLengths[k], 0x90);
        EXPECT_EQ(expected, sim::ReadBytes(kSites[k], kLengths[k])) << "site " << k;
        // The relay jumps through its cell, which holds the handler.
        const uint32_t cell = Address(block + kCellOffset);
        EXPECT_EQ((Bytes{0xFF, 0x25, uint8_t(cell), uint8_t(cell >> 8), uint8_t(cell >> 16), uint8_t(cell >> 24)}),
                  Bytes(block + kRelayOffset, block + kRelayOffset + 6)) << "site " << k;
        EXPECT_EQ(hookSites[k].handler, *reinterpret_cast<void* const*>(block + kCellOffset)) << "site " << k;
        EXPECT_TRUE(hookSites[k].installed);
        // The host's code after the bytes taken over is untouched.
        EXPECT_EQ(Bytes(original[k].begin() + kLengths[k], original[k].end()),
                  sim::ReadBytes(kSites[k] + kLengths[k], 16 - kLengths[k]));
    }
}

TEST_F(HookEngine, TrampolinesRunTheDisplacedBytesAndJumpBack) {
    ASSERT_TRUE(InstallHooks());
    for (int k = 0; k < kHookCount; ++k) {
        const uint8_t* t = hookSites[k].trampoline;
        ASSERT_NE(nullptr, t);
        Bytes expected = k == 0 ? Rel32(0xE8, Address(t), 0x492720) : Bytes(original[k].begin(), original[k].begin() + kLengths[k]);
        const Bytes back = Rel32(0xE9, Address(t) + kLengths[k], kSites[k] + kLengths[k]);
        expected.insert(expected.end(), back.begin(), back.end());
        expected.resize(kTrampolineBytes, 0x00);
        EXPECT_EQ(expected, Bytes(t, t + kTrampolineBytes)) << "trampoline " << k;
        MEMORY_BASIC_INFORMATION info = {};
        VirtualQuery(t, &info, sizeof info);
        EXPECT_EQ(static_cast<DWORD>(PAGE_EXECUTE_READ), info.Protect) << "trampoline " << k;
    }
    // The two the engine must get exactly right: the relocated call and the long site.
    EXPECT_EQ(0x48C855u, Address(hookSites[0].trampoline + 10) + *reinterpret_cast<const int32_t*>(hookSites[0].trampoline + 6));
    EXPECT_EQ(0x4AAC6Cu, Address(hookSites[4].trampoline + 17) + *reinterpret_cast<const int32_t*>(hookSites[4].trampoline + 13));
}

TEST_F(HookEngine, RemovalRestoresEverythingAndASecondChangesNothing) {
    ASSERT_TRUE(InstallHooks());
    faults::Clear();
    RemoveHooks();
    EXPECT_TRUE(AllSitesAsBefore());
    EXPECT_TRUE(NoTrampolines());
    for (int k = 0; k < kHookCount; ++k) EXPECT_TRUE(Flushed(kSites[k], kLengths[k])) << "site " << k;
    faults::Clear();
    RemoveHooks();
    EXPECT_TRUE(AllSitesAsBefore());
    EXPECT_EQ(0, faults::Calls(faults::kVirtualProtect));
    EXPECT_EQ(0, faults::Calls(faults::kVirtualFree));
}

TEST_F(HookEngine, EveryHookedSiteRunsItsHostRoutineInFull) {
    ASSERT_TRUE(InstallHooks());  // `active` stays false: the handlers only pass through
    sim::routines = sim::RoutineLog{};
    uint8_t* victim = sim::SpawnPed(3, 9, 0, 0, 0);
    uint8_t record[64] = {};
    uint32_t saver[4] = {};
    const uint32_t ped = Address(victim);

    struct Call {
        uint32_t site;
        std::initializer_list<uint32_t> args;
        bool calleePops;
        uint32_t ecx;
    };
    const Call calls[kHookCount] = {
        {kSites[0], {}, false, 0x12345678},
        {kSites[1], {ped, 0}, false, 0},
        {kSites[2], {Address(sim::Player()), 1, 0x41200000 /* 10.0f */, 3, 0}, true, ped},
        {kSites[3], {7, Address(record)}, false, 0},
        {kSites[4], {}, false, 0},
        {kSites[5], {1}, true, Address(saver)},
        {kSites[6], {}, false, 0},
        {kSites[7], {}, false, 0},
    };
    for (int k = 0; k < kHookCount; ++k) {
        const sim::CallResult result = sim::CallHost(calls[k].site, calls[k].args, calls[k].calleePops, calls[k].ecx, 0x0EDC0EDC);
        EXPECT_TRUE(result.registersKept) << "site " << k;
        EXPECT_TRUE(result.stackBalanced) << "site " << k;
        EXPECT_EQ(1, sim::routines.runs[k]) << "site " << k;
    }
    EXPECT_EQ(1, sim::routines.innerRuns);
    EXPECT_EQ(0x12345678u, sim::routines.innerEcx);
    EXPECT_EQ(0x0EDC0EDCu, sim::routines.innerEdx);
}

TEST_F(HookEngine, MismatchNamesTheFirstDifferingSiteOnly) {
    sim::Mem<uint8_t>(0x4B6FB0) = 0xE9;
    EXPECT_FALSE(VerifySites());
    sim::Mem<uint8_t>(0x591EC0) = 0xCC;
    EXPECT_FALSE(VerifySites());
    sim::Mem<uint8_t>(0x48C850) = 0x90;
    EXPECT_FALSE(VerifySites());
    EXPECT_EQ((std::vector<std::string>{"DISABLED: code signature mismatch at 004B6FB0.",
                                        "DISABLED: code signature mismatch at 004B6FB0.",
                                        "DISABLED: code signature mismatch at 0048C850."}),
              testfiles::ReadLines(log));
    EXPECT_EQ(0, faults::Calls(faults::kVirtualAlloc) + faults::Calls(faults::kVirtualProtect));

    // Every byte taken over counts, the last one of each site too.
    for (int k = 0; k < kHookCount; ++k) {
        sim::InstallHost();
        sim::Mem<uint8_t>(kSites[k] + kLengths[k] - 1) ^= 0x01;
        EXPECT_FALSE(VerifySites()) << "site " << k;
    }
    sim::InstallHost();
    EXPECT_TRUE(VerifySites());
}

TEST_F(HookEngine, AFailureAtAnyStepLeavesNothingBehind) {
    struct Step {
        const char* what;
        faults::Api api;
        int nth;
    };
    std::vector<Step> steps;
    for (int k = 0; k < kHookCount; ++k) {
        steps.push_back({"allocation of trampoline", faults::kVirtualAlloc, k + 1});
        steps.push_back({"protection of trampoline", faults::kVirtualProtect, k + 1});
        steps.push_back({"protection of site", faults::kVirtualProtect, kHookCount + 2 * k + 1});
    }
    for (const Step& step : steps) {
        faults::Clear();
        faults::FailCall(step.api, step.nth);
        EXPECT_FALSE(InstallHooks()) << step.what << " " << step.nth;
        EXPECT_TRUE(AllSitesAsBefore()) << step.what << " " << step.nth;
        EXPECT_TRUE(NoTrampolines()) << step.what << " " << step.nth;
    }
    EXPECT_FALSE(testfiles::Exists(log));  // installation writes no line of its own
}

TEST_F(HookEngine, ASiteThatCannotBeRestoredKeepsItsTrampolineAndIsTriedAgain) {
    ASSERT_TRUE(InstallHooks());
    faults::Clear();
    faults::FailCall(faults::kVirtualProtect, 2 * 3 + 1);  // the unprotect of site 3
    RemoveHooks();

    for (int k = 0; k < kHookCount; ++k) {
        if (k == 3) continue;
        EXPECT_EQ(Bytes(original[k].begin(), original[k].end()), sim::ReadBytes(kSites[k], 16)) << "site " << k;
        EXPECT_EQ(nullptr, hookSites[k].trampoline);
    }
    EXPECT_TRUE(hookSites[3].installed);
    ASSERT_NE(nullptr, hookSites[3].trampoline);
    EXPECT_EQ(1, faults::LiveAllocations());
    EXPECT_EQ(0xE9, sim::Mem<uint8_t>(kSites[3]));

    // The site's relay now leads straight to the host routine: the module may be gone.
    EXPECT_EQ(hookSites[3].trampoline, *reinterpret_cast<uint8_t* const*>(hookSites[3].trampoline + kCellOffset));
    uint8_t record[64] = {};
    sim::routines = sim::RoutineLog{};
    const sim::CallResult result = sim::CallHost(kSites[3], {1, Address(record)}, false);
    EXPECT_TRUE(result.registersKept && result.stackBalanced);
    EXPECT_EQ(1, sim::routines.runs[3]);

    faults::Clear();
    RemoveHooks();
    EXPECT_TRUE(AllSitesAsBefore());
    EXPECT_TRUE(NoTrampolines());
}

// Only a call at the world update, into committed code, is chained through;
// the trampoline then calls that code, and removal puts the call back.
TEST_F(HookEngine, OnlyACallIntoCodeAtTheWorldUpdateIsChainedThrough) {
    uint8_t* code = static_cast<uint8_t*>(VirtualAlloc(nullptr, 0x1000, MEM_COMMIT | MEM_RESERVE, PAGE_EXECUTE_READ));
    uint8_t* data = static_cast<uint8_t*>(VirtualAlloc(nullptr, 0x1000, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    uint8_t* reserved = static_cast<uint8_t*>(VirtualAlloc(nullptr, 0x1000, MEM_RESERVE, PAGE_EXECUTE_READ));
    struct Case {
        uint32_t site;
        uint8_t opcode;
        const uint8_t* target;
        bool chained;
    };
    const Case cases[] = {
        {kSites[0], 0xE8, code + 0x10, true},  {kSites[0], 0xE8, data, false}, {kSites[0], 0xE8, reserved, false},
        {kSites[0], 0xE9, code + 0x10, false}, {kSites[5], 0xE8, code, false},
        {kSites[0], 0xE8, reinterpret_cast<const uint8_t*>(0xFFFF0000), false},  // beyond what VirtualQuery answers for
    };
    for (const Case& c : cases) {
        sim::InstallHost();
        testfiles::Remove(log);
        const Bytes call = Rel32(c.opcode, c.site, Address(c.target));
        memcpy(reinterpret_cast<void*>(static_cast<uintptr_t>(c.site)), call.data(), call.size());
        ASSERT_EQ(c.chained, VerifySites()) << Address(c.target);
        if (!c.chained) continue;
        char line[64];
        snprintf(line, sizeof line, "CHAINED: 0048C850 calls into code at %08X", Address(c.target));
        EXPECT_EQ(std::vector<std::string>{line}, testfiles::ReadLines(log));
        ASSERT_TRUE(InstallHooks());
        EXPECT_EQ(Rel32(0xE8, Address(hookSites[0].trampoline), Address(c.target)),
                  Bytes(hookSites[0].trampoline, hookSites[0].trampoline + 5));
        RemoveHooks();
        EXPECT_EQ(call, sim::ReadBytes(c.site, 5));
    }
    for (void* block : {code, data, reserved}) VirtualFree(block, 0, MEM_RELEASE);
}

// Another mod writing over the plugin's jump after start: noted once, and left
// in place at removal, with the block its copy of the jump may reach.
TEST_F(HookEngine, ASiteTakenOverLaterIsNotedOnceAndLeftAlone) {
    ASSERT_TRUE(InstallHooks());
    const Bytes foreign = Rel32(0xE9, kSites[5], 0x420000);  // into the game, no other module
    WatchHookSites();
    memcpy(reinterpret_cast<void*>(static_cast<uintptr_t>(kSites[5])), foreign.data(), foreign.size());
    WatchHookSites();
    WatchHookSites();
    EXPECT_EQ(std::vector<std::string>{"CONFLICT: 00591EC0 was taken over after start; saves no longer keep the counts."},
              testfiles::ReadLines(log));
    uint8_t* kept = hookSites[5].trampoline;
    faults::Clear();
    RemoveHooks();
    EXPECT_EQ(foreign, sim::ReadBytes(kSites[5], 5));
    for (int k = 0; k < kHookCount; ++k)
        EXPECT_TRUE(k == 5 || original[k] == sim::ReadBytes(kSites[k], 16)) << "site " << k;
    EXPECT_EQ(1, faults::LiveAllocations());
    EXPECT_EQ(kept, *reinterpret_cast<uint8_t* const*>(kept + kCellOffset));
    EXPECT_EQ(nullptr, hookSites[5].trampoline);
    VirtualFree(kept, 0, MEM_RELEASE);
}

}  // namespace
