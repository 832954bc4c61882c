// The surface object: its records, plane ownership and notification, format
// changes, anchors, and PNG files with and without alpha.
#include <string>

#include "surface_test.h"
#include "test_support.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

bool LoadInto(C_Surface& s, const Bytes& bytes) {
    C_Stream stream;
    stream.OpenMemoryRead(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
    return s.LoadFromStream(&stream, 0);
}

// The plane numbers of a surface's entries in list order.
std::vector<std::uint32_t> Order(const C_Surface& s) {
    std::vector<std::uint32_t> out;
    for (std::uint32_t i = 0; s.planes && i < s.planes->Count(); ++i)
        out.push_back(static_cast<C_SurfacePlane*>(s.planes->GetAt(i))->index);
    return out;
}

TEST(Surface, RecordsRoundTripReversingTheEntryOrder) {
    // No list at all is three bytes; an empty list adds its opening marker.
    C_Surface none, empty(0, nullptr);
    EXPECT_EQ(Quillory_Saved(none), (Bytes{0x0D, 0x00, 0x80}));
    EXPECT_EQ(Quillory_Saved(empty), (Bytes{0x0D, 0x00, 0x7F, 0x80}));
    C_Surface t(0, NewArgb(2, 2, 1));
    ASSERT_TRUE(LoadInto(t, Quillory_Saved(none)));
    EXPECT_EQ(t.planes, nullptr);
    ASSERT_TRUE(LoadInto(t, Quillory_Saved(empty)));
    EXPECT_TRUE(t.planes && t.planes->Count() == 0);

    // Plane 9 attached last stands in front; every load reverses the list.
    C_Surface s(0, NewPattern(3, 2), NewPlane(3, 2, GFX_FMT_CH8, 7), nullptr, nullptr, nullptr,
                NewPlane(3, 2, GFX_FMT_CH8));
    EXPECT_EQ(Order(s), (std::vector<std::uint32_t>{9, 2, 1}));
    C_Surface once, twice;
    ASSERT_TRUE(LoadInto(once, Quillory_Saved(s)));
    ASSERT_TRUE(LoadInto(twice, Quillory_Saved(once)));
    EXPECT_EQ(Order(once), (std::vector<std::uint32_t>{1, 2, 9}));
    EXPECT_EQ(Quillory_Saved(twice), Quillory_Saved(s));
    EXPECT_EQ(BytesOf(once.GetPlane(2)), BytesOf(s.GetPlane(2)));

    // The list may end with the stream, without its closing marker.
    Bytes open = Quillory_Saved(s);
    open.pop_back();
    C_Surface u;
    EXPECT_TRUE(LoadInto(u, open));
    EXPECT_EQ(Order(u), (std::vector<std::uint32_t>{1, 2, 9}));
}

TEST(Surface, HostileRecordsFailCleanly) {
    C_Surface good(0, NewArgb(2, 2, 1), NewPlane(2, 2, GFX_FMT_CH8, 255));
    const Bytes bytes = Quillory_Saved(good);
    // Every truncation either loads whole planes or fails.
    for (std::size_t n = 0; n < bytes.size(); ++n) {
        C_Surface t;
        EXPECT_TRUE(!LoadInto(t, Bytes(bytes.begin(), bytes.begin() + n)) || n >= 3) << n;
        for (std::uint32_t i = 0; t.planes && i < t.planes->Count(); ++i)
            ASSERT_EQ(static_cast<C_SurfacePlane*>(t.planes->GetAt(i))->image->width, 2u) << n;
    }
    C_Surface t;
    Gfx_ClearError();
    EXPECT_FALSE(LoadInto(t, {0x06, 0x00, 0x80}));  // another class's tag
    EXPECT_STREQ(Gfx_GetErrorDetail(), "C_Surface::LoadFromStream{class_type}");
    EXPECT_EQ(t.planes, nullptr);

    // Stray bytes between entries are skipped; an image record forged to
    // promise more pixels than the stream holds fails.
    Bytes stray = bytes;
    stray.insert(stray.begin() + 3, {0x00, 0x42});  // after the tag and the list's opening marker
    EXPECT_TRUE(LoadInto(t, stray));
    EXPECT_EQ(t.planes->Count(), 2u);
    Bytes forged = bytes;
    const std::uint32_t huge = 0x40000000;
    std::memcpy(&forged[14], &huge, 4);  // the first image's width
    EXPECT_FALSE(LoadInto(t, forged));
    EXPECT_EQ(t.GetPlane(1), nullptr);

    // Rows of this format are not stored: each plane carries only its header
    // and describes a third of the budget. Three planes load; four go over,
    // and the surface keeps what it had.
    C_Image big;
    ASSERT_TRUE(big.CreateEmpty(1, GFX_LOAD_UNBACKED_BUDGET / 6 / 3, GFX_FMT_RGB48, GFX_FMT_NONE));
    C_Surface three(1, &big, &big, &big), four(1, &big, &big, &big, &big), kept(0, NewArgb(2, 2, 1));
    EXPECT_FALSE(LoadInto(kept, Quillory_Saved(four)));
    EXPECT_NE(std::string(Gfx_GetErrorReason()).find("MiB"), std::string::npos);
    EXPECT_EQ(kept.GetWidth(), 2u);
    EXPECT_TRUE(LoadInto(kept, Quillory_Saved(three)));
    EXPECT_EQ(kept.planes->Count(), 3u);
}

// An image that counts its deletions.
int g_deleted = 0;
struct CountedImage : C_Image {
    CountedImage() { CreateEmpty(4, 3, GFX_FMT_ARGB8888, GFX_FMT_NONE); }
    ~CountedImage() override { ++g_deleted; }
};

// Release notifications: how many, and whether the planes were still there.
int g_releaseCalls = 0;
bool g_planesAliveAtRelease = false;
bool OnRelease(C_Surface* s, std::int32_t code) {
    ++g_releaseCalls;
    g_planesAliveAtRelease = code == GFX_NOTIFY_ALL_PLANES && s->GetPlane(1) != nullptr;
    return true;
}

TEST(Surface, AddPlaneReplacesInPlaceAndReleaseNotifiesOnceBeforePlanesGo) {
    g_deleted = 0;
    auto *first = new CountedImage(), *second = new CountedImage();
    {
        C_Surface s;
        s.notify[3] = &OnRelease;
        EXPECT_TRUE(s.AddPlane(first, 1));
        EXPECT_TRUE(s.AddPlane(new CountedImage(), 2));
        s.GetPlaneEntry(1)->derived = first;  // a copy kept by someone else
        EXPECT_TRUE(s.AddPlane(second, 1));
        EXPECT_EQ(g_deleted, 1);                                  // the owned image went with its entry...
        EXPECT_EQ(Order(s), (std::vector<std::uint32_t>{2, 1}));  // ...but its slot stayed
        EXPECT_EQ(s.GetPlaneEntry(1)->derived, first);            // carried over, not freed
        EXPECT_TRUE(s.AddPlane(second, 1));                       // re-attaching the same image keeps it alive
        EXPECT_EQ(g_deleted, 1);
    }
    EXPECT_EQ(g_deleted, 3);
    EXPECT_EQ(g_releaseCalls, 1);
    EXPECT_TRUE(g_planesAliveAtRelease);
    // Borrowing surfaces and borrowed planes on an owning surface never delete.
    g_deleted = 0;
    CountedImage borrowed;
    {
        C_Surface shared(1, &borrowed), viaConstructor(GFX_PLANES_BORROWED), mixed;
        EXPECT_TRUE(shared.AddPlane(&borrowed, 1));
        EXPECT_TRUE(viaConstructor.AddPlane(&borrowed, GFX_PLANE_COLOR));
        EXPECT_TRUE(mixed.AddPlane(&borrowed, GFX_PLANE_COLOR, GFX_PLANES_BORROWED));
        EXPECT_TRUE(mixed.AddPlane(new CountedImage(), GFX_PLANE_ALPHA));
    }
    EXPECT_EQ(g_deleted, 1);
}

TEST(Surface, ChangeFormatConvertsColourAndAlphaPlanes) {
    auto* color = new C_Image();
    color->CreateEmpty(2, 2, GFX_FMT_RGB888, GFX_FMT_NONE, C_Color(1.0f, 0.0f, 0.0f, 0.0f));
    C_Surface s(0, color, NewPlane(2, 2, GFX_FMT_CH8, 255));
    EXPECT_TRUE(Gfx_Surface_ChangeFormat(&s, GFX_FMT_ARGB8888, GFX_FMT_NONE, 0));
    EXPECT_EQ(s.GetPlane(1)->Row(1)[6], 0xFF);  // red survived the conversion
    EXPECT_EQ(s.GetPlane(2)->format, GFX_FMT_CH8);
    C_Surface alphaOnly(0, nullptr, NewPlane(2, 2, GFX_FMT_CH8, 255));
    EXPECT_TRUE(Gfx_Surface_ChangeFormat(&alphaOnly, GFX_FMT_RGB48, GFX_FMT_NONE, 0));
    EXPECT_EQ(alphaOnly.GetPlane(2)->format, GFX_FMT_CH16);
    EXPECT_EQ(alphaOnly.GetPlane(1), nullptr);
}

TEST(DrawParams, Anchors) {
    std::vector<float> resolved;  // unknown codes leave the coordinate alone
    for (const int align : {int{GFX_ALIGN_RIGHT}, 2 | 32, 0x33}) {
        const C_Vector2D v =
            Gfx_ResolveAnchor(C_Vector2D(10.0f, 5.0f, static_cast<std::uint8_t>(align)), 100.0f, 50.0f);
        resolved.insert(resolved.end(), {v.x, v.y});
    }
    EXPECT_EQ(resolved, std::vector<float>({90, 5, 60, 30, 10, 5}));
}

TEST(SurfaceIO, PicturesRoundTripWithAnAlphaPlaneOnlyWhenTheyHaveAlpha) {
    for (const bool translucent : {false, true}) {
        SCOPED_TRACE(translucent);
        C_Image picture;
        ASSERT_TRUE(picture.CreateEmpty(4, 3, GFX_FMT_ARGB8888, GFX_FMT_NONE));
        for (std::uint32_t i = 0; i < 12; ++i)
            Px(&picture, i % 4, i / 4) = (translucent ? i * 21 : 0xFF) << 24 | (255 - i) << 16 | 7 << 8 | i * 20;
        const std::string path = Quillory_TempPath("sprite.png"), again = Quillory_TempPath("again.png");
        ASSERT_TRUE(Gfx_Image_SaveFile(&picture, path.c_str(), GFX_QUALITY_DEFAULT)) << Gfx_GetErrorReason();
        C_Surface surface;
        ASSERT_TRUE(Gfx_Surface_LoadFile(&surface, path.c_str())) << Gfx_GetErrorReason();
        ASSERT_EQ(surface.GetPlane(GFX_PLANE_COLOR)->format, GFX_FMT_ARGB8888);
        const C_Image* alpha = surface.GetPlane(GFX_PLANE_ALPHA);
        ASSERT_EQ(alpha != nullptr, translucent);
        for (std::uint32_t i = 0; alpha && i < 12; ++i) EXPECT_EQ(alpha->data[i], i * 21);
        // Saved back, colour and alpha plane make the picture again.
        ASSERT_TRUE(Gfx_Surface_SavePNG(&surface, again.c_str())) << Gfx_GetErrorReason();
        C_Image reloaded;
        ASSERT_TRUE(Gfx_Image_LoadFile(&reloaded, again.c_str(), GFX_FMT_ARGB8888));
        EXPECT_EQ(BytesOf(&reloaded), BytesOf(&picture));
    }
    // A failed load leaves no planes and names the file.
    C_Surface surface(0, NewPlane(2, 2, GFX_FMT_CH8));
    EXPECT_FALSE(Gfx_Surface_LoadFile(&surface, Quillory_TempPath("none.png").c_str()));
    EXPECT_EQ(surface.GetPlane(GFX_PLANE_COLOR), nullptr);
    EXPECT_NE(std::string(Gfx_GetErrorReason()).find("none.png"), std::string::npos);
}

}  // namespace
