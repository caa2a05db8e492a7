#pragma once

#include <functional>

namespace platform {

// A uniform random number, 0 <= u < 1, from the seam in force.
double Rnd();

// Random numbers for tests that need known draws. An empty function restores the
// generator.
void SetRandomForTests(std::function<double()> random);

}  // namespace platform
