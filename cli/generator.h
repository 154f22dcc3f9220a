#pragma once

#include "core/random.h"

namespace doseplex::cli {

// The command line's one Monte Carlo generator. Every run starts it from the
// same state, so a command prints the same figures every time.
inline CRandom& CommandLineRandom() {
    static CRandom random;
    return random;
}

} // namespace doseplex::cli
