// quellbench: loads the real Quellbrand.asi into the simulated host, the way
// quellsim does, and measures it in a world worth measuring: the Win32 calls
// it makes per frame (counted through its import pointers), the time a frame
// takes with and without it, and the one-off costs of a settings reload, a
// notice texture and the save hook. It prints figures and judges nothing.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "import_watch.h"
#include "quellsim.h"
#include "sim.h"
#include "world.h"
#include "world_peds.h"
#include "world_render.h"
#include "world_saves.h"

namespace {

constexpr uint32_t kFrameMs = 33;  // game time per frame: 30 frames a second
constexpr double kFrameBudgetUs = 1e6 / 30.0;
constexpr int kPoolSlots = 140;
constexpr int kBrokenMembers = 40;
constexpr int kBystanders = 60;
constexpr int kSpareSlot = kPoolSlots - 1;
constexpr int32_t kLeone = 7;
constexpr uint32_t kKillsToBreak = 300;  // KillsRequired of the shipped settings
constexpr int kFrames = 1000;
constexpr int kFrameRuns = 3;  // of kFrames each; the quietest is reported
constexpr int kReshowEvery = 100;  // frames; a notice stays 5000 ms of game time
constexpr int kOneOffRepeats = 60;
constexpr int kChangedReloadRepeats = 30;
constexpr int kTextureRepeats = 30;
constexpr DWORD kRepeatGapMs = 3;  // spreads the repeats over moments of a shared machine
constexpr int kSaveRepeats = 5;
constexpr uint32_t kSaveBytes = 8 * 1024 * 1024;
constexpr int kProgressEntries = 30000;
constexpr int kManyEntriesRepeats = 3;
constexpr size_t kSmallSaveBytes = 5000;
constexpr uint32_t kTickForcingMs = 1000;  // more than any TickMs: that frame ticks
constexpr uint32_t kTickFrameMs = 200;     // more than the shipped TickMs of 150
constexpr uint32_t kReloadMs = 2000;
constexpr uint32_t kMilestone = 0, kBanner = 4;
constexpr uint32_t kTriads = 0, kCartel = 2;
constexpr uint8_t kProgressKey = 0x76;  // F7, the shipped ProgressKey

std::wstring asiSource, iniSource;
HMODULE plugin;
double usPerTick;

[[noreturn]] void Fail(const char* what) {
    fprintf(stderr, "quellbench: %s\n", what);
    fflush(stderr);
    ExitProcess(2);
}

int64_t Ticks() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

double Us(int64_t ticks) { return static_cast<double>(ticks) * usPerTick; }
double Percent(double us) { return 100.0 * us / kFrameBudgetUs; }

// One host frame, `ms` of game time after the last; its wall time in µs.
double TimedFrame(uint32_t ms = kFrameMs) {
    sim::AdvanceClock(ms);
    const int64_t start = Ticks();
    sim::RunFrame();
    return Us(Ticks() - start);
}

std::vector<double> RunFrames(int count) {
    std::vector<double> us;
    us.reserve(count);
    for (int i = 0; i < count; ++i) us.push_back(TimedFrame());
    sim::trace.clear();
    return us;
}

struct Spread {
    double best, median, p99;
};

Spread SpreadOf(std::vector<double> us) {
    std::sort(us.begin(), us.end());
    const size_t n = us.size();
    return {us[0], us[n / 2], us[std::min(n - 1, n * 99 / 100)]};
}

// The run with the lowest p99: on a shared machine one run's slowest frames
// can be another program's work.
Spread Quietest(const std::vector<Spread>& runs) {
    return *std::min_element(runs.begin(), runs.end(), [](const Spread& a, const Spread& b) { return a.p99 < b.p99; });
}

// ------------------------------------------------------------ the game folder
std::wstring SideFile(const wchar_t* name) { return sim::GameFolder() + name; }

std::string ReadWhole(const std::wstring& path) {
    std::ifstream in(path.c_str(), std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

bool WriteWhole(const std::wstring& path, const std::string& bytes) {
    std::ofstream out(path.c_str(), std::ios::binary | std::ios::trunc);
    out << bytes;
    return static_cast<bool>(out);
}

std::vector<std::string> LogLines() {
    const std::string log = ReadWhole(SideFile(L"\\Quellbrand.log"));
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = log.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(log.substr(start, end - start));
    return lines;
}

std::string Narrow(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text) out += c < 0x80 ? static_cast<char>(c) : '?';
    return out;
}

void PrepareGameFolder() {
    CreateDirectoryW(sim::GameFolder().c_str(), nullptr);
    for (const wchar_t* name : {L"\\Quellbrand.log", L"\\Quellbrand-saves.ini"}) DeleteFileW(SideFile(name).c_str());
    if (!CopyFileW(asiSource.c_str(), sim::PluginPath().c_str(), FALSE)) Fail("cannot copy the module");
    if (!CopyFileW(iniSource.c_str(), SideFile(L"\\Quellbrand.ini").c_str(), FALSE)) Fail("cannot copy the settings");
    sim::SetSaveFolder(Narrow(sim::GameFolder()) + "\\saves");
}

// ------------------------------------------------------------ the world
// The nearest Leone members stand inside the default FearRadius (they flee),
// the rest keep calm within the 120 m the plugin looks after; the bystanders
// are civilians and members of gangs that are not broken.
void BuildWorld() {
    sim::ResetWorld(kPoolSlots);
    for (int i = 0; i < kBrokenMembers; ++i) {
        const float d = 6.0f + 2.4f * static_cast<float>(i);
        const float x = (i & 1) ? d : -d * 0.6f, y = (i & 1) ? 0.0f : d * 0.8f;
        sim::SpawnPed(1 + i, kLeone, x, y, 0.0f);
    }
    const int32_t bystanderTypes[] = {4, 5, 8, 11, 12};
    for (int i = 0; i < kBystanders; ++i) {
        const float d = 10.0f + 2.3f * static_cast<float>(i);
        sim::SpawnPed(1 + kBrokenMembers + i, bystanderTypes[i % 5], d * 0.8f, -d * 0.6f, 0.0f);
    }
}

// The player kills Leone members one after another until the gang is broken.
void BreakTheLeone() {
    for (uint32_t k = 0; k < kKillsToBreak; ++k) {
        uint8_t* member = sim::SpawnPed(kSpareSlot, kLeone, 300.0f, 300.0f, 0.0f);
        sim::KillPed(member);
        sim::CreditKill(member);
        sim::FreeSlot(kSpareSlot);
    }
    sim::trace.clear();
}

void* PluginExport(const char* name) {
    void* routine = reinterpret_cast<void*>(GetProcAddress(plugin, name));
    if (!routine) Fail("the module lacks an export");
    return routine;
}

void ShowNotice(uint32_t gang, uint32_t count, uint32_t kind) {
    using ShowFn = void (*)(unsigned int, unsigned int, uint32_t, unsigned int);
    reinterpret_cast<ShowFn>(PluginExport("_ZN13NoticeOverlay4ShowEjjNS_4KindEj"))(gang, count, kind, sim::Clock());
}

void ResetNotices() { reinterpret_cast<void (*)()>(PluginExport("_ZN13NoticeOverlay5ResetEv"))(); }

// ------------------------------------------------------------ what is measured
struct CallRow {
    std::string label;
    int frames;
    sim::ImportCalls calls;
    int logLines;
};
std::vector<CallRow> callRows;

struct FrameRow {
    std::string label;
    Spread spread;
};
std::vector<FrameRow> frameRows;

struct OneOffRow {
    std::string label;
    Spread spread;
    int repeats;
};
std::vector<OneOffRow> oneOffRows;

struct SaveFigures {
    double hookUs, plainUs;
    uint64_t plainHash;
    bool saved;
};

void AddCalls(sim::ImportCalls& sum, const sim::ImportCalls& more) {
    for (int k = 0; k < sim::kCallKinds; ++k) sum.byKind[k] += more.byKind[k];
    for (const auto& call : more.byName) {
        auto same = std::find_if(sum.byName.begin(), sum.byName.end(),
                                 [&](const std::pair<std::string, uint32_t>& c) { return c.first == call.first; });
        if (same == sum.byName.end()) sum.byName.push_back(call);
        else same->second += call.second;
    }
}

// Measures `repeats` frames that each follow a tick (so they run none of
// their own): `before` runs ahead of the tick, `after` between the tick and
// the measured frame. Counts the measured frames' calls under `label`.
void MeasureOneOff(const std::string& label, int repeats, const std::function<void(int)>& before,
                   const std::function<void(int)>& after) {
    std::vector<double> us;
    sim::ImportCalls calls;
    int logLines = 0;
    for (int r = 0; r < repeats; ++r) {
        Sleep(kRepeatGapMs);
        before(r);
        TimedFrame(kTickForcingMs);
        after(r);
        sim::TakeImportCalls();
        const size_t lines = LogLines().size();
        us.push_back(TimedFrame());
        AddCalls(calls, sim::TakeImportCalls());
        logLines += static_cast<int>(LogLines().size() - lines);
    }
    sim::trace.clear();
    oneOffRows.push_back({label, SpreadOf(us), repeats});
    callRows.push_back({label, repeats, calls, logLines});
}

void Nothing(int) {}

// Frames that each run the plugin's tick: the pass over the pool, the
// hostility check and the notice step.
void MeasureTicks() {
    std::vector<double> us;
    sim::ImportCalls calls;
    const size_t lines = LogLines().size();
    sim::TakeImportCalls();
    for (int r = 0; r < kOneOffRepeats; ++r) us.push_back(TimedFrame(kTickFrameMs));
    AddCalls(calls, sim::TakeImportCalls());
    sim::trace.clear();
    oneOffRows.push_back({"a frame that ticks", SpreadOf(us), kOneOffRepeats});
    callRows.push_back({"a frame that ticks", kOneOffRepeats, calls, static_cast<int>(LogLines().size() - lines)});
}

// ------------------------------------------------------------ the phases
void MeasureTheHostAlone() {
    RunFrames(50);
    std::vector<Spread> runs;
    for (int run = 0; run < kFrameRuns; ++run) runs.push_back(SpreadOf(RunFrames(kFrames)));
    frameRows.push_back({"the host alone (no plugin)", Quietest(runs)});
}

void AttachAndBreakTheLeone() {
    plugin = LoadLibraryW(sim::PluginPath().c_str());
    if (!plugin) Fail("LoadLibraryW failed");
    if (!sim::WatchImports(plugin)) Fail("cannot watch the module's imports");
    BreakTheLeone();
    // The broken gang's stage notices come and go 6.5 s apart and the last
    // line stays 10 s; after that the screen is clear.
    RunFrames(45000 / kFrameMs);
    if (sim::LiveRasters() != 0) Fail("a notice is still on the screen after the warm-up");
    sim::TakeImportCalls();
}

// The calls are those of the first run.
void MeasureOrdinaryFrames() {
    std::vector<Spread> runs;
    for (int run = 0; run < kFrameRuns; ++run) {
        const size_t lines = LogLines().size();
        runs.push_back(SpreadOf(RunFrames(kFrames)));
        const sim::ImportCalls calls = sim::TakeImportCalls();
        if (run == 0) callRows.push_back({"no notice", kFrames, calls, static_cast<int>(LogLines().size() - lines)});
    }
    frameRows.push_back({"host + plugin, no notice", Quietest(runs)});
}

// Another plugin's notice stays on the screen: it is shown again with the
// same text before it runs out, so its texture is drawn from the cache.
void MeasureNoticeFrames() {
    ShowNotice(kTriads, 25, kMilestone);
    TimedFrame();
    const int rastersMade = sim::renderLog.rasterCreates;
    sim::TakeImportCalls();
    std::vector<Spread> runs;
    for (int run = 0; run < kFrameRuns; ++run) {
        const size_t lines = LogLines().size();
        std::vector<double> us;
        for (int i = 0; i < kFrames; ++i) {
            if (i % kReshowEvery == kReshowEvery - 1) ShowNotice(kTriads, 25, kMilestone);
            us.push_back(TimedFrame());
        }
        sim::trace.clear();
        runs.push_back(SpreadOf(us));
        const sim::ImportCalls calls = sim::TakeImportCalls();
        if (run == 0) {
            callRows.push_back({"a notice on screen", kFrames, calls, static_cast<int>(LogLines().size() - lines)});
        }
    }
    frameRows.push_back({"host + plugin, a notice on screen", Quietest(runs)});
    if (sim::renderLog.rasterCreates != rastersMade) Fail("the notice's texture was made again");
    ResetNotices();
    RunFrames(2);
}

void MeasureOneOffFrames() {
    MeasureOneOff("a plain frame", kOneOffRepeats, Nothing, Nothing);
    MeasureTicks();
    MeasureOneOff("reload, file unchanged", kOneOffRepeats, Nothing,
                  [](int) { sim::AdvanceModuleTickCount(kReloadMs); });
    const std::wstring ini = SideFile(L"\\Quellbrand.ini");
    const std::string shipped = ReadWhole(ini);
    MeasureOneOff("reload, file changed", kChangedReloadRepeats, Nothing, [&](int r) {
        // Every other time a comment more: other bytes, the same settings.
        if (!WriteWhole(ini, r % 2 == 0 ? shipped + "; edited\r\n" : shipped)) Fail("cannot write the settings");
        sim::AdvanceModuleTickCount(kReloadMs);
    });
    MeasureOneOff("a line texture", kTextureRepeats, [](int) { ResetNotices(); },
                  [](int r) { ShowNotice(kCartel, 25 * (r + 1), kMilestone); });
    MeasureOneOff("a banner and its line", kTextureRepeats, [](int) { ResetNotices(); },
                  [](int r) { ShowNotice(r % 4, 300 + r, kBanner); });
    MeasureOneOff("the ProgressKey pressed: the summary", kTextureRepeats,
                  [](int) {
                      ResetNotices();
                      sim::SetKeyDown(kProgressKey, false);
                  },
                  [](int) { sim::SetKeyDown(kProgressKey, true); });
    sim::SetKeyDown(kProgressKey, false);
    ResetNotices();
    RunFrames(2);
}

// The same fold as a save fingerprint: FNV-1a 64 over 4096-byte reads.
uint64_t PlainReadAndHash(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) Fail("cannot open the save");
    LARGE_INTEGER size;
    GetFileSizeEx(file, &size);
    uint8_t chunk[4096];
    uint64_t hash = 0xCBF29CE484222325ull;
    DWORD got = 0;
    while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0) {
        for (DWORD i = 0; i < got; ++i) {
            hash ^= chunk[i];
            hash *= 0x100000001B3ull;
        }
    }
    CloseHandle(file);
    return hash;
}

