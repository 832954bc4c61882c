#include "math/random.h"

namespace {

// Constant-initialised, so draws made from other static initialisers already
// see the start state.
std::uint32_t g_randState = 1;

}  // namespace

void Math_SRand(std::uint32_t seed) { g_randState = seed; }

std::int32_t Math_Rand() {
    g_randState = g_randState * 214013u + 2531011u;  // unsigned: wraps mod 2^32
    return static_cast<std::int32_t>((g_randState >> 16) & 0x7FFFu);
}
