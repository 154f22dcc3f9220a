#pragma once

#include <cstdint>

namespace doseplex {

// The uniform generator behind the Monte Carlo simulation: the classic linear
// congruential generator with the range 0..32767 (state = state * 214013 +
// 2531011 mod 2^32, value = bits 16..30 of the state). Every analysis draws
// from a generator its caller owns, so two analyses never share a state; a
// new generator always starts from the same state, so a program that performs
// the same computations in the same order produces the same simulated values.
class CRandom {
public:
    int Uniform() {
        m_state = m_state * 214013u + 2531011u;
        return static_cast<int>((m_state >> 16) & 0x7FFFu);
    }

    // One standard normal deviate by the polar method; the second deviate of
    // each pair is discarded.
    double NormalDeviate();

    // Back to the initial state.
    void Reset() { m_state = kInitialState; }

private:
    static constexpr std::uint32_t kInitialState = 1;
    std::uint32_t m_state = kInitialState;
};

} // namespace doseplex
