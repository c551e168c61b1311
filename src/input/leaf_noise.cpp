#include "input/leaf_noise.h"

#include <algorithm>

namespace dorvu {

double NoiseInForce(double levelRead) {
  const double level = std::max(static_cast<double>(static_cast<long double>(levelRead) - kNoiseOffset), 0.0);
  return level == 0.0 && levelRead > 0.0 ? 0.005 : level;
}

BaseValues Renormalise(const BaseValues& w) { return ProjectToSimplex(w, BaseValues{}, 0.0); }

void PerturbLeaves(Tree& tree, double noiseLevel, std::mt19937& gen) {
  constexpr uint32_t kOutcomes = 2002;  // changes +0..+1000 and -0..-1000 thousandths
  for (int s = 1; s < tree.slotCount; ++s) {
    if (tree.treeSequence[s].kind != SlotKind::kLeaf) continue;
    BaseValues& v = tree.treeSequence[s].value;
    BaseValues w;
    for (int b = 0; b < kBaseCount; ++b) {
      const uint32_t r = UniformInteger(gen, kOutcomes);
      if (r < 1001)
        w.b[b] = static_cast<double>(Extended(v.b[b]) + (Extended(r) * noiseLevel) / 1000.0L);
      else
        w.b[b] = static_cast<double>(Extended(v.b[b]) - (Extended(r - 1001) * noiseLevel) / 1000.0L);
    }
    v = Renormalise(w);
  }
}

}  // namespace dorvu
