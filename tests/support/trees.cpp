#include "support/trees.h"

namespace dorvu::test {

MarkTable MarksOf(std::initializer_list<int> slots) {
  MarkTable marks(kSlotCount, 0);
  marks[0] = 1;
  for (int s : slots) marks[s] = 1;
  return marks;
}

ScenarioKey KeyOf(std::initializer_list<int> slots) { return KeyOfMarks(MarksOf(slots)); }

std::string SlotsText(const MarkTable& mark) {
  std::string text;
  for (int s = 0; s < static_cast<int>(mark.size()); ++s)
    if (mark[s] != 0) text.append(text.empty() ? "" : " ").append(std::to_string(s));
  return text;
}

}  // namespace dorvu::test
