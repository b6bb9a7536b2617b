// The host's drawing routines as the simulator plays them, and the quellsim
// verbs for the screen and the overlay. What the plugin does is recorded in
// renderLog and, in short, in the trace:
//   raster 1 create 512x64 depth=32 flags=0x504    create raster (0x5AD930)
//   raster 1 destroy                               destroy raster (0x5AD780)
//   draw raster=1 colour=0xD0000000 x=205.0..599.0 y=231.0..269.0 uv=0.770,0.594
//                                                  a 2D draw (0x5A4430), traced when it
//                                                  differs from the previous frame's
//   fault: raster create 2 returns null            a failure asked for by the script or test
//   render: state 10 left at 5                     misuse the host would suffer from
#include "world_render.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

#include "host_routines.h"
#include "quellsim.h"
#include "sim.h"
#include "world.h"

namespace sim {

RenderFaults renderFaults;
RenderLog renderLog;

namespace {

// quellsim's "drawing-trace off" hides the raster and draw lines (a demo
// for players shows the texts and the shots instead).
bool drawingTraced = true;

// The raster object handed to callers; never freed before ResetWorld, so that
// an address is never reused while a test may still ask about it.
struct SimRaster {
    RasterHeader header;
    int index;  // into renderLog.rasters
};

// What the host's table holds between frames: deliberately not what the
// overlay sets, so that a missing restore shows.
constexpr uint32_t kDefaultStates[kRenderStateSlots] = {
    0, 0, 0, 0, 0, 0, 1, 0, 1, 1, 2, 1, 0, 0, 1, 0, 0, 0, 0, 0, 2,
};
constexpr float kDefaultScreenDepth = 0.5f;

std::vector<SimRaster*> rasterObjects;
uint32_t states[kRenderStateSlots];
uint32_t baselineStates[kRenderStateSlots];
float screenDepth = kDefaultScreenDepth;
std::vector<std::string> previousDrawLines;
std::vector<std::string> currentDrawLines;
size_t firstDrawHoldingPixels;

void Misuse(const std::string& what) {
    renderLog.errors.push_back(what);
    Trace("render: %s", what.c_str());
}

RasterInfo* FindRaster(const void* address) {
    for (SimRaster* object : rasterObjects)
        if (static_cast<const void*>(object) == address) return &renderLog.rasters[object->index];
    return nullptr;
}

RasterInfo* LiveRaster(const void* address, const char* routine) {
    RasterInfo* info = FindRaster(address);
    char what[96];
    if (!info) {
        snprintf(what, sizeof what, "%s of an unknown raster %p", routine, address);
        Misuse(what);
        return nullptr;
    }
    if (!info->alive) {
        snprintf(what, sizeof what, "%s of destroyed raster %d", routine, info->id);
        Misuse(what);
        return nullptr;
    }
    return info;
}

bool ValidState(int32_t state) { return state >= 0 && state < kRenderStateSlots; }

// Draws keep their texture's pixels for the compositor only for the last two
// frames, so that a long run does not hold every texture it ever saw.
void DropOldPixels(int newFrame) {
    std::vector<DrawRecord>& draws = renderLog.draws;
    for (; firstDrawHoldingPixels < draws.size() && draws[firstDrawHoldingPixels].frame < newFrame - 1;
         ++firstDrawHoldingPixels)
        draws[firstDrawHoldingPixels].pixels.reset();
}

// Every state the overlay set must be back as the host had it before the next frame.
void CheckStatesRestored() {
    for (int32_t state = 0; state < kRenderStateSlots; ++state) {
        if (states[state] == baselineStates[state]) continue;
        char what[64];
        snprintf(what, sizeof what, "state %d left at %u", state, states[state]);
        Misuse(what);
        states[state] = baselineStates[state];
    }
}

std::string DescribeDraw(const DrawRecord& draw) {
    float left = 0, right = 0, top = 0, bottom = 0, uMax = 0, vMax = 0;
    for (size_t i = 0; i < draw.vertices.size(); ++i) {
        const Vertex2D& v = draw.vertices[i];
        if (i == 0 || v.x < left) left = v.x;
        if (i == 0 || v.x > right) right = v.x;
        if (i == 0 || v.y < top) top = v.y;
        if (i == 0 || v.y > bottom) bottom = v.y;
        if (v.u > uMax) uMax = v.u;
        if (v.v > vMax) vMax = v.v;
    }
    const uint32_t colour = draw.vertices.empty() ? 0 : draw.vertices[0].colour;
    char line[160];
    snprintf(line, sizeof line, "draw raster=%d colour=0x%08X x=%.1f..%.1f y=%.1f..%.1f uv=%.3f,%.3f", draw.rasterId,
             colour, left, right, top, bottom, uMax, vMax);
    return line;
}

}  // namespace

void ResetRenderRoutines() {
    for (SimRaster* object : rasterObjects) delete object;
    rasterObjects.clear();
    renderLog = RenderLog{};
    renderFaults = RenderFaults{};
    renderFaults.reportedDepth = 32;
    memcpy(states, kDefaultStates, sizeof states);
    memcpy(baselineStates, kDefaultStates, sizeof baselineStates);
    screenDepth = kDefaultScreenDepth;
    previousDrawLines.clear();
    currentDrawLines.clear();
    firstDrawHoldingPixels = 0;
}

uint32_t RenderState(int32_t state) { return ValidState(state) ? states[state] : 0; }
void SetRenderState(int32_t state, uint32_t value) {
    if (!ValidState(state)) return;
    states[state] = value;
    baselineStates[state] = value;
}
void SetScreenDepth(float z) { screenDepth = z; }

int LiveRasters() {
    int live = 0;
    for (const RasterInfo& info : renderLog.rasters) live += info.alive;
    return live;
}

const RasterInfo* RasterById(int id) {
    return id >= 1 && id <= static_cast<int>(renderLog.rasters.size()) ? &renderLog.rasters[id - 1] : nullptr;
}
const RasterInfo* RasterAt(const void* address) { return FindRaster(address); }

std::vector<const DrawRecord*> DrawsOfFrame(int frame) {
    std::vector<const DrawRecord*> draws;
    for (const DrawRecord& draw : renderLog.draws)
        if (draw.frame == frame && !draw.byHost) draws.push_back(&draw);
    return draws;
}

// The host's frame drawing, the routine behind 0x509030: the notices are drawn after it.
void __cdecl SimRenderFrame() {
    ++routines.runs[7];
    CheckStatesRestored();
    ++renderLog.frame;
    DropOldPixels(renderLog.frame);
    DrawRecord marker = {};
    marker.frame = renderLog.frame;
    marker.byHost = true;
    memcpy(marker.states, states, sizeof states);
    renderLog.draws.push_back(marker);
    previousDrawLines.swap(currentDrawLines);
    currentDrawLines.clear();
}

void* __cdecl SimRasterCreate(int32_t width, int32_t height, int32_t depth, int32_t flags) {
    const int call = ++renderLog.rasterCreates;
    if (call == renderFaults.rasterCreateFailsAt) {
        Trace("fault: raster create %d returns null", call);
        return nullptr;
    }
    if (width < 1 || height < 1 || width > 4096 || height > 4096) {
        char what[64];
        snprintf(what, sizeof what, "raster create %dx%d refused", width, height);
        Misuse(what);
        return nullptr;
    }
    RasterInfo info = {};
    info.id = static_cast<int>(renderLog.rasters.size()) + 1;
    info.width = width;
    info.height = height;
    info.depth = depth;
    info.flags = flags;
    info.stride = width * 4 + renderFaults.strideExtra;
    info.alive = true;
    // Room for whole rows of width x 4 even when the stride is reported short.
    const int32_t rowBytes = info.stride > width * 4 ? info.stride : width * 4;
    info.pixels = std::make_shared<std::vector<uint8_t>>(static_cast<size_t>(rowBytes) * height, 0xCD);

    SimRaster* object = new SimRaster{};
    object->index = static_cast<int>(renderLog.rasters.size());
    object->header.depth = renderFaults.reportedDepth;
    object->header.stride = info.stride;
    info.address = object;
    rasterObjects.push_back(object);
    renderLog.rasters.push_back(info);
    if (drawingTraced) Trace("raster %d create %dx%d depth=%d flags=0x%X", info.id, width, height, depth, flags);
    return object;
}

uint8_t* __cdecl SimRasterLock(void* raster, int32_t level, int32_t mode) {
    const int call = ++renderLog.rasterLocks;
    RasterInfo* info = LiveRaster(raster, "lock");
    if (!info) return nullptr;
    if (call == renderFaults.rasterLockFailsAt) {
        Trace("fault: lock of raster %d fails", info->id);
        return nullptr;
    }
    if (info->locked) Misuse("lock of raster " + std::to_string(info->id) + " while locked");
    if (level != 0 || mode != 1) Misuse("lock of raster " + std::to_string(info->id) + " not level 0 for writing");
    info->locked = true;
    ++info->locks;
    return info->pixels->data();
}

void __cdecl SimRasterUnlock(void* raster) {
    RasterInfo* info = LiveRaster(raster, "unlock");
    if (!info) return;
    if (!info->locked) Misuse("unlock of raster " + std::to_string(info->id) + " that is not locked");
    info->locked = false;
    ++info->unlocks;
}

void __cdecl SimRasterDestroy(void* raster) {
    RasterInfo* info = LiveRaster(raster, "destroy");
    if (!info) return;
    if (info->locked) Misuse("destroy of raster " + std::to_string(info->id) + " while locked");
    info->alive = false;
    info->pixels.reset();  // draws of the recent frames keep their own reference
    if (drawingTraced) Trace("raster %d destroy", info->id);
}

int32_t __cdecl SimRenderStateGet(int32_t state, uint32_t* value) {
    const int call = ++renderLog.stateReadCalls;
    const bool ok = call != renderFaults.stateReadFailsAt && ValidState(state) && value;
    if (call == renderFaults.stateReadFailsAt) Trace("fault: state read %d fails", call);
    if (ok) *value = states[state];
    renderLog.stateReads.push_back({state, ok ? states[state] : 0, ok});
    return ok ? 1 : 0;
}

int32_t __cdecl SimRenderStateSet(int32_t state, uint32_t value) {
    const int call = ++renderLog.stateSetCalls;
    const bool ok = call != renderFaults.stateSetFailsAt && ValidState(state);
    if (call == renderFaults.stateSetFailsAt) Trace("fault: state set %d fails", call);
    if (ok) states[state] = value;
    renderLog.stateSets.push_back({state, value, ok});
    return ok ? 1 : 0;
}

float __cdecl SimScreenDepth2D() {
    ++renderLog.depthQueries;
    return screenDepth;
}

int32_t __cdecl SimDrawPrimitive2D(int32_t type, void* vertices, int32_t count) {
    DrawRecord draw = {};
    draw.frame = renderLog.frame;
    draw.type = type;
    draw.count = count;
    memcpy(draw.states, states, sizeof states);
    if (vertices && count > 0 && count <= 64) {
        const Vertex2D* first = static_cast<const Vertex2D*>(vertices);
        draw.vertices.assign(first, first + count);
    }
    const void* texture = reinterpret_cast<const void*>(static_cast<uintptr_t>(states[1]));
    if (texture) {
        const RasterInfo* info = FindRaster(texture);
        draw.rasterId = info && info->alive ? info->id : -1;
        if (draw.rasterId < 0) Misuse("draw with a texture that is no live raster");
        if (info && info->locked) Misuse("draw with raster " + std::to_string(info->id) + " locked");
        if (info && info->alive) {
            draw.pixels = info->pixels;
            draw.textureWidth = info->width;
            draw.textureHeight = info->height;
            draw.textureStride = info->stride;
        }
    }
    const std::string line = DescribeDraw(draw);
    const size_t index = currentDrawLines.size();
    const bool changed = index >= previousDrawLines.size() || previousDrawLines[index] != line;
    if (changed && drawingTraced) Trace("%s", line.c_str());
    currentDrawLines.push_back(line);
    renderLog.draws.push_back(std::move(draw));
    return 1;
}

// ------------------------------------------------------------ quellsim verbs
namespace {

uint32_t backgroundColour = 0x5A6A7E;

uint32_t ParseGang(const std::string& word) {
    const char* names[4] = {"triads", "leone", "cartel", "yardies"};
    for (uint32_t gang = 0; gang < 4; ++gang)
        if (word == names[gang]) return gang;
    return static_cast<uint32_t>(ParseInt(word));
}

uint32_t ParseKind(const std::string& word) {
    const char* names[5] = {"milestone", "weakened", "losing", "survivors", "banner"};
    for (uint32_t kind = 0; kind < 5; ++kind)
        if (word == names[kind]) return kind;
    return static_cast<uint32_t>(ParseInt(word));
}

void* PluginExport(const char* name) {
    HMODULE module = GetModuleHandleW(PluginPath().c_str());
    if (!module) ScriptError("the plugin is not attached");
    void* routine = reinterpret_cast<void*>(GetProcAddress(module, name));
    if (!routine) ScriptError(std::string("the plugin does not export ") + name);
    return routine;
}

// Another plugin's call of the exported NoticeOverlay::Show, at the current clock.
void ShowNotice(const std::vector<std::string>& words) {
    if (words.size() != 4) ScriptError("notice GANG COUNT KIND");
    using ShowFn = void (*)(unsigned int, unsigned int, uint32_t, unsigned int);
    const uint32_t gang = ParseGang(words[1]);
    const uint32_t count = static_cast<uint32_t>(ParseInt(words[2]));
    const uint32_t kind = ParseKind(words[3]);
    reinterpret_cast<ShowFn>(PluginExport("_ZN13NoticeOverlay4ShowEjjNS_4KindEj"))(gang, count, kind, Clock());
    Trace("notice shown gang=%u count=%u kind=%u at %u", gang, count, kind, Clock());
}

void ResetNotices() {
    reinterpret_cast<void (*)()>(PluginExport("_ZN13NoticeOverlay5ResetEv"))();
    Trace("notices reset");
}

void TraceLastFrame() {
    const std::vector<const DrawRecord*> draws = DrawsOfFrame(renderLog.frame);
    Trace("frame %d: %u rectangles, %d rasters live", renderLog.frame, static_cast<unsigned>(draws.size()),
          LiveRasters());
    for (const DrawRecord* draw : draws) Trace("  %s", DescribeDraw(*draw).c_str());
}

void TakeShot(const std::vector<std::string>& words) {
    if (words.size() != 2) ScriptError("shot FILE.png");
    const int width = Mem<int32_t>(addr::RenderWidth);
    const int height = Mem<int32_t>(addr::RenderHeight);
    if (width < 1 || height < 1 || width > 8192 || height > 8192) ScriptError("shot: no usable screen size");
    const Frame frame = CompositeFrame(renderLog.frame, width, height, backgroundColour);
    if (!WritePng(words[1], frame)) ScriptError("shot: cannot write " + words[1]);
    Trace("shot %s %dx%d frame %d", words[1].c_str(), width, height, renderLog.frame);
}

void SetFault(const std::vector<std::string>& words) {
    if (words.size() == 2 && words[1] == "none") {
        renderFaults = RenderFaults{};
        renderFaults.reportedDepth = 32;
        return;
    }
    if (words.size() != 3) ScriptError("renderfault WHAT N");
    const std::string& what = words[1];
    const int value = static_cast<int>(ParseInt(words[2]));
    if (what == "raster-create") renderFaults.rasterCreateFailsAt = renderLog.rasterCreates + value;
    else if (what == "lock") renderFaults.rasterLockFailsAt = renderLog.rasterLocks + value;
    else if (what == "state-read") renderFaults.stateReadFailsAt = renderLog.stateReadCalls + value;
    else if (what == "state-set") renderFaults.stateSetFailsAt = renderLog.stateSetCalls + value;
    else if (what == "depth") renderFaults.reportedDepth = value;
    else if (what == "stride-extra") renderFaults.strideExtra = value;
    else ScriptError("renderfault: unknown failure '" + what + "'");
}

// The game's menu languages by their word; "ru" is 1 as well: a Russian
// translation takes the slot of one of the game's other languages.
uint32_t LanguageWord(const std::string& word) {
    const char* const names[] = {"en", "fr", "de", "it", "es"};
    for (uint32_t i = 0; i < 5; ++i)
        if (word == names[i]) return i;
    if (word == "ru") return 1;
    return static_cast<uint32_t>(ParseInt(word));
}

// Windows' languages by their tag, or a language identifier such as 0x0419.
uint16_t WindowsLanguage(const std::string& tag) {
    static const std::pair<const char*, uint16_t> kTags[] = {
        {"en", kEnglishUs}, {"ru", kRussian}, {"uk", kUkrainian}, {"be", kBelarusian},
        {"fr", 0x040C},     {"de", 0x0407}, {"it", 0x0410},     {"es", 0x0C0A}};
    for (const auto& known : kTags)
        if (tag == known.first) return known.second;
    return static_cast<uint16_t>(ParseInt(tag));
}

}  // namespace

bool RunRenderCommand(const std::vector<std::string>& words) {
    const std::string& verb = words[0];
    if (verb == "screen" && (words.size() == 3 || words.size() == 5)) {
        const auto size = [&](size_t i) { return i < words.size() ? static_cast<int32_t>(ParseInt(words[i])) : 0; };
        SetScreen(size(1), size(2), size(3), size(4));
    } else if (verb == "language" && words.size() == 2) {
        SetLanguage(LanguageWord(words[1]));
    } else if (verb == "windows" && (words.size() == 2 || words.size() == 3)) {
        const uint16_t language = WindowsLanguage(words[1]);
        SetWindowsLanguage(language, words.size() == 3 ? WindowsLanguage(words[2]) : language);
    } else if (verb == "gate" && words.size() == 3) {
        const long gate = ParseInt(words[1]);
        if (gate < 0 || gate > 2) ScriptError("gate 0..2 VALUE");
        SetOverlayGate(static_cast<int>(gate), static_cast<uint8_t>(ParseInt(words[2])));
    } else if (verb == "notice") {
        ShowNotice(words);
    } else if (verb == "notice-reset") {
        ResetNotices();
    } else if (verb == "drawn") {
        TraceLastFrame();
    } else if (verb == "background" && words.size() == 2) {
        backgroundColour = static_cast<uint32_t>(strtoul(words[1].c_str(), nullptr, 16)) & 0xFFFFFF;
    } else if (verb == "shot") {
        TakeShot(words);
    } else if (verb == "renderfault") {
        SetFault(words);
    } else if (verb == "drawing-trace" && words.size() == 2 && (words[1] == "on" || words[1] == "off")) {
        drawingTraced = words[1] == "on";
    } else if (verb == "renderstate" && words.size() == 3) {
        SetRenderState(static_cast<int32_t>(ParseInt(words[1])), static_cast<uint32_t>(ParseInt(words[2])));
    } else {
        return false;
    }
    return true;
}

}  // namespace sim
