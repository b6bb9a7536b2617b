// Lays the rectangles the plugin drew in one frame over a plain frame, the
// way the host's 2D drawing would show them: triangle strips, bilinear
// texture sampling, texture colour modulated by the vertex colour, and
// source-alpha / inverse-source-alpha blending.
#include <algorithm>
#include <cmath>

#include "world_render.h"

namespace sim {

namespace {

constexpr uint32_t kBlendSourceAlpha = 5;
constexpr uint32_t kBlendInverseSourceAlpha = 6;

struct Colour {
    float r, g, b, a;  // 0..1
};

Colour Unpack(uint32_t argb) {
    return {((argb >> 16) & 0xFF) / 255.0f, ((argb >> 8) & 0xFF) / 255.0f, (argb & 0xFF) / 255.0f,
            (argb >> 24) / 255.0f};
}

Colour Texel(const DrawRecord& draw, int x, int y) {
    x = x < 0 ? 0 : x >= draw.textureWidth ? draw.textureWidth - 1 : x;
    y = y < 0 ? 0 : y >= draw.textureHeight ? draw.textureHeight - 1 : y;
    const uint8_t* at = draw.pixels->data() + static_cast<size_t>(y) * draw.textureStride + 4 * x;
    return Unpack(at[0] | at[1] << 8 | at[2] << 16 | static_cast<uint32_t>(at[3]) << 24);
}

// Bilinear, clamped to the edges; a draw without a texture samples white.
Colour Sample(const DrawRecord& draw, float u, float v) {
    if (!draw.pixels || draw.textureWidth < 1 || draw.textureHeight < 1) return {1, 1, 1, 1};
    const float tx = u * draw.textureWidth - 0.5f;
    const float ty = v * draw.textureHeight - 0.5f;
    const int x0 = static_cast<int>(std::floor(tx));
    const int y0 = static_cast<int>(std::floor(ty));
    const float fx = tx - x0, fy = ty - y0;
    const Colour c00 = Texel(draw, x0, y0), c10 = Texel(draw, x0 + 1, y0);
    const Colour c01 = Texel(draw, x0, y0 + 1), c11 = Texel(draw, x0 + 1, y0 + 1);
    auto mix = [&](float a, float b, float c, float d) {
        return (a * (1 - fx) + b * fx) * (1 - fy) + (c * (1 - fx) + d * fx) * fy;
    };
    return {mix(c00.r, c10.r, c01.r, c11.r), mix(c00.g, c10.g, c01.g, c11.g), mix(c00.b, c10.b, c01.b, c11.b),
            mix(c00.a, c10.a, c01.a, c11.a)};
}

float Edge(const Vertex2D& a, const Vertex2D& b, float px, float py) {
    return (b.x - a.x) * (py - a.y) - (b.y - a.y) * (px - a.x);
}

// On an edge that two triangles share, exactly one of them owns the pixel.
bool OwnsEdgePixel(const Vertex2D& a, const Vertex2D& b) {
    const float dx = b.x - a.x, dy = b.y - a.y;
    return dy > 0 || (dy == 0 && dx < 0);
}

void BlendPixel(Frame& frame, int x, int y, const Colour& source, const DrawRecord& draw) {
    uint8_t* at = &frame.rgb[(static_cast<size_t>(y) * frame.width + x) * 3];
    const bool blended = draw.states[10] == kBlendSourceAlpha && draw.states[11] == kBlendInverseSourceAlpha;
    const float a = blended ? source.a : 1.0f;
    const float channels[3] = {source.r, source.g, source.b};
    for (int i = 0; i < 3; ++i) {
        const float mixed = channels[i] * 255.0f * a + at[i] * (1.0f - a);
        at[i] = static_cast<uint8_t>(std::lround(mixed < 0 ? 0 : mixed > 255 ? 255 : mixed));
    }
}

void DrawTriangle(Frame& frame, const DrawRecord& draw, Vertex2D a, Vertex2D b, Vertex2D c) {
    float area = Edge(a, b, c.x, c.y);
    if (area == 0) return;
    if (area < 0) {
        std::swap(b, c);
        area = -area;
    }
    const int left = std::max(0, static_cast<int>(std::floor(std::min({a.x, b.x, c.x}))));
    const int right = std::min(frame.width - 1, static_cast<int>(std::ceil(std::max({a.x, b.x, c.x}))));
    const int top = std::max(0, static_cast<int>(std::floor(std::min({a.y, b.y, c.y}))));
    const int bottom = std::min(frame.height - 1, static_cast<int>(std::ceil(std::max({a.y, b.y, c.y}))));
    for (int y = top; y <= bottom; ++y) {
        for (int x = left; x <= right; ++x) {
            const float px = x + 0.5f, py = y + 0.5f;
            const float wa = Edge(b, c, px, py), wb = Edge(c, a, px, py), wc = Edge(a, b, px, py);
            if (wa < 0 || wb < 0 || wc < 0) continue;
            if ((wa == 0 && !OwnsEdgePixel(b, c)) || (wb == 0 && !OwnsEdgePixel(c, a)) ||
                (wc == 0 && !OwnsEdgePixel(a, b)))
                continue;
            const float la = wa / area, lb = wb / area, lc = wc / area;
            const Colour ca = Unpack(a.colour), cb = Unpack(b.colour), cc = Unpack(c.colour);
            const Colour vertex = {ca.r * la + cb.r * lb + cc.r * lc, ca.g * la + cb.g * lb + cc.g * lc,
                                   ca.b * la + cb.b * lb + cc.b * lc, ca.a * la + cb.a * lb + cc.a * lc};
            const Colour texel = Sample(draw, a.u * la + b.u * lb + c.u * lc, a.v * la + b.v * lb + c.v * lc);
            BlendPixel(frame, x, y, {vertex.r * texel.r, vertex.g * texel.g, vertex.b * texel.b, vertex.a * texel.a},
                       draw);
        }
    }
}

constexpr int32_t kTriangleStrip = 4;

}  // namespace

Frame CompositeFrame(int frameNumber, int width, int height, uint32_t background) {
    Frame frame = {width, height, std::vector<uint8_t>(static_cast<size_t>(width) * height * 3)};
    for (size_t i = 0; i < frame.rgb.size(); i += 3) {
        frame.rgb[i] = static_cast<uint8_t>(background >> 16);
        frame.rgb[i + 1] = static_cast<uint8_t>(background >> 8);
        frame.rgb[i + 2] = static_cast<uint8_t>(background);
    }
    for (const DrawRecord* draw : DrawsOfFrame(frameNumber)) {
        if (draw->type != kTriangleStrip) continue;
        for (size_t i = 0; i + 2 < draw->vertices.size(); ++i)
            DrawTriangle(frame, *draw, draw->vertices[i], draw->vertices[i + 1], draw->vertices[i + 2]);
    }
    return frame;
}

}  // namespace sim
