// Turning the two notice slots into pixels: each slot's text is rendered by
// GDI into a host texture raster once, then drawn every frame as a shadow
// rectangle and a tinted text rectangle through the host's 2D drawing.
#pragma once

#include <cstdint>

#include "host/host_interface.h"
#include "overlay/notice_queue.h"

// The texture cache of one slot.
struct NoticeTexture {
    host::HostRaster* raster;  // null when there is none
    int32_t boxWidth;          // measured text width + 6, reference pixels
    int32_t boxHeight;         // measured text height + 6, reference pixels
    int32_t textureWidth;      // powers of two not below the box
    int32_t textureHeight;
    int32_t wrapWidth;         // the wrap width the text was laid out with
    wchar_t text[kNoticeTextUnits];
};

struct NoticeStyle {
    int32_t fontHeight;        // CreateFontW height: negative, character height in reference pixels
    float centreFraction;      // vertical centre of the text as a fraction of the screen height
    uint32_t textColour;       // ARGB
    uint32_t shadowColour;     // ARGB
};

extern NoticeTexture bannerTexture;
extern NoticeTexture lineTexture;
extern const NoticeStyle kBannerStyle;
extern const NoticeStyle kLineStyle;

// The layout is made for a screen this many pixels high and scaled to the real one.
constexpr float kReferenceHeight = 600.0f;
constexpr int kRenderStateCount = 9;
constexpr int kTextPadding = 3;          // reference pixels around the text on each side
constexpr int32_t kMaxTextWidth = 1018;  // so that the padded box fits 1024
constexpr int32_t kMaxTextHeight = 250;  // so that the padded box fits 256
constexpr int32_t kMaxWrapWidth = 1000;

// Retires the slot when its time is up; otherwise makes its texture when the
// text or wrap width changed and draws it.
void DrawSlot(NoticeSlot& slot, NoticeTexture& texture, uint32_t now, NoticeLanguage language, int screenWidth,
              int screenHeight, const NoticeStyle& style);

// Both slots, in any of the notice languages, for the render hook and the
// exported NoticeOverlay::Draw: the banner slot, then the line slot; nothing
// on a screen below 160 x 120.
void DrawNotices(uint32_t now, NoticeLanguage language, int screenWidth, int screenHeight);

// Gives both slots' rasters back to the host: the game would keep them past an unload.
void ReleaseNoticeTextures();

// The wrap width, in reference pixels, for a screen of this size.
int32_t NoticeWrapWidth(int screenWidth, int screenHeight);
