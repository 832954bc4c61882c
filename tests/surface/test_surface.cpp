#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "quillory.h"

namespace {

// An image that counts its deletions.
int g_deleted = 0;
class CountedImage : public C_Image {
public:
    ~CountedImage() override { ++g_deleted; }
};

C_Image* SolidImage(std::uint32_t w, std::uint32_t h, std::int32_t format, float red) {
    auto* image = new C_Image();
    image->CreateEmpty(w, h, format, GFX_FMT_NONE, C_Color(red, 0.0f, 0.0f, 0.0f));
    return image;
}

std::vector<std::uint8_t> Saved(C_Surface& s) {
    C_Stream stream;
    stream.OpenMemoryWrite();
    EXPECT_TRUE(s.SaveToStream(&stream, 0));
    return std::vector<std::uint8_t>(stream.Data(), stream.Data() + stream.Size());
}

bool LoadInto(C_Surface& s, const std::vector<std::uint8_t>& bytes) {
    C_Stream stream;
    stream.OpenMemoryRead(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
    return s.LoadFromStream(&stream, 0);
}

TEST(Surface, RecordsWithoutPlanes) {
    // No list at all is three bytes; an empty list adds its opening marker.
    C_Surface none;
    EXPECT_EQ(Saved(none), (std::vector<std::uint8_t>{0x0D, 0x00, 0x80}));
    C_Surface t(0, SolidImage(2, 2, GFX_FMT_ARGB8888, 1.0f));
    ASSERT_TRUE(LoadInto(t, Saved(none)));
    EXPECT_EQ(t.planes, nullptr);
    EXPECT_EQ(t.GetWidth(), 0u);

    C_Surface empty(0, nullptr);
    ASSERT_NE(empty.planes, nullptr);
    EXPECT_EQ(Saved(empty), (std::vector<std::uint8_t>{0x0D, 0x00, 0x7F, 0x80}));
    ASSERT_TRUE(LoadInto(t, Saved(empty)));
    ASSERT_NE(t.planes, nullptr);
    EXPECT_EQ(t.planes->Count(), 0u);
}

TEST(Surface, EntryOrderFlipsAtEverySaveAndLoad) {
    C_Surface s(0, SolidImage(3, 2, GFX_FMT_ARGB8888, 1.0f), SolidImage(3, 2, GFX_FMT_CH8, 0.5f));
    EXPECT_EQ(s.GetWidth(), 3u);
    EXPECT_EQ(s.GetHeight(), 2u);
    const auto bytes = Saved(s);
    ASSERT_GT(bytes.size(), 8u);
    EXPECT_EQ(bytes[3], 0x81);
    std::uint32_t first = 0;
    std::memcpy(&first, &bytes[4], 4);
    EXPECT_EQ(first, 2u);  // attached last, so in front
    EXPECT_EQ(bytes.back(), 0x80);

    C_Surface t;
    ASSERT_TRUE(LoadInto(t, bytes));
    ASSERT_EQ(t.planes->Count(), 2u);
    EXPECT_EQ(static_cast<C_SurfacePlane*>(t.planes->GetAt(0))->index, 1u);
    EXPECT_EQ(t.GetWidth(), 3u);
    EXPECT_EQ(t.GetHeight(), 2u);
    EXPECT_EQ(t.GetPlane(2)->format, GFX_FMT_CH8);
    EXPECT_EQ(t.GetPlane(1)->Row(1)[2 * 4 + 2], 0xFF);  // red of the last pixel
}

TEST(Surface, ListMayEndWithTheStream) {
    C_Surface s(0, SolidImage(1, 1, GFX_FMT_CH8, 1.0f));
    auto bytes = Saved(s);
    bytes.pop_back();  // no closing 0x80
    C_Surface t;
    EXPECT_TRUE(LoadInto(t, bytes));
    EXPECT_NE(t.GetPlane(1), nullptr);
}

TEST(Surface, HostileRecordsFailCleanly) {
    C_Surface good(0, SolidImage(2, 2, GFX_FMT_ARGB8888, 1.0f), SolidImage(2, 2, GFX_FMT_CH8, 1.0f));
    const auto bytes = Saved(good);

    // Every truncation either loads a prefix of the planes or fails; a
    // failure keeps only whole planes read before it.
    for (std::size_t n = 0; n < bytes.size(); ++n) {
        C_Surface t;
        const bool ok = LoadInto(t, std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + n));
        if (n < 3) {
            EXPECT_FALSE(ok) << n;
        }
        if (t.planes) {
            for (std::uint32_t i = 0; i < t.planes->Count(); ++i) {
                const C_Image* image = static_cast<C_SurfacePlane*>(t.planes->GetAt(i))->image;
                ASSERT_NE(image, nullptr);
                EXPECT_EQ(image->width, 2u);
            }
        }
    }

    // Wrong tag: error 10, then the summary line.
    C_Surface t;
    Gfx_ClearError();
    EXPECT_FALSE(LoadInto(t, {0x06, 0x00, 0x80}));
    EXPECT_EQ(Gfx_GetErrorCode(), -1);
    EXPECT_EQ(Gfx_GetErrorDetailCode(), GFX_ERR_BAD_DATA);
    EXPECT_STREQ(Gfx_GetErrorDetail(), "C_Surface::LoadFromStream{class_type}");
    EXPECT_STREQ(Gfx_GetErrorMessage(),
                 "C_Surface::LoadFromStream>>>A fatal error occurred, the entire process has been aborted");
    EXPECT_EQ(t.planes, nullptr);

    // Stray bytes between entries are skipped; a plane whose image record is
    // forged to promise more pixels than the stream holds fails.
    std::vector<std::uint8_t> stray = {0x0D, 0x00, 0x7F, 0x00, 0x42};
    stray.insert(stray.end(), bytes.begin() + 3, bytes.end());
    EXPECT_TRUE(LoadInto(t, stray));
    EXPECT_EQ(t.planes->Count(), 2u);

    std::vector<std::uint8_t> forged = bytes;
    const std::uint32_t huge = 0x40000000;
    std::memcpy(&forged[14], &huge, 4);  // the first image's width
    EXPECT_FALSE(LoadInto(t, forged));
    EXPECT_EQ(t.GetPlane(1), nullptr);
}

TEST(Surface, AllPlanesShareOneLoadBudget) {
    // Rows of this format are not stored: each plane carries only its header
    // and describes a third of the budget. Three planes load; four go over,
    // and the surface keeps what it had.
    C_Image big;
    ASSERT_TRUE(big.CreateEmpty(1, GFX_LOAD_UNBACKED_BUDGET / 6 / 3, GFX_FMT_RGB48, GFX_FMT_NONE));
    C_Surface three(1, &big, &big, &big);
    C_Surface four(1, &big, &big, &big, &big);
    C_Surface t(0, SolidImage(2, 2, GFX_FMT_ARGB8888, 1.0f));
    EXPECT_FALSE(LoadInto(t, Saved(four)));
    EXPECT_EQ(Gfx_GetErrorDetailCode(), GFX_ERR_BAD_DATA);
    EXPECT_NE(std::string(Gfx_GetErrorReason()).find("MiB"), std::string::npos);
    ASSERT_NE(t.GetPlane(1), nullptr);
    EXPECT_EQ(t.GetPlane(1)->width, 2u);
    EXPECT_TRUE(LoadInto(t, Saved(three)));
    EXPECT_EQ(t.planes->Count(), 3u);
}

TEST(Surface, AddPlaneReplacesInPlaceAndRespectsOwnership) {
    g_deleted = 0;
    auto* first = new CountedImage();
    first->CreateEmpty(4, 3, GFX_FMT_ARGB8888, GFX_FMT_NONE);
    auto* alpha = new CountedImage();
    alpha->CreateEmpty(4, 3, GFX_FMT_CH8, GFX_FMT_NONE);
    {
        C_Surface s;
        EXPECT_TRUE(s.AddPlane(first, 1));
        EXPECT_TRUE(s.AddPlane(alpha, 2));
        EXPECT_EQ(s.GetWidth(), 4u);
        EXPECT_EQ(s.GetPlane(2), alpha);
        EXPECT_EQ(s.GetPlane(3), nullptr);

        auto* second = new CountedImage();
        second->CreateEmpty(5, 6, GFX_FMT_ARGB8888, GFX_FMT_NONE);
        s.GetPlaneEntry(1)->derived = first;  // a copy kept by someone else
        EXPECT_TRUE(s.AddPlane(second, 1));
        EXPECT_EQ(g_deleted, 1);  // the owned image went with its entry
        EXPECT_EQ(s.planes->Count(), 2u);
        EXPECT_EQ(static_cast<C_SurfacePlane*>(s.planes->GetAt(1))->image, second);  // same slot
        EXPECT_EQ(s.GetPlaneEntry(1)->derived, first);                               // carried over, not freed
        EXPECT_EQ(s.GetWidth(), 5u);
        EXPECT_EQ(s.GetHeight(), 6u);

        EXPECT_TRUE(s.AddPlane(second, 1));  // re-attaching the same image keeps it alive
        EXPECT_EQ(g_deleted, 1);
        EXPECT_EQ(s.GetPlane(1)->width, 5u);
    }
    EXPECT_EQ(g_deleted, 3);

    // Shared surfaces never delete.
    g_deleted = 0;
    CountedImage borrowed;
    borrowed.CreateEmpty(2, 2, GFX_FMT_ARGB8888, GFX_FMT_NONE);
    {
        C_Surface s(1, &borrowed);
        EXPECT_TRUE(s.AddPlane(&borrowed, 1));
        EXPECT_EQ(s.GetPlane(1), &borrowed);
    }
    EXPECT_EQ(g_deleted, 0);

    // The named choices: a borrowing surface, and a borrowed plane on an
    // owning surface, leave stack images alone; owned ones go with it.
    {
        C_Surface viaConstructor(GFX_PLANES_BORROWED);
        EXPECT_TRUE(viaConstructor.AddPlane(&borrowed, GFX_PLANE_COLOR));
        C_Surface mixed;
        EXPECT_TRUE(mixed.AddPlane(&borrowed, GFX_PLANE_COLOR, GFX_PLANES_BORROWED));
        EXPECT_TRUE(mixed.AddPlane(new CountedImage(), GFX_PLANE_ALPHA));
        EXPECT_EQ(mixed.GetPlaneEntry(GFX_PLANE_COLOR)->shared, GFX_PLANES_BORROWED);
        EXPECT_EQ(mixed.GetPlaneEntry(GFX_PLANE_ALPHA)->shared, GFX_PLANES_OWNED);
        EXPECT_EQ(mixed.shared, GFX_PLANES_OWNED);
    }
    EXPECT_EQ(g_deleted, 1);
}

int g_releaseCalls = 0;
bool g_planesAliveAtRelease = false;
bool OnRelease(C_Surface* s, std::int32_t code) {
    ++g_releaseCalls;
    g_planesAliveAtRelease = code == GFX_NOTIFY_ALL_PLANES && s->GetPlane(1) != nullptr;
    return true;
}

TEST(Surface, ReleaseNotifiesOnceBeforePlanesGo) {
    g_releaseCalls = 0;
    auto* s = new C_Surface(0, SolidImage(2, 2, GFX_FMT_ARGB8888, 0.0f));
    s->notify[3] = &OnRelease;
    EXPECT_FALSE(s->Notify1(1));  // empty slot
    EXPECT_TRUE(s->Notify4(7));
    g_releaseCalls = 0;
    delete s;
    EXPECT_EQ(g_releaseCalls, 1);
    EXPECT_TRUE(g_planesAliveAtRelease);
}

TEST(Surface, ChangeFormatConvertsColourAndAlphaPlanes) {
    auto* color = new C_Image();
    color->CreateEmpty(2, 2, GFX_FMT_RGB888, GFX_FMT_NONE, C_Color(1.0f, 0.0f, 0.0f, 0.0f));
    C_Surface s(0, color, SolidImage(2, 2, GFX_FMT_CH8, 1.0f));
    EXPECT_TRUE(Gfx_Surface_ChangeFormat(&s, GFX_FMT_ARGB8888, GFX_FMT_NONE, 0));
    EXPECT_EQ(s.GetPlane(1)->format, GFX_FMT_ARGB8888);
    EXPECT_EQ(s.GetPlane(1)->Row(1)[6], 0xFF);  // red survived
    EXPECT_EQ(s.GetPlane(2)->format, GFX_FMT_CH8);

    C_Surface alphaOnly(0, nullptr, SolidImage(2, 2, GFX_FMT_CH8, 1.0f));
    EXPECT_TRUE(Gfx_Surface_ChangeFormat(&alphaOnly, GFX_FMT_RGB48, GFX_FMT_NONE, 0));
    EXPECT_EQ(alphaOnly.GetPlane(2)->format, GFX_FMT_CH16);
    EXPECT_EQ(alphaOnly.GetPlane(1), nullptr);
}

TEST(Surface, ChangeFormatNeedsASurface) {
    Gfx_ClearError();
    EXPECT_FALSE(Gfx_Surface_ChangeFormat(nullptr, GFX_FMT_ARGB8888, GFX_FMT_NONE, 0));
    EXPECT_EQ(Gfx_GetErrorDetailCode(), GFX_ERR_NULL_ARG);
    EXPECT_STREQ(Gfx_GetErrorMessage(),
                 "Gfx_Surface_ChangeFormat>>>A fatal error occurred, the entire process has been aborted");
}

TEST(DrawParams, DefaultsAndAnchors) {
    const C_DrawParams p;
    EXPECT_EQ(p.scale.x, 1.0f);
    EXPECT_EQ(p.scale.y, 1.0f);
    EXPECT_EQ(p.opacity, 1.0f);
    EXPECT_EQ(p.angle, 0.0f);
    EXPECT_EQ(p.useKeyColor + p.useFillColor + p.useBrightness + p.useContrast + p.wrapH + p.wrapV, 0);
    EXPECT_EQ(p.fillColor.r + p.fillColor.g + p.fillColor.b, 0.0f);

    const C_Vector2D right = Gfx_ResolveAnchor(C_Vector2D(10.0f, 5.0f, GFX_ALIGN_RIGHT), 100.0f, 50.0f);
    EXPECT_EQ(right.x, 90.0f);
    EXPECT_EQ(right.y, 5.0f);
    const C_Vector2D centre = Gfx_ResolveAnchor(C_Vector2D(10.0f, 5.0f, 2 | 32), 100.0f, 50.0f);
    EXPECT_EQ(centre.x, 60.0f);
    EXPECT_EQ(centre.y, 30.0f);
    const C_Vector2D odd = Gfx_ResolveAnchor(C_Vector2D(10.0f, 5.0f, 0x33), 100.0f, 50.0f);  // unknown codes
    EXPECT_EQ(odd.x, 10.0f);
    EXPECT_EQ(odd.y, 5.0f);
    EXPECT_EQ(Gfx_AlignCoordIn(10.0f, 0, 100, 1), 90.0f);
    EXPECT_EQ(Gfx_AlignCoordIn(0.0f, 10, 111, 2), 60.5f);
    EXPECT_EQ(Gfx_AlignCoordIn(3.0f, 10, 111, 0), 13.0f);
}

}  // namespace
