// A list of names in a refusal: the first kNamesShown of them, then how many
// more, so that a message about thousands of names stays readable.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace dorvu::cli {

inline constexpr std::size_t kNamesShown = 20;

// "a, b, c" or "a, ..., t, and 5 more", each item written by `show`.
template <typename Item, typename Show>
std::string NameList(const std::vector<Item>& items, Show show) {
  std::string text;
  for (std::size_t i = 0; i < items.size() && i < kNamesShown; ++i) text += (i == 0 ? "" : ", ") + show(items[i]);
  if (items.size() > kNamesShown) text += ", and " + std::to_string(items.size() - kNamesShown) + " more";
  return text;
}

}  // namespace dorvu::cli
