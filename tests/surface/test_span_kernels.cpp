#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "quillory.h"
#include "surface/internal/span_kernels.h"

namespace {

const Gfx_SpanKernelTable& Scalar() { return Gfx_SpanKernels_Scalar(); }

// Arguments for ARGB8888 on both sides over a one-row source.
Gfx_SpanArgs ArgbArgs(const std::vector<std::uint32_t>& row) {
    Gfx_SpanArgs a{};
    const std::uint32_t shifts[3] = {16, 8, 0};
    for (int c = 0; c < 3; ++c) {
        a.srcShift[c] = a.dstShift[c] = shifts[c];
        a.srcMask[c] = a.dstMask[c] = 0xFF;
    }
    a.contR = a.contG = a.contB = 256;
    a.alpha256 = 256;
    a.srcBase = row.data();
    a.srcPitch = static_cast<std::ptrdiff_t>(row.size());
    a.x1 = a.imgW = static_cast<std::int32_t>(row.size());
    a.y1 = a.imgH = 1;
    return a;
}

std::uint32_t Red(std::uint32_t v) { return v << 16; }

// One bilinear sample of the scale family at u.
std::uint32_t SampleAt(Gfx_SpanArgs a, std::int64_t u) {
    std::uint32_t out = 0;
    a.dst = &out;
    a.count = 1;
    a.u = u;
    a.v = 0;
    Scalar().fn[GFX_SPAN_SCALE_ADJUST][GFX_SPAN_BILINEAR | GFX_SPAN_FULL_OPACITY](a);
    return out >> 16;
}

TEST(SpanKernels, BilinearSamplingClampsToTheRectangleAndWrapsAtTheImageEdge) {
    const std::vector<std::uint32_t> row = {Red(0), Red(40), Red(80), Red(120)};
    Gfx_SpanArgs a = ArgbArgs(row);
    EXPECT_EQ(SampleAt(a, 0x28000), 100u);  // columns 2 and 3, half way
    EXPECT_EQ(SampleAt(a, 0x38000), 60u);   // column 4 is x1 itself: it wraps to column 0
    EXPECT_EQ(SampleAt(a, 0x30000), 120u);
    a.x0 = 1;
    EXPECT_EQ(SampleAt(a, 0x08000), 40u);  // left of the rectangle: column x0 twice
    EXPECT_EQ(SampleAt(a, -0x70000), 40u);
    a.x1 = 3;  // a rectangle short of the image edge never wraps
    EXPECT_EQ(SampleAt(a, 0x28000), 100u);
    EXPECT_EQ(SampleAt(a, 0x38000), 120u);
    EXPECT_EQ(SampleAt(a, 0x7FFFFFFF0000LL), 120u);
}

TEST(SpanKernels, RowKernelsWalkBothWays) {
    const std::vector<std::uint32_t> row = {1, 2, 3, 4};
    Gfx_SpanArgs a = ArgbArgs(row);
    std::uint32_t out[4] = {};
    a.dst = out;
    a.count = 4;
    a.src = row.data() + 3;
    Scalar().fn[GFX_SPAN_ROW_COPY_MIRROR][0](a);
    EXPECT_EQ(out[0], 4u);
    EXPECT_EQ(out[3], 1u);
    // The silhouette kernel follows the mirror too, reading inside the row.
    a.keyPixel = 3;
    a.fillPixel = 9;
    std::memset(out, 0, sizeof out);
    Scalar().fn[GFX_SPAN_ROW_KEY_FILL][GFX_SPAN_MIRROR](a);
    EXPECT_EQ(out[0], 9u);
    EXPECT_EQ(out[1], 0u);
    EXPECT_EQ(out[3], 9u);
    a.count = 0;
    out[0] = 5;
    Scalar().fn[GFX_SPAN_ROW_FILL][0](a);
    EXPECT_EQ(out[0], 5u);
}

// The specialisations only remove work: with full opacity, or with neutral
// colour effects, they must give what the general loops give.
TEST(SpanKernels, SpecialisationsAgreeWithTheGeneralLoops) {
    std::uint32_t seed = 99;
    auto rnd = [&seed]() {
        seed = seed * 214013u + 2531011u;
        return (seed >> 16) & 0x7FFFu;
    };
    std::vector<std::uint32_t> src(64), dstA(64), dstB(64);
    std::vector<std::uint8_t> srcAlpha(64), dstAlphaA(64), dstAlphaB(64);
    const Gfx_SpanKernelId ids[] = {GFX_SPAN_ROW_BLEND,    GFX_SPAN_ROW_ADJUST,   GFX_SPAN_SCALE_BLEND,
                                    GFX_SPAN_SCALE_ADJUST, GFX_SPAN_ROTATE_BLEND, GFX_SPAN_ROTATE_ADJUST};
    for (int round = 0; round < 200; ++round) {
        for (std::size_t i = 0; i < 64; ++i) {
            src[i] = rnd() << 17 ^ rnd();
            dstA[i] = dstB[i] = rnd() << 17 ^ rnd();
            srcAlpha[i] = static_cast<std::uint8_t>(rnd() % 3 == 0 ? 255 : rnd() & 0xFF);
            dstAlphaA[i] = dstAlphaB[i] = static_cast<std::uint8_t>(rnd() % 3 == 0 ? 255 : rnd() & 0xFF);
        }
        Gfx_SpanArgs a = ArgbArgs(src);
        a.x1 = a.imgW = 8;
        a.y1 = a.imgH = 8;
        a.srcPitch = 8;
        a.srcAlphaBase = srcAlpha.data();
        a.srcAlphaPitch = 8;
        a.src = src.data() + 20;
        a.srcAlpha = srcAlpha.data() + 20;
        a.count = 16;
        a.u = static_cast<std::int64_t>(rnd()) * 8 - 40000;
        a.v = static_cast<std::int64_t>(rnd()) * 16;
        a.du = static_cast<std::int64_t>(rnd()) - 16000;
        a.dv = static_cast<std::int64_t>(rnd()) - 16000;
        a.fillPixel = rnd() << 17 ^ rnd();
        a.fillR = static_cast<std::int32_t>(rnd() & 0xFF);
        const Gfx_SpanKernelId id = ids[round % 6];
        const std::uint32_t variant =
            (rnd() & (GFX_SPAN_FILL | GFX_SPAN_SRC_ALPHA | GFX_SPAN_DST_ALPHA | GFX_SPAN_MIRROR));

        a.dst = dstA.data() + 8;
        a.dstAlpha = dstAlphaA.data() + 8;
        Scalar().fn[id][variant | GFX_SPAN_FULL_OPACITY](a);
        a.dst = dstB.data() + 8;
        a.dstAlpha = dstAlphaB.data() + 8;
        Scalar().fn[id][variant | GFX_SPAN_ADJUST_COLOR](a);  // general weight, neutral effects
        ASSERT_EQ(dstA, dstB) << "kernel " << id << " variant " << variant;
        ASSERT_EQ(dstAlphaA, dstAlphaB) << "kernel " << id << " variant " << variant;
    }
}

TEST(SpanKernels, TableIsComplete) {
    for (std::uint32_t k = 0; k < GFX_SPAN_KERNEL_COUNT; ++k)
        for (std::uint32_t v = 0; v < GFX_SPAN_VARIANT_COUNT; ++v) EXPECT_NE(Scalar().fn[k][v], nullptr);
}

TEST(SpanKernels, ScanlineTablesGrowAndReset) {
    Gfx_ScanlineTables& t = Gfx_GetScanlineTables();
    ASSERT_TRUE(t.Reset(2, 10));
    EXPECT_EQ(t.firstRow, 10);
    EXPECT_EQ(t.lastRow, 2);
    EXPECT_GT(t.Min()[5], t.Max()[5]);
    EXPECT_GE(t.spanMin.capacity, 40u);
    EXPECT_FALSE(t.Reset(5, 4));
    EXPECT_FALSE(t.Reset(0, -1));
}

}  // namespace
