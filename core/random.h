#pragma once

namespace doseplex {

// The program-wide uniform generator behind the Monte Carlo simulation:
// the classic linear congruential generator with the range 0..32767
// (state = state * 214013 + 2531011 mod 2^32, value = bits 16..30 of the state).
// It is never seeded, so every run of the program that performs the same
// computations in the same order produces the same simulated values.
int UniformRand();

// Puts the generator back to its initial state. For tests and for tools that
// run several independent analyses in one process; the program never calls it.
void ResetRandom();

// One standard normal deviate by the polar method; the second deviate of each
// pair is discarded.
double NormalDeviate();

} // namespace doseplex
