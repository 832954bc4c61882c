// Independent work on several threads gives the pixels of the same work done
// on one thread, and one large call gives the same pixels at every thread
// count. Also built under ThreadSanitizer (./run.sh test), which reports any
// shared state the calls still touch.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "image/internal/pixel_convert.h"
#include "quillory.h"
#include "test_support.h"
#include "text/truetype_builder.h"

namespace {

using Digest = std::uint64_t;

void Mix(Digest& d, const C_Image* image) {
    if (!image || !image->data) return;
    d = Fnv1aRows(d, *image);
}

C_Image* Noise(std::uint32_t w, std::uint32_t h, std::int32_t format, std::uint32_t seed) {
    auto* image = new C_Image;
    image->CreateEmpty(w, h, format, GFX_FMT_NONE);
    for (std::uint32_t i = 0; i < image->dataSize; ++i) {
        seed = seed * 214013u + 2531011u;
        image->data[i] = static_cast<std::uint8_t>(seed >> 16);
    }
    return image;
}

std::string TempPath(const std::string& name) { return std::string(QUILLORY_TEST_TMP_DIR) + "/threads-" + name; }

// Every family once, on objects of its own: blits through each kernel
// family, primitives, fills, text from an imported font, conversions, and
// saving and loading files. The digest covers every result.
Digest Work(int seed, const std::string& fontPath) {
    const auto s = static_cast<std::uint32_t>(seed);
    C_Surface src(0, Noise(40, 30, GFX_FMT_ARGB8888, s), Noise(40, 30, GFX_FMT_CH8, s + 1));
    C_Surface dst(0, Noise(90, 70, GFX_FMT_ARGB8888, s + 2), Noise(90, 70, GFX_FMT_CH8, s + 3));
    const C_Vector2D at(7.0f + seed, 5.0f);
    std::vector<C_DrawParams> kinds(10);
    kinds[1].scale = C_Vector2D(1.7f, 0.8f);
    kinds[2].scale = C_Vector2D(2.3f, 1.9f), kinds[2].filter = 1, kinds[2].opacity = 0.6f;
    kinds[3].angle = 33.0f + seed;
    kinds[4].angle = -71.0f, kinds[4].filter = 1, kinds[4].scale = C_Vector2D(1.4f, 1.4f);
    kinds[5].useKeyColor = 1, kinds[5].keyColor = C_Color(0, 0, 0, 0), kinds[5].flipH = 1;
    kinds[6].useFillColor = 1, kinds[6].fillColor = C_Color(0.2f, 0.7f, 0.1f, 1.0f), kinds[6].wrapH = 1;
    kinds[7].useBrightness = 1, kinds[7].brightness = C_Color(0.1f, -0.2f, 0.3f, 0.0f), kinds[7].flipV = 1;
    kinds[8].useContrast = 1, kinds[8].contrast = C_Color(1.5f, 0.5f, 1.0f, 1.0f), kinds[8].angle = 12.0f;
    kinds[9].opacity = 0.3f, kinds[9].scale = C_Vector2D(0.6f, 0.7f), kinds[9].filter = 1;
    for (const C_DrawParams& p : kinds) Gfx_Surface_BlitTransformed(&src, &dst, nullptr, nullptr, nullptr, &at, 0, &p);

    const C_Color red(1.0f, 0.0f, 0.0f, 1.0f);
    const C_Circle circle(C_Vector2D(45.0f, 35.0f), 20.0f + seed);
    Gfx_Surface_Blit(&dst, &circle, &red, nullptr, nullptr, 1);
    const C_Vector2D a(3.0f, 60.0f), b(80.0f, 4.0f + seed);
    Gfx_Surface_Blit(&dst, &a, &b, &red, nullptr, nullptr);

    C_DrawParams tiles;
    tiles.angle = 9.0f, tiles.tileOffset = C_Vector2D(5.0f + seed, 3.0f);
    const C_Rect area(4.0f, 6.0f, 85.0f, 66.0f);
    Gfx_Surface_DrawTiled(&src, &dst, nullptr, nullptr, nullptr, &area, &at, 0, &tiles);
    C_DrawParams stretch;
    stretch.fillModeH = 1;
    Gfx_Surface_DrawInRect(&src, &dst, nullptr, nullptr, nullptr, &area, &at, 0, &stretch);

    C_Font font;
    font.AddFaces('A', 'C');
    const std::uint8_t style = Gfx_FontStyleCode(false, false);
    EXPECT_TRUE(Gfx_Font_ImportTrueType(C_String(fontPath.c_str()), C_BitmapGlyph(16, GFX_GLYPH_GRAY, style), &font));
    const C_FontType type(C_String(""), 16.0f, GFX_GLYPH_GRAY, 0, 0, 0, 0, 0);
    Gfx_Surface_DrawText(C_String("ABAB"), &font, type, &dst, C_Color(0.0f, 0.0f, 1.0f, 1.0f),
                         C_Vector2D(10.0f + seed, -40.0f), 0, 0, 0, nullptr, nullptr, 0);

    Digest d = 14695981039346656037ull;
    Mix(d, dst.GetPlane(GFX_PLANE_COLOR));
    Mix(d, dst.GetPlane(GFX_PLANE_ALPHA));
    C_Image converted;
    Gfx_Image_Clone(dst.GetPlane(GFX_PLANE_COLOR), &converted, GFX_FMT_RGB565, GFX_FMT_NONE, 0);
    Mix(d, &converted);

    const std::string path = TempPath(std::to_string(seed));
    C_Surface loaded;
    C_Font reloaded;
    if (dst.SaveToFile((path + ".srf").c_str(), 0) && loaded.LoadFromFile((path + ".srf").c_str(), 0))
        Mix(d, loaded.GetPlane(GFX_PLANE_COLOR));
    if (Gfx_Image_SavePNG(&converted, (path + ".png").c_str()) &&
        Gfx_Image_LoadPNG(&converted, (path + ".png").c_str()))
        Mix(d, &converted);
    if (font.SaveToFile((path + ".uft").c_str(), 0) && reloaded.LoadFromFile((path + ".uft").c_str(), 0))
        d = (d ^ reloaded.ImageCount()) * 1099511628211ull;
    return d;
}

std::string WriteFont() {
    const std::vector<std::uint8_t> bytes = Quillory_TrueTypeFont();
    const std::string path = TempPath("font.ttf");
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f) {
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
    return path;
}

TEST(Threads, IndependentWorkMatchesOneThread) {
    constexpr int kThreads = 4;
    const std::string font = WriteFont();
    std::vector<Digest> alone(kThreads);
    for (int i = 0; i < kThreads; ++i) alone[i] = Work(i, font);
    // With a pool of two as well, so that calls also contend for the workers.
    for (const std::int32_t count : {1, 2}) {
        ASSERT_TRUE(Gfx_SetThreadCount(count));
        std::vector<Digest> together(kThreads);
        std::vector<std::thread> threads;
        for (int i = 0; i < kThreads; ++i) threads.emplace_back([&, i] { together[i] = Work(i, font); });
        for (std::thread& t : threads) t.join();
        EXPECT_EQ(together, alone) << count << " pool threads";
    }
    Gfx_SetThreadCount(1);
}

TEST(Threads, LargeCallsGiveThePixelsOfOneThread) {
    // Destinations above the split threshold, drawn from one state at each
    // thread count.
    const std::uint32_t w = 1031, h = 677;
    ASSERT_GE(std::uint64_t{w} * h, GFX_PARALLEL_MIN_PIXELS);
    auto draw = [&] {
        C_Surface src(0, Noise(300, 200, GFX_FMT_ARGB8888, 1), Noise(300, 200, GFX_FMT_CH8, 2));
        C_Surface dst(0, Noise(w, h, GFX_FMT_ARGB8888, 3), Noise(w, h, GFX_FMT_CH8, 4));
        C_DrawParams scaled, rotated, tiles;
        scaled.scale = C_Vector2D(3.3f, 3.1f), scaled.filter = 1, scaled.opacity = 0.7f;
        rotated.angle = 27.0f, rotated.scale = C_Vector2D(2.5f, 2.5f), rotated.useKeyColor = 1;
        tiles.angle = 3.0f, tiles.wrapV = 1;
        const C_Vector2D at(-20.0f, 11.0f);
        const C_Rect whole(0.0f, 0.0f, static_cast<float>(w), static_cast<float>(h));
        Gfx_Surface_BlitTransformed(&src, &dst, nullptr, nullptr, nullptr, &at, 0, &scaled);
        Gfx_Surface_BlitTransformed(&src, &dst, nullptr, nullptr, nullptr, &at, 0, &rotated);
        Gfx_Surface_DrawTiled(&src, &dst, nullptr, nullptr, nullptr, &whole, &at, 0, &tiles);
        Digest d = 14695981039346656037ull;
        Mix(d, dst.GetPlane(GFX_PLANE_COLOR));
        Mix(d, dst.GetPlane(GFX_PLANE_ALPHA));
        C_Image converted;
        Gfx_Image_Clone(dst.GetPlane(GFX_PLANE_COLOR), &converted, GFX_FMT_RGB565, GFX_FMT_NONE, 0);
        Gfx_Image_CopyPixels(&converted, dst.GetPlane(GFX_PLANE_COLOR), Gfx_RowPath::General);
        Mix(d, &converted);
        Mix(d, dst.GetPlane(GFX_PLANE_COLOR));
        return d;
    };
    ASSERT_TRUE(Gfx_SetThreadCount(1));
    const Digest one = draw();
    for (const std::int32_t count : {2, 3}) {
        ASSERT_TRUE(Gfx_SetThreadCount(count));
        EXPECT_EQ(draw(), one) << count << " threads";
    }
    Gfx_SetThreadCount(1);
    EXPECT_FALSE(Gfx_SetThreadCount(0));
    EXPECT_EQ(Gfx_GetThreadCount(), 1);
}

}  // namespace