SaveFigures MeasureTheSaveHook() {
    sim::SetSaveMinimumBytes(kSaveBytes);
    std::vector<double> hook, plain;
    SaveFigures figures = {};
    figures.saved = true;
    for (int r = 0; r < kSaveRepeats; ++r) {
        sim::TakeImportCalls();
        const size_t lines = LogLines().size();
        const int64_t start = Ticks();
        const sim::SaveCall save = sim::SaveGame(1);
        hook.push_back(Us(Ticks() - start - sim::LastSaveRoutineTicks()));
        const sim::ImportCalls calls = sim::TakeImportCalls();
        const std::vector<std::string> log = LogLines();
        figures.saved = figures.saved && (save.call.eax & 0xFF) == 1 && log.size() == lines + 1 &&
                        log.back().compare(0, 5, "SAVED") == 0;
        if (r == 0) callRows.push_back({"a save of 8 MiB (the save hook)", 1, calls, 1});
        const int64_t plainStart = Ticks();
        figures.plainHash = PlainReadAndHash(sim::SaveFilePath(1));
        plain.push_back(Us(Ticks() - plainStart));
    }
    figures.hookUs = SpreadOf(hook).best;
    figures.plainUs = SpreadOf(plain).best;
    return figures;
}

// The progress file years of play leave: one entry per save ever made.
std::string ProgressOfManySaves(int entries) {
    std::string text;
    char entry[192];
    for (int i = 0; i < entries; ++i) {
        const unsigned kills = static_cast<unsigned>(i % 400);
        snprintf(entry, sizeof entry, "[S%08X%08X-%u]\r\nStateV2=%u,%u,100,0,0,7,0,0,0,0,%u,%u,0,0,0,0,0,0,0,0\r\n",
                 0x9E3779B9u * static_cast<unsigned>(i), 0x85EBCA6Bu ^ static_cast<unsigned>(i), 5000u + i % 900,
                 kills, kills - kills % 25, kills / 3, kills / 3 - kills / 3 % 25);
        text += entry;
    }
    return text;
}

