#include <algorithm>
#include <limits>

#include "surface/internal/blit_rows.h"

namespace {

thread_local std::int64_t t_first = std::numeric_limits<std::int64_t>::min();
thread_local std::int64_t t_end = std::numeric_limits<std::int64_t>::max();

}  // namespace

C_BlitRowBand::C_BlitRowBand(std::int64_t first, std::int64_t end) : m_first(t_first), m_end(t_end) {
    t_first = std::max(t_first, first);
    t_end = std::min(t_end, end);
}

C_BlitRowBand::~C_BlitRowBand() {
    t_first = m_first;
    t_end = m_end;
}

void C_BlitRowBand::Current(std::int64_t& first, std::int64_t& end) {
    first = t_first;
    end = t_end;
}
