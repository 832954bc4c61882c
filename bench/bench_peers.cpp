// The benchmark program. By default it times each workload of the table
// below on an 800 x 600 destination beside a peer library doing the same
// work in the same process, and prints both times, their ratio and the
// target ratio. `--micro` runs the Google Benchmark micro-benchmarks
// instead (any further arguments go to Google Benchmark); `--only=TEXT`
// times only the workloads whose name contains TEXT.
#include <benchmark/benchmark.h>
#include <pixman.h>
#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <sys/stat.h>

#include <vector>

#include "quillory.h"

namespace {

constexpr std::uint32_t kW = 800, kH = 600;

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

struct Row {
    std::string name, peer;
    double ours = 0, theirs = 0, target = 0;
};

Row Measure(const char* name, const char* peer, double target, const std::function<void()>& ours,
            const std::function<void()>& theirs) {
    constexpr int kRounds = 25;
    constexpr double kRoundSeconds = 0.012;
    const int oursCalls = CallsFor(ours, kRoundSeconds), theirCalls = CallsFor(theirs, kRoundSeconds);
    std::vector<double> a, b;
    for (int r = 0; r < kRounds; ++r) {
        a.push_back(Seconds(ours, oursCalls));
        b.push_back(Seconds(theirs, theirCalls));
    }
    return {name, peer, Median(a), Median(b), target};
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

    Blit(std::unique_ptr<C_Image> c, std::unique_ptr<C_Image> a) : color(std::move(c)), alpha(std::move(a)) {
        target = Picture(kW, kH);
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
    return Measure("unscaled copy", "memcpy of the same rows", 1.25, std::ref(ours), [&] {
        for (std::uint32_t y = 0; y < kH; ++y) std::memcpy(to.data + y * to.pitch, from.data + y * from.pitch, kW * 4);
        benchmark::ClobberMemory();
    });
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
    Row row = Measure("key-colour copy", "SDL2 colour-key blit", 0.5, std::ref(ours), [&] {
        SDL_Rect r{0, 0, static_cast<int>(kW), static_cast<int>(kH)};
        SDL_BlitSurface(src, nullptr, dst, &r);
    });
    SDL_FreeSurface(src);
    SDL_FreeSurface(dst);
    return row;
}

Row AlphaBlend(const char* name, double target, std::unique_ptr<C_Image> alpha) {
    Blit ours(Picture(kW, kH), std::move(alpha));
    auto mask = PixmanAlpha(*ours.alpha);
    auto peerTarget = Picture(kW, kH);
    PixmanImage src(PIXMAN_x8r8g8b8, *ours.color), msk(PIXMAN_a8, *mask), dst(PIXMAN_x8r8g8b8, *peerTarget);
    return Measure(name, "pixman OVER, x8r8g8b8 through a8 mask", target, std::ref(ours), [&] {
        pixman_image_composite32(PIXMAN_OP_OVER, src.image, msk.image, dst.image, 0, 0, 0, 0, 0, 0, kW, kH);
    });
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
    return Measure(
        "nearest scaling 400x300 to 800x600", "pixman SRC, nearest scale transform", 1.0, std::ref(ours),
        [&] { pixman_image_composite32(PIXMAN_OP_SRC, src.image, nullptr, dst.image, 0, 0, 0, 0, 0, 0, kW, kH); });
}

Row BilinearScale() {
    constexpr std::uint32_t from = 256, to = 333;
    constexpr int at = 100;
    Blit ours(Picture(from, from), RandomAlpha(from, from));
    ours.params.scale = C_Vector2D(static_cast<float>(to) / from, static_cast<float>(to) / from);
    ours.params.filter = 1;
    ours.position = C_Vector2D(static_cast<float>(at), static_cast<float>(at));
    auto premul = Premultiplied(*ours.color, *ours.alpha);
    auto peerTarget = Picture(kW, kH);
    PixmanImage src(PIXMAN_a8r8g8b8, *premul), dst(PIXMAN_x8r8g8b8, *peerTarget);
    pixman_f_transform t;
    pixman_f_transform_init_identity(&t);
    pixman_f_transform_scale(&t, nullptr, static_cast<double>(from) / to, static_cast<double>(from) / to);
    SetTransform(src.image, t);
    pixman_image_set_filter(src.image, PIXMAN_FILTER_BILINEAR, nullptr, 0);
    pixman_image_set_repeat(src.image, PIXMAN_REPEAT_PAD);
    return Measure(
        "bilinear scaling 256^2 to 333^2, blended", "pixman OVER, bilinear scale transform", 1.5, std::ref(ours),
        [&] { pixman_image_composite32(PIXMAN_OP_OVER, src.image, nullptr, dst.image, 0, 0, 0, 0, at, at, to, to); });
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
    return Measure("rotation 30 deg bilinear, blended", "pixman OVER, bilinear rotation transform", 0.75,
                   std::ref(ours), [&] {
                       pixman_image_composite32(PIXMAN_OP_OVER, src.image, nullptr, dst.image, x0, y0, 0, 0, x0, y0,
                                                x1 - x0, y1 - y0);
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

struct DemoFrame {
    std::unique_ptr<C_Image> background = Picture(512, 400), backBuffer = Picture(kW, kH);
    std::unique_ptr<C_Image> paintColor = Picture(kW, kH), paintAlpha = PaintAlpha(kW, kH);
    C_Font font;
    C_FontType fontType{C_String(""), 13.0f, GFX_GLYPH_MONO, 1, 0, 0, 0, 0};
    C_String caption{kCaption};
    float scroll = 1.0f;
    bool ready = false;

    DemoFrame() {
        backBuffer->bottomUp = 1;
        struct stat st;
        ready =
            stat(kCaptionFont, &st) == 0 && font.AddFaces(32, 127) &&
            Gfx_Font_ImportTrueType(C_String(kCaptionFont), C_BitmapGlyph(13, GFX_GLYPH_MONO, GFX_STYLE_BOLD), &font) &&
            Gfx_Font_ChangeFormat(&font, GFX_FMT_ARGB8888, GFX_FMT_SAME, 0);
    }

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
    std::vector<GlyphBlit> glyphs;
    g_glyphs = &glyphs;
    Gfx_SetBlitOverride(&RecordGlyph);
    {
        C_Surface back(1, ours.backBuffer.get());
        Gfx_Surface_DrawText(ours.caption, &ours.font, ours.fontType, &back, C_Color(0, 0, 128, 0),
                             C_Vector2D(0.0f, 0.0f, 2), 2, 0, 0, nullptr, nullptr, 0);
    }
    Gfx_SetBlitOverride(nullptr);
    g_glyphs = nullptr;

    auto peerTarget = Picture(kW, kH);
    auto mask = PixmanAlpha(*ours.paintAlpha);
    PixmanImage bg(PIXMAN_x8r8g8b8, *ours.background), paint(PIXMAN_x8r8g8b8, *ours.paintColor),
        paintMask(PIXMAN_a8, *mask), dst(PIXMAN_x8r8g8b8, *peerTarget);
    pixman_image_set_repeat(bg.image, PIXMAN_REPEAT_NORMAL);
    pixman_image_set_filter(bg.image, PIXMAN_FILTER_NEAREST, nullptr, 0);
    const pixman_color_t ink{0, 0, 0x8080, 0xFFFF};
    pixman_image_t* solid = pixman_image_create_solid_fill(&ink);
    std::vector<std::unique_ptr<C_Image>> glyphMasks;
    std::vector<std::unique_ptr<PixmanImage>> glyphImages;
    for (const GlyphBlit& g : glyphs) {
        glyphMasks.push_back(PixmanAlpha(*g.picture));
        glyphImages.push_back(std::make_unique<PixmanImage>(PIXMAN_a8, *glyphMasks.back()));
    }
    float scroll = 1.0f;
    const auto peer = [&] {
        pixman_f_transform t;
        pixman_f_transform_init_identity(&t);
        pixman_f_transform_translate(&t, nullptr, -std::fmod(scroll * 10.0f, 512.0f), 0.0);
        pixman_f_transform_scale(&t, nullptr, 1.0, 400.0 / kH);
        SetTransform(bg.image, t);
        pixman_image_composite32(PIXMAN_OP_SRC, bg.image, nullptr, dst.image, 0, 0, 0, 0, 0, 0, kW, kH);
        pixman_image_composite32(PIXMAN_OP_OVER, paint.image, paintMask.image, dst.image, 0, 0, 0, 0, 0, 0, kW, kH);
        for (std::size_t i = 0; i < glyphs.size(); ++i) {
            const GlyphBlit& g = glyphs[i];
            pixman_image_composite32(PIXMAN_OP_OVER, solid, glyphImages[i]->image, dst.image, 0, 0,
                                     static_cast<int>(g.cell.x0), static_cast<int>(g.cell.y0), static_cast<int>(g.x),
                                     static_cast<int>(g.y), static_cast<int>(g.cell.x1 - g.cell.x0),
                                     static_cast<int>(g.cell.y1 - g.cell.y0));
        }
        scroll += 0.3f;
    };
    const std::string peerName = "the same frame in pixman (" + std::to_string(glyphs.size()) + " glyphs)";
    Row row = Measure("the demo's frame, drawing only", peerName.c_str(), 0.7, std::ref(ours), peer);
    pixman_image_unref(solid);
    return row;
}

void PrintTable(const std::vector<Row>& rows) {
    std::printf("%-42s %-40s %10s %10s %7s %7s\n", "workload", "peer", "ours ms", "peer ms", "ratio", "target");
    int within = 0;
    for (const Row& r : rows) {
        if (r.theirs <= 0) {
            std::printf("%-42s not measured\n", r.name.c_str());
            continue;
        }
        const double ratio = r.ours / r.theirs;
        const bool ok = ratio <= r.target;
        within += ok;
        std::printf("%-42s %-40s %10.3f %10.3f %7.3f %s%6.2f\n", r.name.c_str(), r.peer.c_str(), r.ours * 1e3,
                    r.theirs * 1e3, ratio, ok ? "<=" : "> ", r.target);
    }
    std::printf("%d of %zu workloads within target\n", within, rows.size());
}

// The workloads in table order; `only` (when not empty) picks those whose
// name contains it.
int RunTable(const std::string& only) {
    std::printf("quillory-bench: %ux%u destination, span kernels at level %s, medians of 25 alternating rounds\n", kW,
                kH, Gfx_SimdLevelName(Gfx_Blit_GetSimdLevel()));
    Math_SRand(1);
    const std::vector<std::pair<std::string, std::function<Row()>>> workloads = {
        {"unscaled copy", UnscaledCopy},
        {"key-colour copy", KeyCopy},
        {"blend random alpha",
         [] { return AlphaBlend("blend through 8-bit alpha, random alpha", 0.5, RandomAlpha(kW, kH)); }},
        {"blend paint-like alpha",
         [] { return AlphaBlend("the same with paint-like alpha", 0.4, PaintAlpha(kW, kH)); }},
        {"nearest scaling", NearestScale},
        {"bilinear scaling", BilinearScale},
        {"bilinear rotation", BilinearRotation},
        {"demo frame", Frame},
    };
    std::vector<Row> rows;
    for (const auto& w : workloads)
        if (only.empty() || w.first.find(only) != std::string::npos) rows.push_back(w.second());
    PrintTable(rows);
    return 0;
}

}  // namespace

int Bench_FilesTable(const std::string& only);  // bench_files.cpp
int RunThreadsTable(const std::string& only);  // bench_threads.cpp

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
    return RunTable(only) | Bench_FilesTable(only) | RunThreadsTable(only);
}
