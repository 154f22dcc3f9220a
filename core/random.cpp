#include "core/random.h"

#include <cmath>
#include <cstdint>

namespace doseplex {
namespace {
constexpr std::uint32_t kInitialState = 1;
std::uint32_t g_state = kInitialState;
} // namespace

int UniformRand() {
    g_state = g_state * 214013u + 2531011u;
    return static_cast<int>((g_state >> 16) & 0x7FFFu);
}

void ResetRandom() {
    g_state = kInitialState;
}

double NormalDeviate() {
    constexpr double kScale = 2.0 / 32767.0;
    double u1 = 0.0;
    double s = 0.0;
    do {
        u1 = UniformRand() * kScale - 1.0;
        const double u2 = UniformRand() * kScale - 1.0;
        s = u1 * u1 + u2 * u2;
    } while (s >= 1.0);
    // s is never 0: u = 0 would need the draw 16383.5.
    return u1 * std::sqrt(-2.0 * std::log(s) / s);
}

} // namespace doseplex
