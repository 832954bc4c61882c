/// @file
/// Surfaces: the unit every drawing operation reads from and writes to. A
/// surface holds no pixels itself; it is a set of numbered image planes,
/// plane 1 the colour plane and plane 2 the alpha (coverage) plane, one 8-bit
/// value per pixel. A missing plane is simply absent.
#pragma once

#include <cstdint>

#include "../core/object.h"

class C_Image;
class C_List;
class C_Surface;

enum : std::uint32_t {
    GFX_PLANE_COLOR = 1,
    GFX_PLANE_ALPHA = 2,
};

/// Who deletes a surface's plane images: the value of the surface's and its
/// entries' `shared` flag.
enum Gfx_PlaneOwnership : std::uint8_t {
    GFX_PLANES_OWNED = 0,     ///< the surface deletes them when released: images made with new
    GFX_PLANES_BORROWED = 1,  ///< they belong to the caller: images on the stack or owned elsewhere
};

/// Notification codes: a plane number for one plane, or this for all planes.
enum : std::int32_t { GFX_NOTIFY_ALL_PLANES = -3 };

/// A notification slot: receives the surface and a code, returns whether it
/// handled it.
using Gfx_SurfaceNotifyFn = bool (*)(C_Surface* surface, std::int32_t code);

/// One entry of a surface's plane list.
class C_SurfacePlane : public C_Object {
public:
    C_Image* image;       ///< the plane's pixels
    std::uint32_t index;  ///< plane number (1 colour, 2 alpha)
    C_Image* derived;     ///< a display-ready copy kept by the notification owner; never freed here
    std::uint8_t shared;  ///< nonzero: `image` belongs to someone else

    C_SurfacePlane();
    C_SurfacePlane(C_Image* planeImage, std::uint32_t planeIndex, std::uint8_t isShared);
    ~C_SurfacePlane() override;
    C_SurfacePlane(const C_SurfacePlane&) = delete;
    C_SurfacePlane& operator=(const C_SurfacePlane&) = delete;

    /// Deletes the image unless shared (and forgets it either way).
    void Free() override;
    void Init() override;
};

/// A set of numbered image planes: 1 colour, 2 alpha.
///
/// Ownership rule: a surface either owns its plane images (GFX_PLANES_OWNED,
/// the default: it deletes them when released, so they must come from new)
/// or borrows them (GFX_PLANES_BORROWED: the caller keeps them alive and
/// deletes them). Images on the stack or owned by someone else must be
/// borrowed; attaching one to an owning surface deletes it twice.
///
///     C_Surface sprite(GFX_PLANES_BORROWED, &colorImage, &alphaImage);
///     C_Surface built;  // owns what it is given
///     built.AddPlane(new C_Image(colorImage), GFX_PLANE_COLOR);
///     built.AddPlane(&stackImage, GFX_PLANE_ALPHA, GFX_PLANES_BORROWED);
class C_Surface : public C_Object {
public:
    C_List* planes;                 ///< the entries; null while there is no list at all
    Gfx_SurfaceNotifyFn notify[4];  ///< slots 1 to 4; null = not installed
    void* owner;                    ///< context of whoever installed the slots
    std::uint8_t shared;            ///< nonzero: entries made here borrow their images
    std::uint32_t width;            ///< of the colour plane when it was attached, else 0
    std::uint32_t height;

    /// An empty surface that owns the planes it is given (GFX_PLANES_OWNED).
    C_Surface();
    /// An empty surface whose AddPlane calls own or borrow as `ownership` says.
    explicit C_Surface(Gfx_PlaneOwnership ownership);
    /// A surface over up to six images, planes 1, 2, 3, 4, 8 and 9 in that
    /// order (null images are skipped). `isShared` is GFX_PLANES_BORROWED
    /// (the surface only borrows them) or GFX_PLANES_OWNED (it deletes them
    /// when released).
    C_Surface(std::uint8_t isShared, C_Image* color, C_Image* alpha = nullptr, C_Image* plane3 = nullptr,
              C_Image* plane4 = nullptr, C_Image* plane8 = nullptr, C_Image* plane9 = nullptr);
    ~C_Surface() override;
    C_Surface(const C_Surface&) = delete;
    C_Surface& operator=(const C_Surface&) = delete;

    /// Sends the release notification (slot 4, all planes), then deletes every
    /// entry (and the images they own) and the list.
    void Free() override;
    /// No list, not shared, size 0; the notification slots and owner stay.
    void Init() override;
    /// Record: u16 tag 13; 0x80 (no list) or 0x7F, then per entry 0x81, the
    /// u32 plane number and the image record, and a closing 0x80.
    bool LoadFromStream(C_Stream* stream, std::uint32_t flags) override;
    bool SaveToStream(C_Stream* stream, std::uint32_t flags) override;
    std::uint32_t GetClassType() const override { return GFX_CLASS_SURFACE; }

    /// Attaches `image` as plane `index`, replacing an entry of that number
    /// (whose image is deleted unless that entry was shared). The new entry
    /// borrows or owns the image as the surface's `shared` flag says; plane 1
    /// sets the surface's size. False only when memory cannot be obtained.
    bool AddPlane(C_Image* image, std::uint32_t index);
    /// The same with the entry's ownership given for this one image.
    bool AddPlane(C_Image* image, std::uint32_t index, Gfx_PlaneOwnership ownership);
    /// The image of the first entry numbered `index`, or null.
    C_Image* GetPlane(std::uint32_t index) const;
    C_SurfacePlane* GetPlaneEntry(std::uint32_t index) const;
    std::uint32_t GetWidth() const { return width; }
    std::uint32_t GetHeight() const { return height; }

    /// Each calls its slot with (this, code); false when the slot is empty.
    bool Notify1(std::int32_t code) { return Notify(0, code); }
    bool Notify2(std::int32_t code) { return Notify(1, code); }
    bool Notify3(std::int32_t code) { return Notify(2, code); }
    bool Notify4(std::int32_t code) { return Notify(3, code); }

private:
    bool Notify(int slot, std::int32_t code);
    bool EnsureList();
    /// Inserts a new entry at the front of the list; false (image untouched)
    /// when memory cannot be obtained.
    bool InsertEntry(C_Image* image, std::uint32_t index, std::uint8_t isShared);
    bool ReadPlanes(C_Stream* stream);
    void TakeSizeFrom(const C_Image* image);
};

/// Converts the colour plane to `newFormat` / `newPalFormat` and the alpha
/// plane to the one-channel format as wide as `newFormat`'s channels; a
/// missing plane is skipped. False only for a null surface.
bool Gfx_Surface_ChangeFormat(C_Surface* surface, std::int32_t newFormat, std::int32_t newPalFormat,
                              std::uint32_t option);
