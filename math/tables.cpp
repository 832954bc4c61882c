#include "math/tables.h"

#include "math/scalar.h"

#include "math/internal/exact_float.h"  // last: it changes how the code below compiles

namespace {

// Computed in double, where i / 65535 and the curve are accurate enough that
// truncation lands on the same integer on every machine.
void Fill(Math_Tables& t) {
    for (std::size_t i = 0; i < Math_Tables::kWideSize; ++i) {
        const double u = static_cast<double>(i) / 65535.0;
        t.smoothStep16[i] = static_cast<std::int32_t>(Math_SmoothLerp(0.0, 65536.0, u));
        t.square16[i] = static_cast<std::int32_t>(u * u * 65535.0);
    }
    for (std::size_t i = 0; i < Math_Tables::kByteSize; ++i) {
        const double u = static_cast<double>(i) / 255.0;
        t.smoothStep8[i] = static_cast<std::int32_t>(Math_SmoothLerp(0.0, 256.0, u));
    }
}

// Static storage rather than the heap: it cannot fail, and it is zero until
// filled.
Math_Tables g_tables;

// Builds the tables during static initialisation, as the rest of the
// process-wide state is; Math_GetTables still guards any earlier caller.
[[maybe_unused]] const bool g_builtAtStartup = (Math_GetTables(), true);

}  // namespace

const Math_Tables& Math_GetTables() {
    static const bool filled = (Fill(g_tables), true);
    static_cast<void>(filled);
    return g_tables;
}
