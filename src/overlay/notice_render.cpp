#include "overlay/notice_render.h"

#include <windows.h>

#include <cwchar>

NoticeTexture bannerTexture;
NoticeTexture lineTexture;
const NoticeStyle kBannerStyle = {-43, 0.41f, 0xFFEFBD72, 0xD0000000};
const NoticeStyle kLineStyle = {-24, 0.83f, 0xFFF4F4F4, 0xD0000000};

namespace {

// The host's render states the drawing sets and afterwards restores, in this order.
enum RenderState : int32_t {
    kStateTexture = 1,
    kStateDepthTest = 6,
    kStateDepthWrite = 8,
    kStateTextureFilter = 9,
    kStateSourceBlend = 10,
    kStateDestinationBlend = 11,
    kStateVertexAlpha = 12,
    kStateFog = 14,
    kStateCulling = 20,
};
constexpr int32_t kRenderStates[kRenderStateCount] = {
    kStateTexture,    kStateDepthTest, kStateDepthWrite, kStateTextureFilter, kStateSourceBlend,
    kStateDestinationBlend, kStateVertexAlpha, kStateFog, kStateCulling,
};
constexpr uint32_t kFilterLinear = 2;
constexpr uint32_t kBlendSourceAlpha = 5;
constexpr uint32_t kBlendInverseSourceAlpha = 6;
constexpr uint32_t kCullNone = 1;

constexpr UINT kMeasureFlags = DT_CENTER | DT_WORDBREAK | DT_CALCRECT | DT_NOPREFIX;
constexpr UINT kDrawFlags = DT_CENTER | DT_WORDBREAK | DT_NOPREFIX;
constexpr int32_t kTextureDepth = 32;
constexpr int32_t kLockLevel = 0;
constexpr int32_t kLockForWriting = 1;
constexpr float kShadowOffset = 2.0f;  // reference pixels right and down

void ReleaseTexture(NoticeTexture& texture) {
    if (texture.raster) host::RasterDestroy(texture.raster);
    texture = NoticeTexture{};
}

int32_t TextureSide(int32_t size) {  // the smallest power of two from 8 up that holds `size`
    int32_t power = 8;
    while (power < size) power <<= 1;
    return power;
}

// The GDI objects of one text rendering; they never outlive MakeTexture.
struct TextCanvas {
    HDC dc;
    HGDIOBJ previousFont;
    HBITMAP bitmap;
    HGDIOBJ previousBitmap;  // null while the bitmap is not selected
    const uint32_t* pixels;  // top-down rows of textureWidth pixels, blue in the low byte
};

// Puts the context's own objects back, then deletes the context before our
// font and bitmap: Windows refuses to delete an object still selected into a
// context, which would leak one whose select-back failed.
void ReleaseCanvas(const TextCanvas& canvas, HFONT font) {
    if (canvas.previousBitmap) SelectObject(canvas.dc, canvas.previousBitmap);
    SelectObject(canvas.dc, canvas.previousFont);
    DeleteDC(canvas.dc);
    if (canvas.bitmap) DeleteObject(canvas.bitmap);
    DeleteObject(font);
}

// Paints the text white on black into a fresh bitmap of the texture's size.
bool PaintText(TextCanvas& canvas, const wchar_t* text, int32_t textWidth, int32_t textHeight,
               int32_t textureWidth, int32_t textureHeight) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = textureWidth;
    info.bmiHeader.biHeight = -textureHeight;  // rows top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    canvas.bitmap = CreateDIBSection(canvas.dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!canvas.bitmap || !bits) return false;
    canvas.previousBitmap = SelectObject(canvas.dc, canvas.bitmap);
    if (!canvas.previousBitmap) return false;

    uint32_t* pixels = static_cast<uint32_t*>(bits);
    const int32_t pixelCount = textureWidth * textureHeight;
    for (int32_t i = 0; i < pixelCount; ++i) pixels[i] = 0;
    // Either one lost would paint an opaque box or invisible text: no texture then.
    if (!SetBkMode(canvas.dc, TRANSPARENT) || SetTextColor(canvas.dc, RGB(255, 255, 255)) == CLR_INVALID)
        return false;

