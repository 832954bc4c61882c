// The benchmark program. By default it times each workload of its tables
// beside a peer library doing the same work in the same process, and prints
// both times, their ratio and the target ratio (the targets of the AVX2
// level where the kernels run at it, the first round's elsewhere). Rows
// whose data lies outside the caches also show the floor: a plain streaming
// copy of the same bytes. `--micro` runs the Google Benchmark
// micro-benchmarks instead (any further arguments go to Google Benchmark);
// `--only=TEXT` times only the workloads whose key contains TEXT.
#include <benchmark/benchmark.h>
#include <pixman.h>
#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <sys/stat.h>

#include <vector>

#include "bench_table.h"
#include "quillory.h"

namespace {

constexpr std::uint32_t kW = 800, kH = 600;
// The large destination: its data is far outside the caches.
constexpr std::uint32_t kBigW = 1920, kBigH = 1080;

using Row = BenchRow;

// ---------------------------------------------------------------------------
// Pictures, from the framework's own generator so every run uses the same.

std::uint32_t* Pixels(C_Image& image) { return reinterpret_cast<std::uint32_t*>(image.data); }

std::uint32_t RandomPixel() {
    return static_cast<std::uint32_t>(Math_Rand()) << 17 ^ static_cast<std::uint32_t>(Math_Rand()) << 2 ^
           static_cast<std::uint32_t>(Math_Rand());
}

std::unique_ptr<C_Image> Picture(std::uint32_t w, std::uint32_t h) {
    auto image = std::make_unique<C_Image>();
    image->CreateEmpty(w, h, GFX_FMT_ARGB8888, GFX_FMT_NONE);
    for (std::uint32_t y = 0; y < h; ++y)
        for (std::uint32_t x = 0; x < w; ++x)
            Pixels(*image)[y * image->pitch / 4 + x] = 0xFF000000u | (RandomPixel() & 0xFFFFFF);
    return image;
}

std::unique_ptr<C_Image> AlphaPlane(std::uint32_t w, std::uint32_t h) {
    auto image = std::make_unique<C_Image>();
    image->CreateEmpty(w, h, GFX_FMT_CH8, GFX_FMT_NONE);
    return image;
}

// Every byte random.
std::unique_ptr<C_Image> RandomAlpha(std::uint32_t w, std::uint32_t h) {
    auto image = AlphaPlane(w, h);
    for (std::uint32_t i = 0; i < image->dataSize; ++i) image->data[i] = static_cast<std::uint8_t>(Math_Rand());
    return image;
}

// What a paint layer looks like: strokes of full coverage with soft edges
// on an empty background, about half of the pixels 0.
std::unique_ptr<C_Image> PaintAlpha(std::uint32_t w, std::uint32_t h) {
    auto image = AlphaPlane(w, h);
    for (std::uint32_t y = 0; y < h; ++y) {
        std::uint8_t* row = image->data + y * image->pitch;
        std::uint32_t x = 0;
        bool paint = (y / 37) % 2 == 1;
        while (x < w) {
            const std::uint32_t run = 20 + static_cast<std::uint32_t>(Math_Rand()) % 140;
            for (std::uint32_t i = 0; i < run && x < w; ++i, ++x) {
                const std::uint32_t edge = std::min(i, run - 1 - i);
                row[x] = paint ? static_cast<std::uint8_t>(edge < 8 ? 32 * edge + 15 : 255) : 0;
            }
            paint = !paint;
        }
    }
    return image;
}

// ---------------------------------------------------------------------------
// Timing: each side is called in rounds long enough to time well; ours and
// the peer's rounds alternate so both see the same machine load, and the
// medians are reported.

using Clock = std::chrono::steady_clock;
constexpr int kRounds = 25;
constexpr double kRoundSeconds = 0.012;

double Seconds(const std::function<void()>& fn, int calls) {
    const auto t0 = Clock::now();
    for (int i = 0; i < calls; ++i) fn();
    return std::chrono::duration<double>(Clock::now() - t0).count() / calls;
}

int CallsFor(const std::function<void()>& fn, double roundSeconds) {
    fn();  // warm caches and lazy set-up
    const double once = std::max(Seconds(fn, 1), 1e-7);
    return std::max(1, static_cast<int>(roundSeconds / once));
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// ---------------------------------------------------------------------------
// Pixman images over the same pixel buffers.

struct PixmanImage {
    pixman_image_t* image = nullptr;
    PixmanImage(pixman_format_code_t format, C_Image& im)
        : image(pixman_image_create_bits(format, static_cast<int>(im.width), static_cast<int>(im.height),
                                         reinterpret_cast<std::uint32_t*>(im.data), static_cast<int>(im.pitch))) {}
    ~PixmanImage() { pixman_image_unref(image); }
    PixmanImage(const PixmanImage&) = delete;
    PixmanImage& operator=(const PixmanImage&) = delete;
};

// An alpha plane whose rows pixman can take (pitch a multiple of 4).
std::unique_ptr<C_Image> PixmanAlpha(const C_Image& alpha) {
    auto image = std::make_unique<C_Image>();
    const std::uint32_t pitch = (alpha.width + 3) / 4 * 4;
    image->CreateEmpty(pitch, alpha.height, GFX_FMT_CH8, GFX_FMT_NONE);
    image->width = alpha.width;
    for (std::uint32_t y = 0; y < alpha.height; ++y)
        std::memcpy(image->data + y * image->pitch, alpha.data + y * alpha.pitch, alpha.width);
    return image;
}

// A colour plane with the alpha bytes in its top byte, premultiplied as
// pixman expects.
std::unique_ptr<C_Image> Premultiplied(const C_Image& color, const C_Image& alpha) {
    auto image = std::make_unique<C_Image>();
    image->CreateEmpty(color.width, color.height, GFX_FMT_ARGB8888, GFX_FMT_NONE);
    for (std::uint32_t y = 0; y < color.height; ++y) {
        for (std::uint32_t x = 0; x < color.width; ++x) {
            const std::uint32_t p = reinterpret_cast<const std::uint32_t*>(color.data + y * color.pitch)[x];
            const std::uint32_t a = alpha.data[y * alpha.pitch + x];
            std::uint32_t out = a << 24;
            for (int s = 0; s < 24; s += 8) out |= (((p >> s) & 0xFF) * a / 255) << s;
            Pixels(*image)[y * image->pitch / 4 + x] = out;
        }
    }
    return image;
}

void SetTransform(pixman_image_t* image, const pixman_f_transform& destToSource) {
    pixman_transform_t t;
    pixman_transform_from_pixman_f_transform(&t, &destToSource);
    pixman_image_set_transform(image, &t);
}

// ---------------------------------------------------------------------------
// Our side: a source and destination surface and one blit.

struct Blit {
    std::unique_ptr<C_Image> color, alpha, target;
    std::unique_ptr<C_Surface> src, dst;
    C_DrawParams params;
    C_Vector2D position;

    Blit(std::unique_ptr<C_Image> c, std::unique_ptr<C_Image> a, std::uint32_t w = kW, std::uint32_t h = kH)
        : color(std::move(c)), alpha(std::move(a)) {
        target = Picture(w, h);
        src = std::make_unique<C_Surface>(1, color.get(), alpha.get());
        dst = std::make_unique<C_Surface>(1, target.get());
    }
    void operator()() {
        Gfx_Surface_BlitTransformed(src.get(), dst.get(), nullptr, nullptr, nullptr, &position, 0, &params);
    }
};

// ---------------------------------------------------------------------------
// The workloads.

Row UnscaledCopy() {
    Blit ours(Picture(kW, kH), nullptr);
    C_Image& from = *ours.color;
    C_Image& to = *ours.target;
    Row row = BenchMeasure("unscaled copy", "memcpy of the same rows", BenchTarget(0.5, 1.25), std::ref(ours), [&] {
        for (std::uint32_t y = 0; y < kH; ++y) std::memcpy(to.data + y * to.pitch, from.data + y * from.pitch, kW * 4);
        benchmark::ClobberMemory();
    });
    row.floor = BenchCopyFloor(std::size_t{kW} * kH * 4);
    return row;
}

Row KeyCopy() {
    // A sprite sheet: a quarter of the pixels, in blobs, are the key colour.
    auto sheet = Picture(kW, kH);
    const std::uint32_t key = 0xFFFF00FFu;
    for (std::uint32_t y = 0; y < kH; ++y)
        for (std::uint32_t x = 0; x < kW; ++x)
            if (((x / 50) + (y / 30)) % 4 == 0) Pixels(*sheet)[y * sheet->pitch / 4 + x] = key;
    Blit ours(std::move(sheet), nullptr);
    ours.params.useKeyColor = 1;
    ours.params.keyColor = C_Color(255, 0, 255, 255);

    SDL_Surface* src = SDL_CreateRGBSurfaceWithFormatFrom(
        ours.color->data, kW, kH, 32, static_cast<int>(ours.color->pitch), SDL_PIXELFORMAT_ARGB8888);
    auto peerTarget = Picture(kW, kH);
    SDL_Surface* dst = SDL_CreateRGBSurfaceWithFormatFrom(
        peerTarget->data, kW, kH, 32, static_cast<int>(peerTarget->pitch), SDL_PIXELFORMAT_ARGB8888);
    SDL_SetSurfaceBlendMode(src, SDL_BLENDMODE_NONE);
    SDL_SetColorKey(src, SDL_TRUE, key);
    Row row = BenchMeasure("key-colour copy", "SDL2 colour-key blit", BenchTarget(0.2, 0.5), std::ref(ours), [&] {
        SDL_Rect r{0, 0, static_cast<int>(kW), static_cast<int>(kH)};
        SDL_BlitSurface(src, nullptr, dst, &r);
    });
    SDL_FreeSurface(src);
    SDL_FreeSurface(dst);
    return row;
}

// A blend of a w x h picture through its alpha plane onto a w x h target.
Row AlphaBlend(const char* name, double target, std::unique_ptr<C_Image> alpha) {
    const std::uint32_t w = alpha->width, h = alpha->height;
    Blit ours(Picture(w, h), std::move(alpha), w, h);
    auto mask = PixmanAlpha(*ours.alpha);
    auto peerTarget = Picture(w, h);
    PixmanImage src(PIXMAN_x8r8g8b8, *ours.color), msk(PIXMAN_a8, *mask), dst(PIXMAN_x8r8g8b8, *peerTarget);
    Row row = BenchMeasure(name, "pixman OVER, x8r8g8b8 through a8 mask", target, std::ref(ours), [&] {
        pixman_image_composite32(PIXMAN_OP_OVER, src.image, msk.image, dst.image, 0, 0, 0, 0, 0, 0, static_cast<int>(w),
                                 static_cast<int>(h));
    });
    if (w == kBigW) row.floor = BenchCopyFloor(std::size_t{w} * h * 4);
    return row;
}

Row NearestScale() {
    Blit ours(Picture(kW / 2, kH / 2), nullptr);
    ours.params.scale = C_Vector2D(2.0f, 2.0f);
    auto peerTarget = Picture(kW, kH);
    PixmanImage src(PIXMAN_x8r8g8b8, *ours.color), dst(PIXMAN_x8r8g8b8, *peerTarget);
    pixman_f_transform t;
    pixman_f_transform_init_identity(&t);
    pixman_f_transform_scale(&t, nullptr, 0.5, 0.5);
    SetTransform(src.image, t);
    pixman_image_set_filter(src.image, PIXMAN_FILTER_NEAREST, nullptr, 0);
    return BenchMeasure(
        "nearest scaling 400x300 to 800x600", "pixman SRC, nearest scale transform", BenchTarget(0.4, 1.0),
        std::ref(ours),
        [&] { pixman_image_composite32(PIXMAN_OP_SRC, src.image, nullptr, dst.image, 0, 0, 0, 0, 0, 0, kW, kH); });
}

// A from x fromH picture with random alpha, scaled to cover to x toH at
// (at, at) of a dstW x dstH target, interpolated and blended.
Row BilinearScale(const char* name, double target, std::uint32_t from, std::uint32_t fromH, std::uint32_t to,
                  std::uint32_t toH, int at, std::uint32_t dstW, std::uint32_t dstH) {
    Blit ours(Picture(from, fromH), RandomAlpha(from, fromH), dstW, dstH);
    ours.params.scale = C_Vector2D(static_cast<float>(to) / from, static_cast<float>(toH) / fromH);
    ours.params.filter = 1;
    ours.position = C_Vector2D(static_cast<float>(at), static_cast<float>(at));
    auto premul = Premultiplied(*ours.color, *ours.alpha);
    auto peerTarget = Picture(dstW, dstH);
    PixmanImage src(PIXMAN_a8r8g8b8, *premul), dst(PIXMAN_x8r8g8b8, *peerTarget);
    pixman_f_transform t;
    pixman_f_transform_init_identity(&t);
    pixman_f_transform_scale(&t, nullptr, static_cast<double>(from) / to, static_cast<double>(fromH) / toH);
    SetTransform(src.image, t);
    pixman_image_set_filter(src.image, PIXMAN_FILTER_BILINEAR, nullptr, 0);
    pixman_image_set_repeat(src.image, PIXMAN_REPEAT_PAD);
    Row row = BenchMeasure(name, "pixman OVER, bilinear scale transform", target, std::ref(ours), [&] {
        pixman_image_composite32(PIXMAN_OP_OVER, src.image, nullptr, dst.image, 0, 0, 0, 0, at, at,
                                 static_cast<int>(to), static_cast<int>(toH));
    });
    if (dstW == kBigW) row.floor = BenchCopyFloor(std::size_t{to} * toH * 4);
    return row;
}

Row BilinearRotation() {
    constexpr double kAngle = 30.0, kScale = 1.5;
    Blit ours(Picture(kW / 2, kH / 2), RandomAlpha(kW / 2, kH / 2));
    ours.params.angle = static_cast<float>(kAngle);
    ours.params.scale = C_Vector2D(static_cast<float>(kScale), static_cast<float>(kScale));
    ours.params.pivot = C_Vector2D(0.0f, 0.0f, 0x22);  // the picture's centre
    ours.params.filter = 1;
    ours.position = C_Vector2D(kW / 2.0f, kH / 2.0f);

    auto premul = Premultiplied(*ours.color, *ours.alpha);
    auto peerTarget = Picture(kW, kH);
    PixmanImage src(PIXMAN_a8r8g8b8, *premul), dst(PIXMAN_x8r8g8b8, *peerTarget);
    // Source to destination: centre on the origin, scale, rotate, move to
    // the target's centre; pixman takes the inverse.
    pixman_f_transform forward, reverse;
    pixman_f_transform_init_identity(&forward);
    pixman_f_transform_init_identity(&reverse);
    const double a = kAngle * 3.14159265358979 / 180.0;
    pixman_f_transform_translate(&forward, &reverse, -(kW / 4.0), -(kH / 4.0));
    pixman_f_transform_scale(&forward, &reverse, kScale, kScale);
    pixman_f_transform_rotate(&forward, &reverse, std::cos(a), std::sin(a));
    pixman_f_transform_translate(&forward, &reverse, kW / 2.0, kH / 2.0);
    SetTransform(src.image, reverse);
    pixman_image_set_filter(src.image, PIXMAN_FILTER_BILINEAR, nullptr, 0);
    // The destination box the rotated picture covers, clipped to the target.
    const double hw = kW / 4.0 * kScale, hh = kH / 4.0 * kScale;
    const double ex = std::fabs(hw * std::cos(a)) + std::fabs(hh * std::sin(a));
    const double ey = std::fabs(hw * std::sin(a)) + std::fabs(hh * std::cos(a));
    const int x0 = std::max(0, static_cast<int>(kW / 2.0 - ex)), y0 = std::max(0, static_cast<int>(kH / 2.0 - ey));
    const int x1 = std::min(static_cast<int>(kW), static_cast<int>(kW / 2.0 + ex) + 1);
    const int y1 = std::min(static_cast<int>(kH), static_cast<int>(kH / 2.0 + ey) + 1);
    return BenchMeasure("rotation 30 deg bilinear, blended", "pixman OVER, bilinear rotation transform",
                        BenchTarget(0.3, 0.75), std::ref(ours), [&] {
                            pixman_image_composite32(PIXMAN_OP_OVER, src.image, nullptr, dst.image, x0, y0, 0, 0, x0,
                                                     y0, x1 - x0, y1 - y0);
                        });
}

// ---------------------------------------------------------------------------
// The demo's frame: the scrolling background tiled across and stretched
// down, the paint layer blended through its alpha plane, the caption in a
// 13-pixel bold font. The peer composes the same three layers with pixman:
// one repeating scaled SRC, one OVER through the a8 plane, one OVER of the
// caption colour through each glyph's a8 picture.

constexpr const char* kCaptionFont = "/usr/share/fonts/truetype/liberation2/LiberationSerif-Bold.ttf";
constexpr const char* kCaption = "Premi il pulsante sinistro del mouse per disegnare, il destro per cancellare";

// One glyph blit of the caption, as the text drawing issued it.
struct GlyphBlit {
    C_Image* picture;
    C_Rect cell;
    float x, y;
};

std::vector<GlyphBlit>* g_glyphs = nullptr;

bool RecordGlyph(C_Surface* src, C_Surface*, const C_Rect* srcRect, const C_Frame*, const C_Frame*,
                 const C_Vector2D* position, std::uint32_t, const C_DrawParams*) {
    C_Image* picture = src ? src->GetPlane(GFX_PLANE_ALPHA) : nullptr;
    if (picture && srcRect && position) g_glyphs->push_back({picture, *srcRect, position->x, position->y});
    return true;
}

// The demo's 13-pixel bold font.
struct DemoFont {
    C_Font font;
    C_FontType type{C_String(""), 13.0f, GFX_GLYPH_MONO, 1, 0, 0, 0, 0};
    bool ready = false;

    DemoFont() {
        struct stat st;
        ready =
            stat(kCaptionFont, &st) == 0 && font.AddFaces(32, 127) &&
            Gfx_Font_ImportTrueType(C_String(kCaptionFont), C_BitmapGlyph(13, GFX_GLYPH_MONO, GFX_STYLE_BOLD), &font) &&
            Gfx_Font_ChangeFormat(&font, GFX_FMT_ARGB8888, GFX_FMT_SAME, 0);
    }
};

// The glyph blits one text drawing issues, recorded instead of drawn.
std::vector<GlyphBlit> RecordGlyphs(const std::function<void()>& draw) {
    std::vector<GlyphBlit> glyphs;
    g_glyphs = &glyphs;
    Gfx_SetBlitOverride(&RecordGlyph);
    draw();
    Gfx_SetBlitOverride(nullptr);
    g_glyphs = nullptr;
    return glyphs;
}

// The peer's side of text: the ink composited OVER through each glyph's a8
// picture, one pixman image per distinct glyph picture.
struct GlyphPeer {
    std::vector<GlyphBlit> glyphs;
    std::map<const C_Image*, std::unique_ptr<C_Image>> masks;
    std::map<const C_Image*, std::unique_ptr<PixmanImage>> images;
    pixman_image_t* solid;

    explicit GlyphPeer(std::vector<GlyphBlit> g) : glyphs(std::move(g)) {
        const pixman_color_t ink{0, 0, 0x8080, 0xFFFF};
        solid = pixman_image_create_solid_fill(&ink);
        for (const GlyphBlit& b : glyphs) {
            if (masks.count(b.picture)) continue;
            masks[b.picture] = PixmanAlpha(*b.picture);
            images[b.picture] = std::make_unique<PixmanImage>(PIXMAN_a8, *masks[b.picture]);
        }
    }
    ~GlyphPeer() { pixman_image_unref(solid); }
    GlyphPeer(const GlyphPeer&) = delete;
    GlyphPeer& operator=(const GlyphPeer&) = delete;

    void Draw(pixman_image_t* dst) const {
        for (const GlyphBlit& g : glyphs)
            pixman_image_composite32(PIXMAN_OP_OVER, solid, images.at(g.picture)->image, dst, 0, 0,
                                     static_cast<int>(g.cell.x0), static_cast<int>(g.cell.y0), static_cast<int>(g.x),
                                     static_cast<int>(g.y), static_cast<int>(g.cell.x1 - g.cell.x0),
                                     static_cast<int>(g.cell.y1 - g.cell.y0));
    }
};

struct DemoFrame {
    std::unique_ptr<C_Image> background = Picture(512, 400), backBuffer = Picture(kW, kH);
    std::unique_ptr<C_Image> paintColor = Picture(kW, kH), paintAlpha = PaintAlpha(kW, kH);
    DemoFont demoFont;
    C_Font& font = demoFont.font;
    C_FontType& fontType = demoFont.type;
    C_String caption{kCaption};
    float scroll = 1.0f;
    bool ready = demoFont.ready;

    DemoFrame() { backBuffer->bottomUp = 1; }

    void operator()() {
        const float w = static_cast<float>(background->width / 2), h = static_cast<float>(background->height / 2);
        C_DrawParams p;
        p.pivot = C_Vector2D(w, h);
        p.tileOffset = C_Vector2D(scroll * 10.0f, 0.0f);
        p.fillModeH = 1;
        p.fillModeV = 0;
        C_Surface bg(1, background.get()), back(1, backBuffer.get()), paint(1, paintColor.get(), paintAlpha.get());
        const C_Rect all(0.0f, 0.0f, static_cast<float>(kW), static_cast<float>(kH));
        const C_Vector2D at(w, h);
        Gfx_Surface_DrawInRect(&bg, &back, nullptr, nullptr, nullptr, &all, &at, 0, &p);
        Gfx_Surface_BlitTransformed(&paint, &back, nullptr, nullptr, nullptr, &at, 0, &p);
        Gfx_Surface_DrawText(caption, &font, fontType, &back, C_Color(0, 0, 128, 0), C_Vector2D(0.0f, 0.0f, 2), 2, 0, 0,
                             nullptr, nullptr, 0);
        scroll += 0.3f;
    }
};

Row Frame() {
    DemoFrame ours;
    if (!ours.ready) return {"the demo's frame (no caption font)", "", 0, 0, 0};
    // The glyph blits of the caption, for the peer.
    const GlyphPeer glyphs(RecordGlyphs([&] {
        C_Surface back(1, ours.backBuffer.get());
        Gfx_Surface_DrawText(ours.caption, &ours.font, ours.fontType, &back, C_Color(0, 0, 128, 0),
                             C_Vector2D(0.0f, 0.0f, 2), 2, 0, 0, nullptr, nullptr, 0);
    }));

    auto peerTarget = Picture(kW, kH);
    auto mask = PixmanAlpha(*ours.paintAlpha);
    PixmanImage bg(PIXMAN_x8r8g8b8, *ours.background), paint(PIXMAN_x8r8g8b8, *ours.paintColor),
        paintMask(PIXMAN_a8, *mask), dst(PIXMAN_x8r8g8b8, *peerTarget);
    pixman_image_set_repeat(bg.image, PIXMAN_REPEAT_NORMAL);
    pixman_image_set_filter(bg.image, PIXMAN_FILTER_NEAREST, nullptr, 0);
    float scroll = 1.0f;
    const auto peer = [&] {
        pixman_f_transform t;
        pixman_f_transform_init_identity(&t);
        pixman_f_transform_translate(&t, nullptr, -std::fmod(scroll * 10.0f, 512.0f), 0.0);
        pixman_f_transform_scale(&t, nullptr, 1.0, 400.0 / kH);
        SetTransform(bg.image, t);
        pixman_image_composite32(PIXMAN_OP_SRC, bg.image, nullptr, dst.image, 0, 0, 0, 0, 0, 0, kW, kH);
        pixman_image_composite32(PIXMAN_OP_OVER, paint.image, paintMask.image, dst.image, 0, 0, 0, 0, 0, 0, kW, kH);
        glyphs.Draw(dst.image);
        scroll += 0.3f;
    };
    const std::string peerName = "the same frame in pixman (" + std::to_string(glyphs.glyphs.size()) + " glyphs)";
    return BenchMeasure("the demo's frame, drawing only", peerName, BenchTarget(0.3, 0.7), std::ref(ours), peer);
}

// A page of text: lines of the caption, about 2,000 glyphs, drawn with one
// call; the peer composites the same glyph pictures.
Row TextPage() {
    DemoFont font;
    if (!font.ready) return {"a page of text (no caption font)", "", 0, 0, 0, 0};
    auto page = Picture(kW, kH);
    C_String text;
    std::vector<GlyphBlit> glyphs;
    std::string lines;
    while (glyphs.size() < 2000) {
        lines += std::string(kCaption) + "\n";
        text = C_String(lines.c_str());
        glyphs = RecordGlyphs([&] {
            C_Surface dst(1, page.get());
            Gfx_Surface_DrawText(text, &font.font, font.type, &dst, C_Color(0, 0, 128, 0), C_Vector2D(2.0f, 2.0f), 0, 0,
                                 0, nullptr, nullptr, 0);
        });
        if (glyphs.empty()) return {"a page of text (nothing drawn)", "", 0, 0, 0, 0};
    }
    const GlyphPeer peer(std::move(glyphs));
    auto peerTarget = Picture(kW, kH);
    PixmanImage dst(PIXMAN_x8r8g8b8, *peerTarget);
    C_Surface ours(1, page.get());
    const std::string name = "a page of text, " + std::to_string(peer.glyphs.size()) + " glyphs";
    return BenchMeasure(
        name, "pixman OVER of the same glyph masks", 0.5,
        [&] {
            Gfx_Surface_DrawText(text, &font.font, font.type, &ours, C_Color(0, 0, 128, 0), C_Vector2D(2.0f, 2.0f), 0,
                                 0, 0, nullptr, nullptr, 0);
        },
        [&] { peer.Draw(dst.image); });
}

// 1920 x 1080 filled with tiles of a 256 x 192 picture.
Row Tiled() {
    constexpr std::uint32_t tw = 256, th = 192;
    auto tile = Picture(tw, th), target = Picture(kBigW, kBigH), peerTarget = Picture(kBigW, kBigH);
    C_Surface src(1, tile.get()), dst(1, target.get());
    const C_Rect all(0.0f, 0.0f, static_cast<float>(kBigW), static_cast<float>(kBigH));
    const C_Vector2D at;
    C_DrawParams params;
    PixmanImage from(PIXMAN_x8r8g8b8, *tile), to(PIXMAN_x8r8g8b8, *peerTarget);
    pixman_image_set_repeat(from.image, PIXMAN_REPEAT_NORMAL);
    Row row = BenchMeasure(
        "DrawTiled 256x192 over 1920x1080", "pixman SRC, REPEAT_NORMAL", 0.7,
        [&] { Gfx_Surface_DrawTiled(&src, &dst, nullptr, nullptr, nullptr, &all, &at, 0, &params); },
        [&] {
            pixman_image_composite32(PIXMAN_OP_SRC, from.image, nullptr, to.image, 0, 0, 0, 0, 0, 0, kBigW, kBigH);
        });
    row.floor = BenchCopyFloor(std::size_t{kBigW} * kBigH * 4);
    return row;
}

// Byte contents for a conversion source, the same every run.
void FillBytes(C_Image& image) {
    std::uint32_t state = 1;  // the classic LCG
    for (std::uint32_t i = 0; i < image.dataSize; ++i) {
        state = state * 214013u + 2531011u;
        image.data[i] = static_cast<std::uint8_t>(state >> 16);
    }
}

// A 1920 x 1080 conversion into ARGB8888 beside pixman SRC between the
// formats (sdl false) or SDL_ConvertSurface (sdl true, which also makes the
// new surface each call, as a caller of it must).
Row Conversion(const char* name, std::int32_t format, pixman_format_code_t pixmanFormat, std::uint32_t sdlFormat,
               bool sdl) {
    C_Image from, to, peerTo;
    from.CreateEmpty(kBigW, kBigH, format, GFX_FMT_NONE);
    to.CreateEmpty(kBigW, kBigH, GFX_FMT_ARGB8888, GFX_FMT_NONE);
    peerTo.CreateEmpty(kBigW, kBigH, GFX_FMT_ARGB8888, GFX_FMT_NONE);
    FillBytes(from);
    const auto ours = [&] { Gfx_Image_Copy_24to32(&from, &to, 0); };
    Row row;
    if (sdl) {
        SDL_Surface* src = SDL_CreateRGBSurfaceWithFormatFrom(from.data, kBigW, kBigH, static_cast<int>(from.bpp),
                                                              static_cast<int>(from.pitch), sdlFormat);
        SDL_PixelFormat* argb = SDL_AllocFormat(SDL_PIXELFORMAT_ARGB8888);
        row = BenchMeasure(name, "SDL_ConvertSurface", 0.6, ours,
                           [&] { SDL_FreeSurface(SDL_ConvertSurface(src, argb, 0)); });
        SDL_FreeFormat(argb);
        SDL_FreeSurface(src);
    } else {
        PixmanImage src(pixmanFormat, from), dst(PIXMAN_a8r8g8b8, peerTo);
        row = BenchMeasure(name, "pixman SRC between the formats", 0.6, ours, [&] {
            pixman_image_composite32(PIXMAN_OP_SRC, src.image, nullptr, dst.image, 0, 0, 0, 0, 0, 0, kBigW, kBigH);
        });
    }
    row.floor = BenchCopyFloor(std::size_t{kBigW} * kBigH * 4);
    return row;
}

void PrintTable(const BenchTable& table, const std::vector<Row>& rows, int& within, int& judged) {
    std::printf("\n%s\n", table.title);
    std::printf("%-42s %-40s %9s %9s %9s %7s %7s\n", "workload", "peer", "ours ms", "peer ms", "floor ms", "ratio",
                "target");
    for (const Row& r : rows) {
        if (r.ours > 0 && r.theirs <= 0 && r.minGBs > 0) {
            // Judged by throughput: the ratio column shows GB/s.
            const double gbs = r.bytes / r.ours / 1e9;
            const bool ok = gbs >= r.minGBs;
            within += ok;
            ++judged;
            std::printf("%-42s %-40s %9.3f %9s %9s %7.2f %s%.1f GB/s\n", r.name.c_str(), "- (GB/s of output)",
                        r.ours * 1e3, "-", "-", gbs, ok ? ">=" : "< ", r.minGBs);
            continue;
        }
        if (r.theirs <= 0) {
            std::printf("%-42s not measured\n", r.name.c_str());
            continue;
        }
        const double ratio = r.ours / r.theirs;
        char floor[16] = "-";
        if (r.floor > 0) std::snprintf(floor, sizeof floor, "%9.3f", r.floor * 1e3);
        char target[16] = "      -";
        if (r.target > 0) {
            const bool ok = ratio <= r.target;
            within += ok;
            ++judged;
            std::snprintf(target, sizeof target, "%s%5.2f", ok ? "<=" : "> ", r.target);
        }
        std::printf("%-42s %-40s %9.3f %9.3f %9s %7.3f %s\n", r.name.c_str(), r.peer.c_str(), r.ours * 1e3,
                    r.theirs * 1e3, floor, ratio, target);
    }
}

using Workload = std::pair<std::string, std::function<Row()>>;

std::vector<Row> Run(const std::vector<Workload>& workloads, const std::string& only) {
    std::vector<Row> rows;
    for (const auto& w : workloads)
        if (only.empty() || w.first.find(only) != std::string::npos) rows.push_back(w.second());
    return rows;
}

// The blits on the demo's 800 x 600 back buffer, and text.
std::vector<Row> BlitRows(const std::string& only) {
    return Run(
        {
            {"unscaled copy", UnscaledCopy},
            {"key-colour copy", KeyCopy},
            {"blend random alpha",
             [] {
                 return AlphaBlend("blend through 8-bit alpha, random alpha", BenchTarget(0.25, 0.5),
                                   RandomAlpha(kW, kH));
             }},
            {"blend paint-like alpha",
             [] { return AlphaBlend("the same with paint-like alpha", BenchTarget(0.25, 0.4), PaintAlpha(kW, kH)); }},
            {"nearest scaling", NearestScale},
            {"bilinear scaling",
             [] {
                 return BilinearScale("bilinear scaling 256^2 to 333^2, blended", BenchTarget(0.7, 1.5), 256, 256, 333,
                                      333, 100, kW, kH);
             }},
            {"bilinear rotation", BilinearRotation},
            {"demo frame", Frame},
            {"text page", TextPage},
        },
        only);
}

// Work on 1920 x 1080, where memory bandwidth decides: shown beside the
// floor, judged only where a target is set.
std::vector<Row> LargeRows(const std::string& only) {
    return Run(
        {
            {"1080 blend random alpha",
             [] { return AlphaBlend("1920x1080 blend, random alpha", 0, RandomAlpha(kBigW, kBigH)); }},
            {"1080 bilinear scaling",
             [] {
                 return BilinearScale("1920x1080 bilinear from 1440x810, blended", 0, 1440, 810, kBigW, kBigH, 0, kBigW,
                                      kBigH);
             }},
            {"tiled", Tiled},
            {"convert RGB888 pixman",
             [] {
                 return Conversion("RGB888 to ARGB8888, 1920x1080", GFX_FMT_RGB888, PIXMAN_r8g8b8,
                                   SDL_PIXELFORMAT_BGR24, false);
             }},
            {"convert RGB888 SDL",
             [] {
                 return Conversion("RGB888 to ARGB8888, 1920x1080", GFX_FMT_RGB888, PIXMAN_r8g8b8,
                                   SDL_PIXELFORMAT_BGR24, true);
             }},
            {"convert RGB565 pixman",
             [] {
                 return Conversion("RGB565 to ARGB8888, 1920x1080", GFX_FMT_RGB565, PIXMAN_r5g6b5,
                                   SDL_PIXELFORMAT_RGB565, false);
             }},
            {"convert RGB565 SDL",
             [] {
                 return Conversion("RGB565 to ARGB8888, 1920x1080", GFX_FMT_RGB565, PIXMAN_r5g6b5,
                                   SDL_PIXELFORMAT_RGB565, true);
             }},
        },
        only);
}

// The tables in print order. Another table joins with one line here (its
// function may live in a bench/*.cpp file of its own, see bench_table.h).
const std::vector<BenchTable> kTables = {
    {"Blits and text on an 800x600 destination", BlitRows},
    {"1920x1080 destination", LargeRows},
    {"Files: 1920x1080 pictures through Gfx_Image_LoadFile (JPEG: wall time beside the peer; BMP, TGA: the "
     "thread's processor time, judged by throughput)",
     Bench_FilesRows},
    {"One call split among threads (Gfx_SetThreadCount): ours = 2 threads, peer = 1 thread, alternating rounds; "
     "ratio 0.588 is a 1.7x speed-up",
     Bench_ThreadsRows},
};

int RunTables(const std::string& only) {
    const double floorSeconds = BenchCopyFloor(std::size_t{kBigW} * kBigH * 4);
    std::printf(
        "quillory-bench: span kernels at level %s, medians of %d alternating rounds; copy bandwidth %.1f GB/s "
        "(streaming copy of 1920x1080x4 bytes)\n",
        Gfx_SimdLevelName(Gfx_Blit_GetSimdLevel()), kRounds, 2.0 * kBigW * kBigH * 4 / floorSeconds / 1e9);
    Math_SRand(1);
    int within = 0, judged = 0;
    for (const BenchTable& t : kTables) {
        const std::vector<Row> rows = t.rows(only);
        if (!rows.empty()) PrintTable(t, rows, within, judged);
    }
    std::printf("%d of %d workloads within target\n", within, judged);
    return 0;
}

}  // namespace

BenchRow BenchMeasure(const std::string& name, const std::string& peer, double target,
                      const std::function<void()>& ours, const std::function<void()>& theirs) {
    const int oursCalls = CallsFor(ours, kRoundSeconds), theirCalls = CallsFor(theirs, kRoundSeconds);
    std::vector<double> a, b;
    for (int r = 0; r < kRounds; ++r) {
        a.push_back(Seconds(ours, oursCalls));
        b.push_back(Seconds(theirs, theirCalls));
    }
    return {name, peer, Median(a), Median(b), target, 0};
}

double BenchCopyFloor(std::size_t bytes) {
    static std::map<std::size_t, double> measured;
    const auto it = measured.find(bytes);
    if (it != measured.end()) return it->second;
    std::vector<std::uint8_t> from(bytes, 0x5A), to(bytes, 0);
    const std::function<void()> copy = [&] {
        std::memcpy(to.data(), from.data(), bytes);
        benchmark::ClobberMemory();
    };
    const int calls = CallsFor(copy, kRoundSeconds);
    std::vector<double> t;
    for (int r = 0; r < kRounds; ++r) t.push_back(Seconds(copy, calls));
    return measured[bytes] = Median(t);
}

double BenchTarget(double avx2, double other) { return Gfx_Blit_GetSimdLevel() == GFX_SIMD_AVX2 ? avx2 : other; }

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--micro") == 0) {
        argv[1] = argv[0];
        --argc;
        ++argv;
        benchmark::Initialize(&argc, argv);
        if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
        benchmark::RunSpecifiedBenchmarks();
        benchmark::Shutdown();
        return 0;
    }
    std::string only;
    if (argc == 2 && std::strncmp(argv[1], "--only=", 7) == 0) {
        only = argv[1] + 7;
    } else if (argc > 1) {
        std::fprintf(stderr, "usage: quillory-bench [--only=WORKLOAD | --micro [benchmark options]]\n");
        return 2;
    }
    return RunTables(only);
}