struct ManyEntriesFigures {
    double hookUs;
    size_t progressBytes;
    bool saved;
};

// A small save beside a progress file of kProgressEntries entries, written
// afresh before each repeat: the hook's own time is then the progress file's.
ManyEntriesFigures MeasureASaveBesideManyEntries() {
    sim::SetSaveMinimumBytes(kSmallSaveBytes);
    const std::string progress = ProgressOfManySaves(kProgressEntries);
    const std::wstring path = SideFile(L"\\Quellbrand-saves.ini");
    std::vector<double> hook;
    ManyEntriesFigures figures = {0, progress.size(), true};
    for (int r = 0; r < kManyEntriesRepeats; ++r) {
        if (!WriteWhole(path, progress)) Fail("cannot write the progress file");
        sim::AdvanceClock(1000);  // another save, another entry
        const size_t lines = LogLines().size();
        const int64_t start = Ticks();
        const sim::SaveCall save = sim::SaveGame(2);
        hook.push_back(Us(Ticks() - start - sim::LastSaveRoutineTicks()));
        const std::vector<std::string> log = LogLines();
        figures.saved = figures.saved && (save.call.eax & 0xFF) == 1 && log.size() == lines + 1 &&
                        log.back().compare(0, 5, "SAVED") == 0 && ReadWhole(path).size() > progress.size();
    }
    figures.hookUs = SpreadOf(hook).best;
    return figures;
}

