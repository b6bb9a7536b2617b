// Controls and records of the simulator's drawing routines (world_render.cpp):
// the rasters the plugin creates, the render states it reads and sets, the
// rectangles it draws, failures a test can ask for, and the frame compositor.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace sim {

constexpr int kRenderStateSlots = 32;  // state numbers the host's table knows: 0..31

// The raster record the host hands out: depth at 0x14 and row stride at 0x18
// are what callers may read; the simulator keeps its own fields after them.
struct RasterHeader {
    uint8_t unknown0[0x14];
    int32_t depth;   // 0x14, bits per pixel
    int32_t stride;  // 0x18, bytes per row
};
static_assert(sizeof(RasterHeader) == 0x1C, "raster header");

using PixelStore = std::shared_ptr<std::vector<uint8_t>>;

struct RasterInfo {
    int id;                 // 1, 2, ... in order of creation since ResetWorld
    const void* address;    // what the create routine returned
    int32_t width, height, depth, flags;
    int32_t stride;
    bool alive;
    int locks, unlocks;
    bool locked;
    PixelStore pixels;      // stride x height bytes, 32-bit ARGB words (alpha in the top byte); none once destroyed
};

struct Vertex2D {
    float x, y, z, rhw;
    uint32_t colour;
    float u, v;
};
static_assert(sizeof(Vertex2D) == 28, "2D vertex");

// One call of the 2D drawing routine, or the host's own frame drawing.
struct DrawRecord {
    int frame;
    bool byHost;               // the host's frame routine itself (no geometry)
    int32_t type;
    int32_t count;
    std::vector<Vertex2D> vertices;
    uint32_t states[kRenderStateSlots];  // the table when the call was made
    int rasterId;              // the raster of state 1; 0 for none, -1 for an unknown or dead one
    PixelStore pixels;         // that raster's pixels, kept for compositing during the next frame too
    int32_t textureWidth, textureHeight, textureStride;
};

struct StateCall {
    int32_t state;
    uint32_t value;  // set: the value passed; read: the value handed back
    bool ok;
};

// Failures on request. "Nth" counts the calls since ResetWorld, from 1; 0 never fails.
struct RenderFaults {
    int rasterCreateFailsAt;
    int rasterLockFailsAt;
    int32_t reportedDepth;   // the depth written at 0x14 (32 unless changed)
    int32_t strideExtra;     // bytes added to width x 4 for the stride (negative: too short)
    int stateReadFailsAt;
    int stateSetFailsAt;
};
extern RenderFaults renderFaults;

// Everything the drawing routines saw since ResetWorld.
struct RenderLog {
    int frame;                          // host frames drawn
    int rasterCreates, rasterLocks, stateReadCalls, stateSetCalls, depthQueries;
    std::vector<RasterInfo> rasters;
    std::vector<StateCall> stateReads;
    std::vector<StateCall> stateSets;
    std::vector<DrawRecord> draws;
    std::vector<std::string> errors;    // misuse: unknown rasters, double unlocks, leftovers
};
extern RenderLog renderLog;

uint32_t RenderState(int32_t state);
void SetRenderState(int32_t state, uint32_t value);  // as the host left it before a frame
int LiveRasters();
const RasterInfo* RasterById(int id);
const RasterInfo* RasterAt(const void* address);
// The plugin's draws (not the host's marker) made during `frame`.
std::vector<const DrawRecord*> DrawsOfFrame(int frame);
void SetScreenDepth(float z);  // what 0x5A43A0 returns (0.5 unless changed)

// ---- the compositor
struct Frame {
    int width, height;
    std::vector<uint8_t> rgb;  // width x height x 3
};
// A plain frame of one colour (0xRRGGBB) with the plugin's draws of `frame`
// laid over it as the host blends them.
Frame CompositeFrame(int frame, int width, int height, uint32_t background);
bool WritePng(const std::string& path, const Frame& frame);
// The PNG file's bytes (8-bit RGB, deflate-compressed).
std::vector<uint8_t> EncodePng(const Frame& frame);

}  // namespace sim
