#include "core/random.h"

#include <cmath>

namespace doseplex {

double CRandom::NormalDeviate() {
    constexpr double kScale = 2.0 / 32767.0;
    double u1 = 0.0;
    double s = 0.0;
    do {
        u1 = Uniform() * kScale - 1.0;
        const double u2 = Uniform() * kScale - 1.0;
        s = u1 * u1 + u2 * u2;
    } while (s >= 1.0);
    // s is never 0: u = 0 would need the draw 16383.5.
    return u1 * std::sqrt(-2.0 * std::log(s) / s);
}

} // namespace doseplex
