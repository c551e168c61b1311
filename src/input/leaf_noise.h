// Random perturbation of the leaf values and renormalisation to distributions.
#pragma once

#include <cstdint>
#include <random>

#include "tree/tree.h"

namespace dorvu {

// Taken off the noise level read.
inline constexpr double kNoiseOffset = 0.04;

// The noise in force for the level read: the level less the offset, not
// below 0; a positive level that the offset takes away keeps 0.005.
double NoiseInForce(double levelRead);

// A uniform integer from 0 to n - 1.
inline uint32_t UniformInteger(std::mt19937& gen, uint32_t n) {
  return static_cast<uint32_t>((uint64_t(gen()) * n) >> 32);
}

// Brings four values back to a distribution: the projection onto the simplex
// with no step.
BaseValues Renormalise(const BaseValues& w);

// Moves each leaf value by k/1000 of the noise level (k uniform from -1000 to
// 1000, four draws per leaf in leaf order) and renormalises each leaf.
void PerturbLeaves(Tree& tree, double noiseLevel, std::mt19937& gen);

}  // namespace dorvu