    RECT box = {kTextPadding, kTextPadding, textWidth + kTextPadding, textHeight + kTextPadding};
    const int drawn = DrawTextW(canvas.dc, text, -1, &box, kDrawFlags);
    GdiFlush();  // the pixels must be complete before they are read
    canvas.pixels = pixels;
    return drawn != 0;
}

// White texels whose alpha is the text's coverage, read from the blue channel
// of the white-on-black bitmap.
void ConvertPixels(const uint32_t* source, uint8_t* target, int32_t stride, int32_t width, int32_t height) {
    for (int32_t y = 0; y < height; ++y) {
        uint32_t* row = reinterpret_cast<uint32_t*>(target + y * stride);
        const uint32_t* sourceRow = source + y * width;
        for (int32_t x = 0; x < width; ++x) row[x] = ((sourceRow[x] & 0xFFu) << 24) | 0x00FFFFFFu;
    }
}

// Creates, fills and unlocks the raster; on failure the record is left cleared.
bool UploadRaster(NoticeTexture& texture, const uint32_t* pixels, int32_t width, int32_t height) {
    host::HostRaster* raster = host::RasterCreate(width, height, kTextureDepth, host::kRasterFormatTexture8888);
    if (!raster) return false;
    texture.raster = raster;
    uint8_t* target = host::RasterLock(raster, kLockLevel, kLockForWriting);
    if (!target) {
        ReleaseTexture(texture);
        return false;
    }
    if (raster->depth != kTextureDepth || raster->stride < width * 4) {
        host::RasterUnlock(raster);
        ReleaseTexture(texture);
        return false;
    }
    ConvertPixels(pixels, target, raster->stride, width, height);
    host::RasterUnlock(raster);
    return true;
}

// Renders the text into a new raster and fills the (cleared) record.
bool MakeTexture(NoticeTexture& texture, const wchar_t* text, int32_t wrapWidth, const NoticeStyle& style) {
    TextCanvas canvas = {};
    canvas.dc = CreateCompatibleDC(nullptr);
    if (!canvas.dc) return false;
    HFONT font = CreateFontW(style.fontHeight, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                             OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, FF_SWISS, L"Arial");
    if (!font) {
        DeleteDC(canvas.dc);
        return false;
    }
    canvas.previousFont = SelectObject(canvas.dc, font);
    if (!canvas.previousFont) {
        DeleteObject(font);
        DeleteDC(canvas.dc);
        return false;
    }

    RECT measured = {0, 0, wrapWidth, 0};
    const int measuredHeight = DrawTextW(canvas.dc, text, -1, &measured, kMeasureFlags);
    const int32_t textWidth = measured.right - measured.left;
    const int32_t textHeight = measured.bottom - measured.top;
    if (measuredHeight == 0 || textWidth < 1 || textWidth > kMaxTextWidth || textHeight < 1 ||
        textHeight > kMaxTextHeight) {
        ReleaseCanvas(canvas, font);
        return false;
    }

    const int32_t boxWidth = textWidth + 2 * kTextPadding;
    const int32_t boxHeight = textHeight + 2 * kTextPadding;
    const int32_t textureWidth = TextureSide(boxWidth);
    const int32_t textureHeight = TextureSide(boxHeight);
    bool made = PaintText(canvas, text, textWidth, textHeight, textureWidth, textureHeight) &&
                UploadRaster(texture, canvas.pixels, textureWidth, textureHeight);
    if (made) {
        texture.boxWidth = boxWidth;
        texture.boxHeight = boxHeight;
        texture.textureWidth = textureWidth;
        texture.textureHeight = textureHeight;
        texture.wrapWidth = wrapWidth;
        wcsncpy(texture.text, text, kNoticeTextUnits - 1);
    }

    ReleaseCanvas(canvas, font);
    return made;
}

void SetRectangle(host::HostVertex2D (&quad)[4], float x0, float y0, float x1, float y1, float uMax, float vMax,
                  uint32_t colour) {
    const float z = host::ScreenDepth2D();
    quad[0] = {x0, y0, z, 1.0f, colour, 0.0f, 0.0f};
    quad[1] = {x0, y1, z, 1.0f, colour, 0.0f, vMax};
    quad[2] = {x1, y0, z, 1.0f, colour, uMax, 0.0f};
    quad[3] = {x1, y1, z, 1.0f, colour, uMax, vMax};
}

