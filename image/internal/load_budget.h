// One allocation budget per load. A record may describe pixel memory it does
// not carry (formats whose rows are not stored, wide pitches); the whole load
// of a surface or font, however many image records it nests, may take at most
// GFX_LOAD_UNBACKED_BUDGET such bytes. The outermost load opens the budget and
// nested records draw from it. The open budget is per thread, so loads on
// other threads never share it.
#pragma once

#include <cstdint>

class C_LoadBudget {
public:
    // Joins the budget this thread has open, or opens a fresh one.
    C_LoadBudget();
    ~C_LoadBudget();
    C_LoadBudget(const C_LoadBudget&) = delete;
    C_LoadBudget& operator=(const C_LoadBudget&) = delete;

    // Takes `bytes` from the budget; false, with nothing taken, when that
    // would go over it.
    bool Take(std::uint64_t bytes);
    // True once this load has been refused by the budget.
    bool Exceeded() const { return m_state->exceeded; }

private:
    struct State {
        std::uint64_t left;
        bool exceeded;
    };
    State m_own;
    State* m_state;
    bool m_outermost;
};
