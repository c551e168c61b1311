#include "input/leaf_noise.h"

namespace dorvu {

using Extended = long double;

BaseValues Renormalise(const BaseValues& w) {
  bool active[4] = {true, true, true, true};
  double sum = static_cast<double>(Extended(w.A) + w.C + w.G + w.T);
  int count = 4;
  double shift = 0.0;
  bool dropped = true;
  while (dropped) {
    shift = static_cast<double>((1.0L - sum) / count);
    sum = 0.0;
    count = 0;
    dropped = false;
    for (int b = 0; b < 4; ++b) {
      if (!active[b]) continue;
      if (Extended(w.*Bases[b]) + shift < 0.0L) {
        active[b] = false;
        dropped = true;
      } else {
        ++count;
        sum = static_cast<double>(Extended(sum) + w.*Bases[b]);
      }
    }
  }
  BaseValues result;
  for (int b = 0; b < 4; ++b)
    result.*Bases[b] = active[b] ? static_cast<double>(Extended(w.*Bases[b]) + shift) : 0.0;
  return result;
}

void PerturbLeaves(Tree& tree, double noiseLevel, std::mt19937& gen) {
  constexpr uint32_t Outcomes = 2002;  // changes +0..+1000 and -0..-1000 thousandths
  for (int s = 1; s < SlotCount; ++s) {
    if (tree.TreeSequence[s].kind != KindLeaf) continue;
    BaseValues& v = tree.TreeSequence[s].value;
    BaseValues w;
    for (auto base : Bases) {
      const uint32_t r = UniformInteger(gen, Outcomes);
      if (r < 1001)
        w.*base = static_cast<double>(Extended(v.*base) + (Extended(r) * noiseLevel) / 1000.0L);
      else
        w.*base = static_cast<double>(Extended(v.*base) - (Extended(r - 1001) * noiseLevel) / 1000.0L);
    }
    v = Renormalise(w);
  }
}

}  // namespace dorvu
