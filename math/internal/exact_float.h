// Included last (after every other header) by the math sources that do float
// arithmetic. Keeps the compiler from fusing a multiply and an add into one
// instruction: fused results round differently, so machines with and without
// fused multiply-add would compute different values.
#pragma once

#if defined(__clang__)
#pragma STDC FP_CONTRACT OFF
#elif defined(__GNUC__)
#pragma GCC optimize("fp-contract=off")
#endif
