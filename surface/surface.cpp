#include "surface/surface.h"

#include <new>
#include <utility>

#include "core/error.h"
#include "core/list.h"
#include "core/stream.h"
#include "image/convert.h"
#include "image/format.h"
#include "image/image.h"
#include "image/internal/load_budget.h"

namespace {

constexpr const char* kLoadSite = "C_Surface::LoadFromStream";
constexpr const char* kSaveSite = "C_Surface::SaveToStream";

// Record markers.
constexpr std::uint8_t kMarkEnd = 0x80;    // no list / end of the list
constexpr std::uint8_t kMarkList = 0x7F;   // a list follows
constexpr std::uint8_t kMarkEntry = 0x81;  // one plane follows

C_SurfacePlane* EntryAt(const C_List* list, std::uint32_t i) { return static_cast<C_SurfacePlane*>(list->GetAt(i)); }

}  // namespace

// ---------------------------------------------------------------------------
// C_SurfacePlane

C_SurfacePlane::C_SurfacePlane() : image(nullptr), index(0), derived(nullptr), shared(0) {}

C_SurfacePlane::C_SurfacePlane(C_Image* planeImage, std::uint32_t planeIndex, std::uint8_t isShared)
    : image(planeImage), index(planeIndex), derived(nullptr), shared(isShared) {}

C_SurfacePlane::~C_SurfacePlane() { C_SurfacePlane::Free(); }

void C_SurfacePlane::Free() {
    if (image && !shared) delete image;
    image = nullptr;
}

void C_SurfacePlane::Init() {
    image = nullptr;
    index = 0;
    shared = 0;
}

// ---------------------------------------------------------------------------
// C_Surface

C_Surface::C_Surface() : planes(nullptr), notify{}, owner(nullptr), shared(0), width(0), height(0) {}

C_Surface::C_Surface(Gfx_PlaneOwnership ownership) : C_Surface() { shared = ownership; }

C_Surface::C_Surface(std::uint8_t isShared, C_Image* color, C_Image* alpha, C_Image* plane3, C_Image* plane4,
                     C_Image* plane8, C_Image* plane9)
    : C_Surface() {
    EnsureList();
    C_Image* const images[] = {color, alpha, plane3, plane4, plane8, plane9};
    const std::uint32_t numbers[] = {1, 2, 3, 4, 8, 9};
    for (int i = 0; i < 6; ++i) {
        if (images[i]) InsertEntry(images[i], numbers[i], isShared);
    }
    TakeSizeFrom(color);
    shared = isShared;
}

C_Surface::~C_Surface() { C_Surface::Free(); }

void C_Surface::Free() {
    Notify4(GFX_NOTIFY_ALL_PLANES);
    if (!planes) return;
    for (std::uint32_t i = 0; i < planes->Count(); ++i) {
        C_SurfacePlane* entry = EntryAt(planes, i);
        if (!entry) continue;
        entry->Free();
        entry->Init();
        delete entry;
    }
    delete planes;
    // Forgotten at once, so that a second release never deletes twice.
    planes = nullptr;
}

void C_Surface::Init() {
    planes = nullptr;
    shared = 0;
    width = 0;
    height = 0;
}

bool C_Surface::Notify(int slot, std::int32_t code) {
    Gfx_SurfaceNotifyFn fn = notify[slot];
    return fn ? fn(this, code) : false;
}

bool C_Surface::EnsureList() {
    if (planes) return true;
    planes = new (std::nothrow) C_List();
    if (!planes) return Gfx_Fail(GFX_ERR_NO_MEMORY, "C_Surface::AddPlane{planes}", "C_Surface::AddPlane");
    return true;
}

bool C_Surface::InsertEntry(C_Image* image, std::uint32_t index, std::uint8_t isShared) {
    auto* entry = new (std::nothrow) C_SurfacePlane(image, index, isShared);
    if (!entry) return Gfx_Fail(GFX_ERR_NO_MEMORY, "C_Surface::AddPlane{entry}", "C_Surface::AddPlane");
    if (!planes->Insert(entry, 0)) {
        entry->image = nullptr;  // the caller still owns the image
        delete entry;
        return false;
    }
    return true;
}

void C_Surface::TakeSizeFrom(const C_Image* image) {
    width = image ? image->width : 0;
    height = image ? image->height : 0;
}

bool C_Surface::AddPlane(C_Image* image, std::uint32_t index) {
    return AddPlane(image, index, static_cast<Gfx_PlaneOwnership>(shared));
}

bool C_Surface::AddPlane(C_Image* image, std::uint32_t index, Gfx_PlaneOwnership ownership) {
    if (!EnsureList()) return false;
    for (std::uint32_t i = 0; i < planes->Count(); ++i) {
        C_SurfacePlane* old = EntryAt(planes, i);
        if (!old || old->index != index) continue;
        auto* entry = new (std::nothrow) C_SurfacePlane(image, index, ownership);
        if (!entry) return Gfx_Fail(GFX_ERR_NO_MEMORY, "C_Surface::AddPlane{entry}", "C_Surface::AddPlane");
        // The display-ready copy belongs to the notification owner, who frees
        // copies only on release: it moves to the new entry rather than
        // being lost, and is refreshed by the next planes-changed notice.
        entry->derived = old->derived;
        planes->SetAt(entry, i);
        // Re-attaching the same image must not delete it under the new entry.
        if (old->image == image) old->image = nullptr;
        old->Free();
        old->Init();
        delete old;
        if (index == GFX_PLANE_COLOR) TakeSizeFrom(image);
        return true;
    }
    if (!InsertEntry(image, index, ownership)) return false;
    if (index == GFX_PLANE_COLOR) TakeSizeFrom(image);
    return true;
}

