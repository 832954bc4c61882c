// Splitting one drawing call's destination rows among threads: while a
// C_BlitRowBand lives, the calling thread's blits write only destination
// rows [first, end). Each row is drawn exactly as without the band, so the
// bands of a split call together give the pixels of one pass.
#pragma once

#include <cstdint>

class C_BlitRowBand {
public:
    // Narrows the band in force on this thread (the whole plane by default)
    // to [first, end).
    C_BlitRowBand(std::int64_t first, std::int64_t end);
    ~C_BlitRowBand();
    C_BlitRowBand(const C_BlitRowBand&) = delete;
    C_BlitRowBand& operator=(const C_BlitRowBand&) = delete;

    // The band in force on this thread.
    static void Current(std::int64_t& first, std::int64_t& end);

private:
    std::int64_t m_first, m_end;  // the band this one replaced
};
