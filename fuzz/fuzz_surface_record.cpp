// The surface record: a plane list of image records.
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    C_Surface surface;
    const bool ok = Fuzz_LoadFromBytes(surface, data, size);
    Fuzz_Check(Fuzz_SurfaceBytes(surface) <= size + GFX_LOAD_UNBACKED_BUDGET, "a load stays within its budget");
    // A failed load keeps the planes read before the failure; they must be
    // as usable as those of a good record.
    if (ok || surface.planes) Fuzz_UseSurface(surface);
    return 0;
}