// ------------------------------------------------------------ the report
void PrintCalls() {
    printf("Win32 calls per frame, counted through the module's import pointers\n");
    printf("  %-36s %6s %8s %6s %6s %6s %7s\n", "", "frames", "file", "INI", "GDI", "alloc", "other");
    for (const CallRow& row : callRows) {
        printf("  %-36s %6d", row.label.c_str(), row.frames);
        for (int k = 0; k < sim::kCallKinds; ++k) {
            const uint32_t calls = row.calls.byKind[k];
            char figure[32];
            if (calls % row.frames == 0) snprintf(figure, sizeof figure, "%u", calls / row.frames);
            else snprintf(figure, sizeof figure, "%.3f", static_cast<double>(calls) / row.frames);
            printf(k == 0 ? " %8s" : (k == sim::kCallKinds - 1 ? " %7s" : " %6s"), figure);
        }
        printf("\n");
    }
    printf("  by function (all the row's frames together; log: lines appended to the log):\n");
    for (const CallRow& row : callRows) {
        std::string names;
        for (const auto& call : row.calls.byName) names += " " + call.first + " " + std::to_string(call.second);
        printf("    %s: log %d;%s\n", row.label.c_str(), row.logLines, names.empty() ? " none" : names.c_str());
    }
    printf("  Read: the kinds are file (file and stream I/O), INI (private-profile calls), GDI (gdi32 and\n"
           "  DrawTextW), alloc (heap, C runtime and virtual memory allocation) and other. Each log line is\n"
           "  one CreateFileW, two WriteFile and one CloseHandle: those are the file calls of ordinary frames.\n\n");
}