// The shadow, then the text on top of it, magnified by the reference scale.
void DrawQuads(const NoticeTexture& texture, int screenWidth, int screenHeight, float scale,
               const NoticeStyle& style) {
    const float width = static_cast<float>(texture.boxWidth) * scale;
    const float height = static_cast<float>(texture.boxHeight) * scale;
    const float x0 = (static_cast<float>(screenWidth) - width) * 0.5f;
    const float y0 = static_cast<float>(screenHeight) * style.centreFraction + height * -0.5f;
    const float x1 = x0 + width;
    const float y1 = y0 + height;
    const float uMax = static_cast<float>(texture.boxWidth) / static_cast<float>(texture.textureWidth);
    const float vMax = static_cast<float>(texture.boxHeight) / static_cast<float>(texture.textureHeight);
    const float offset = kShadowOffset * scale;

    host::HostVertex2D quad[4];
    SetRectangle(quad, x0 + offset, y0 + offset, x1 + offset, y1 + offset, uMax, vMax, style.shadowColour);
    host::DrawPrimitive2D(host::kPrimitiveTriangleStrip, quad, 4);
    SetRectangle(quad, x0, y0, x1, y1, uMax, vMax, style.textColour);
    host::DrawPrimitive2D(host::kPrimitiveTriangleStrip, quad, 4);
}

// Sets the drawing states, draws, and puts back every state it touched.
void DrawTexture(const NoticeTexture& texture, int screenWidth, int screenHeight, float scale,
                 const NoticeStyle& style) {
    uint32_t saved[kRenderStateCount];
    for (int i = 0; i < kRenderStateCount; ++i)
        if (!host::RenderStateGet(kRenderStates[i], &saved[i])) return;

    const uint32_t wanted[kRenderStateCount] = {
        static_cast<uint32_t>(reinterpret_cast<uintptr_t>(texture.raster)),
        0, 0, kFilterLinear, kBlendSourceAlpha, kBlendInverseSourceAlpha, 1, 0, kCullNone,
    };
    int touched = 0;
    bool allSet = true;
    while (allSet && touched < kRenderStateCount) {
        allSet = host::RenderStateSet(kRenderStates[touched], wanted[touched]) != 0;
        ++touched;  // a state whose set failed is restored as well
    }
    if (allSet) DrawQuads(texture, screenWidth, screenHeight, scale, style);
    for (int i = 0; i < touched; ++i) host::RenderStateSet(kRenderStates[i], saved[i]);
}

float ReferenceScale(int screenHeight) { return static_cast<float>(screenHeight) / kReferenceHeight; }

}  // namespace

int32_t NoticeWrapWidth(int screenWidth, int screenHeight) {
    const float wrap = (0.88f * static_cast<float>(screenWidth)) / ReferenceScale(screenHeight);
    if (wrap > static_cast<float>(kMaxWrapWidth)) return kMaxWrapWidth;  // also keeps the conversion in range
    return static_cast<int32_t>(wrap);
}

void DrawSlot(NoticeSlot& slot, NoticeTexture& texture, uint32_t now, NoticeLanguage language, int screenWidth,
              int screenHeight, const NoticeStyle& style) {
    if (slot.duration == 0 || now - slot.startTime >= slot.duration) {
        slot.duration = 0;
        ReleaseTexture(texture);
        return;
    }
    const float scale = ReferenceScale(screenHeight);
    const int32_t wrapWidth = NoticeWrapWidth(screenWidth, screenHeight);
    wchar_t text[kNoticeTextUnits];
    ComposeNoticeText(slot, language, text);

    const bool cached = texture.raster && texture.wrapWidth == wrapWidth && wcscmp(text, texture.text) == 0;
    if (!cached) {
        ReleaseTexture(texture);
        if (!MakeTexture(texture, text, wrapWidth, style)) return;
    }
    DrawTexture(texture, screenWidth, screenHeight, scale, style);
}

void ReleaseNoticeTextures() {
    ReleaseTexture(bannerTexture);
    ReleaseTexture(lineTexture);
}

void DrawNotices(uint32_t now, NoticeLanguage language, int screenWidth, int screenHeight) {
    if (screenWidth < 160 || screenHeight < 120) return;
    DrawSlot(bannerSlot, bannerTexture, now, language, screenWidth, screenHeight, kBannerStyle);
    DrawSlot(lineSlot, lineTexture, now, language, screenWidth, screenHeight, kLineStyle);
}
