#include "tree/base_values.h"

namespace dorvu {

BaseValues ProjectToSimplex(const BaseValues& v, const BaseValues& g, double t) {
  bool active[BaseCount] = {true, true, true, true};
  int n = BaseCount;
  // The first sums are rounded once; later ones after every addition.
  double sumV = ExtendedSum(v);
  double sumG = ExtendedSum(g);
  double shift = 0.0;
  BaseValues w;
  bool dropped = true;
  while (dropped) {
    shift = static_cast<double>(((1.0L - sumV) + Extended(t) * sumG) / n);
    n = 0;
    sumV = 0.0;
    sumG = 0.0;
    dropped = false;
    for (int b = 0; b < BaseCount; ++b) {
      if (!active[b]) continue;
      // Compared with 0 before rounding; a component exactly 0 stays.
      const Extended x = (Extended(v.b[b]) - Extended(t) * g.b[b]) + shift;
      if (x < 0.0L) {
        active[b] = false;
        w.b[b] = 0.0;
        dropped = true;
      } else {
        ++n;
        sumV = static_cast<double>(Extended(sumV) + v.b[b]);
        sumG = static_cast<double>(Extended(sumG) + g.b[b]);
      }
    }
  }
  for (int b = 0; b < BaseCount; ++b)
    if (active[b]) w.b[b] = static_cast<double>((Extended(v.b[b]) - Extended(t) * g.b[b]) + shift);
  return w;
}

}  // namespace dorvu