C_SurfacePlane* C_Surface::GetPlaneEntry(std::uint32_t index) const {
    if (!planes) return nullptr;
    for (std::uint32_t i = 0; i < planes->Count(); ++i) {
        C_SurfacePlane* entry = EntryAt(planes, i);
        if (entry && entry->index == index) return entry;
    }
    return nullptr;
}

C_Image* C_Surface::GetPlane(std::uint32_t index) const {
    const C_SurfacePlane* entry = GetPlaneEntry(index);
    return entry ? entry->image : nullptr;
}

bool C_Surface::SaveToStream(C_Stream* stream, std::uint32_t) {
    if (!Gfx_WriteClassTag(stream, GFX_CLASS_SURFACE)) return Gfx_FailSummary(kSaveSite);
    if (!planes) {
        return C_Stream::WriteValue(stream, kMarkEnd) ? true : Gfx_FailSummary(kSaveSite);
    }
    if (!C_Stream::WriteValue(stream, kMarkList)) return Gfx_FailSummary(kSaveSite);
    for (std::uint32_t i = 0; i < planes->Count(); ++i) {
        C_SurfacePlane* entry = EntryAt(planes, i);
        // An entry without an image has nothing a reader could rebuild.
        if (!entry || !entry->image) continue;
        if (!C_Stream::WriteValue(stream, kMarkEntry) || !C_Stream::WriteValue(stream, entry->index) ||
            !entry->image->SaveToStream(stream, 0))
            return Gfx_FailSummary(kSaveSite);
    }
    return C_Stream::WriteValue(stream, kMarkEnd) ? true : Gfx_FailSummary(kSaveSite);
}

bool C_Surface::LoadFromStream(C_Stream* stream, std::uint32_t) {
    if (!Gfx_ReadClassTag(stream, GFX_CLASS_SURFACE, "C_Surface")) {
        Free();
        Init();
        return false;
    }
    // The planes are read into a surface of their own. A file over the load
    // budget leaves this surface as it was; any other outcome replaces it
    // with what was read (also the planes before a plane that failed).
    C_LoadBudget budget;
    C_Surface loaded;
    const bool ok = loaded.ReadPlanes(stream);
    if (budget.Exceeded()) return false;
    Free();
    Init();
    std::swap(planes, loaded.planes);
    width = loaded.width;
    height = loaded.height;
    return ok;
}

bool C_Surface::ReadPlanes(C_Stream* stream) {
    std::uint8_t marker = 0;
    if (!C_Stream::ReadValue(stream, marker))
        return Gfx_Fail(GFX_ERR_BAD_DATA, "C_Surface::LoadFromStream{planes}", kLoadSite);
    if (marker != kMarkList) return true;  // a surface without a plane list
    planes = new (std::nothrow) C_List();
    if (!planes) return Gfx_Fail(GFX_ERR_NO_MEMORY, "C_Surface::LoadFromStream{planes}", kLoadSite);

    // Every pass consumes at least one byte, so the loop ends with the data.
    for (;;) {
        std::uint8_t item = 0;
        if (!C_Stream::ReadValue(stream, item)) return true;  // a list may end with the stream
        if (item == kMarkEnd) return true;
        if (item != kMarkEntry) continue;  // unknown bytes are skipped

        std::uint32_t index = 0;
        if (!C_Stream::ReadValue(stream, index))
            return Gfx_Fail(GFX_ERR_BAD_DATA, "C_Surface::LoadFromStream{index}", kLoadSite);
        auto* image = new (std::nothrow) C_Image();
        if (!image) return Gfx_Fail(GFX_ERR_NO_MEMORY, "C_Surface::LoadFromStream{image}", kLoadSite);
        if (!image->LoadFromStream(stream, 0)) {
            delete image;
            return Gfx_FailSummary(kLoadSite);  // the planes read so far stay
        }
        if (!InsertEntry(image, index, 0)) {
            delete image;
            return Gfx_FailSummary(kLoadSite);
        }
        if (index == GFX_PLANE_COLOR) TakeSizeFrom(image);
    }
}

bool Gfx_Surface_ChangeFormat(C_Surface* surface, std::int32_t newFormat, std::int32_t newPalFormat,
                              std::uint32_t option) {
    if (!surface)
        return Gfx_Fail(GFX_ERR_NULL_ARG, "Gfx_Surface_ChangeFormat{pSurface->format}", "Gfx_Surface_ChangeFormat");
    // A failed conversion is reported by the converter and leaves that plane
    // as it was; the surface's result does not depend on it.
    if (C_Image* color = surface->GetPlane(GFX_PLANE_COLOR))
        Gfx_Image_ChangeFormat(color, newFormat, newPalFormat, option);
    if (C_Image* alpha = surface->GetPlane(GFX_PLANE_ALPHA))
        Gfx_Image_ChangeFormat(alpha, Gfx_GetSingleChannelFormat(newFormat), GFX_FMT_SAME, option);
    return true;
}