void PrintFrameTimes() {
    printf("Time per frame in microseconds (wall clock; the quietest of %d runs of %d frames)\n", kFrameRuns,
           kFrames);
    printf("  %-36s %9s %9s\n", "", "median", "p99");
    for (const FrameRow& row : frameRows)
        printf("  %-36s %9.2f %9.2f\n", row.label.c_str(), row.spread.median, row.spread.p99);
    const Spread& alone = frameRows[0].spread;
    for (size_t i = 1; i < frameRows.size(); ++i) {
        const Spread& with = frameRows[i].spread;
        printf("  %s: the plugin adds %.2f us at the median (%.4f%% of a 33.3 ms frame), %.2f us at p99 (%.3f%%)\n",
               frameRows[i].label.c_str(), with.median - alone.median, Percent(with.median - alone.median),
               with.p99 - alone.p99, Percent(with.p99 - alone.p99));
    }
    printf("  Read: one frame is the world update and the frame drawing, both entered at their hooked sites;\n"
           "  the host alone is the same world before the plugin is loaded. About one frame in five runs the\n"
           "  plugin's tick (TickMs 150 at 33 ms a frame): its cost is a row of the one-off frames below. The\n"
           "  quietest run is the one with the lowest p99: on a shared machine the slowest frames of a run can\n"
           "  be another program's work. The clock counts in steps of %.2f us; differences below that are noise.\n\n",
           usPerTick);
}

