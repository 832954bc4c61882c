#include "math/random.h"

namespace {

// Constant-initialised, so draws made from other static initialisers already
// see the start state. One sequence per thread: threads drawing their own
// pictures each get a repeatable sequence, whatever the others draw.
thread_local std::uint32_t t_randState = 1;

}  // namespace

void Math_SRand(std::uint32_t seed) { t_randState = seed; }

std::int32_t Math_Rand() {
    t_randState = t_randState * 214013u + 2531011u;  // unsigned: wraps mod 2^32
    return static_cast<std::int32_t>((t_randState >> 16) & 0x7FFFu);
}