void PrintOneOffs() {
    printf("One-off frames in microseconds (but for the one that ticks, each follows a tick and runs none)\n");
    printf("  %-36s %7s %9s %9s %14s\n", "", "repeats", "best", "median", "best / 33.3 ms");
    for (const OneOffRow& row : oneOffRows)
        printf("  %-36s %7d %9.1f %9.1f %13.3f%%\n", row.label.c_str(), row.repeats, row.spread.best,
               row.spread.median, Percent(row.spread.best));
    const Spread* unchanged = nullptr;
    const Spread* changed = nullptr;
    for (const OneOffRow& row : oneOffRows) {
        if (row.label == "reload, file unchanged") unchanged = &row.spread;
        if (row.label == "reload, file changed") changed = &row.spread;
    }
    if (unchanged && changed) {
        printf("  a reload of the unchanged file costs %.3f of a reload that reads the keys (best against best)\n",
               unchanged->best / changed->best);
    }
    printf("  Read: the whole frame is timed, the host's part included; a plain frame shows how little that is.\n"
           "  A reload frame comes once every 2 s of wall clock: the bench moves the module's GetTickCount on by\n"
           "  2000 ms before it. \"Changed\" rewrites the settings file with a comment more or less. A texture\n"
           "  frame comes once per new notice text; the banner brings its line with it (two textures). File and\n"
           "  INI calls go through the Wine server: on a busy machine they slow down most, so the repeats are\n"
           "  spread %lu ms apart and the best of them is the figure to go by.\n\n",
           static_cast<unsigned long>(kRepeatGapMs));
}

void PrintSave(const SaveFigures& save) {
    printf("The save hook on an 8 MiB save (best of %d)\n", kSaveRepeats);
    printf("  the hook's own time (the save less the host's routine)  %9.2f ms  (%.0f%% of a 33.3 ms frame)\n",
           save.hookUs / 1000.0, Percent(save.hookUs));
    printf("  a plain 4096-byte read-and-hash loop over the same file  %9.2f ms\n", save.plainUs / 1000.0);
    printf("  ratio                                                    %9.2f\n", save.hookUs / save.plainUs);
    printf("  Read: the hook reads and hashes the whole save (the fingerprint), writes one entry of the\n"
           "  progress file and one log line. A save happens on the game's save screen, not during play.%s\n",
           save.saved ? "" : "\n  WARNING: a save was not fingerprinted (no SAVED line).");
}

void PrintManyEntries(const ManyEntriesFigures& many) {
    printf("\nA save of %u bytes beside a progress file of %d entries (%.2f MB; best of %d)\n",
           static_cast<unsigned>(kSmallSaveBytes), kProgressEntries, many.progressBytes / 1e6, kManyEntriesRepeats);
    printf("  the hook's own time (the save less the host's routine)  %9.2f ms\n", many.hookUs / 1000.0);
    printf("  Read: the progress file is written afresh before each save, and each save adds its entry at\n"
           "  the end. The save copies the file beside it, looks up the entry's old value in the copy,\n"
           "  writes the entry there, reads it back and replaces the file with the copy; under Wine each of\n"
           "  the three INI calls reads the whole file.%s\n",
           many.saved ? "" : "\n  WARNING: a save did not store its entry (no SAVED line or no longer file).");
}

}  // namespace

extern "C" __declspec(dllexport) int HostMain(int argc, wchar_t** argv) {
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::wstring arg = argv[i];
        if (arg == L"--asi") asiSource = argv[i + 1];
        else if (arg == L"--ini") iniSource = argv[i + 1];
        else if (arg == L"--game") sim::gameFolderPath = argv[i + 1];
    }
    if (asiSource.empty() || iniSource.empty() || sim::gameFolderPath.empty()) {
        fprintf(stderr, "usage: quellhost quellbench.dll --asi Quellbrand.asi --ini Quellbrand.ini --game FOLDER\n");
        return 2;
    }
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    usPerTick = 1e6 / static_cast<double>(frequency.QuadPart);

    sim::InstallHost();
    PrepareGameFolder();
    BuildWorld();
    MeasureTheHostAlone();
    AttachAndBreakTheLeone();
    MeasureOrdinaryFrames();
    MeasureNoticeFrames();
    MeasureOneOffFrames();
    const SaveFigures save = MeasureTheSaveHook();
    const ManyEntriesFigures many = MeasureASaveBesideManyEntries();
    FreeLibrary(plugin);

    printf("World: a pool of %d slots; the player, %d members of the Leone family, broken (%u kills), 6 to 100 m\n"
           "away, the nearest inside FearRadius, and %d bystanders; the settings file as shipped (%u bytes);\n"
           "%u ms of game time per frame.\n\n",
           kPoolSlots, kBrokenMembers, kKillsToBreak, kBystanders,
           static_cast<unsigned>(ReadWhole(iniSource).size()), kFrameMs);
    PrintCalls();
    PrintFrameTimes();
    PrintOneOffs();
    PrintSave(save);
    PrintManyEntries(many);
    fflush(stdout);
    return 0;
}
