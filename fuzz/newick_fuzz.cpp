// Fuzz target: arbitrary bytes as a Newick text. A refusal must point into
// the text (at most just past the end of a line). A tree that is read must
// hold together: vertices in written order, links and depths that agree, tips
// named once, lengths in decimal, a name for every vertex. The writer's text
// for it must read back to the same tree and be written again the same.
#include <algorithm>
#include <charconv>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_support.h"
#include "tree/newick.h"

namespace {

using dorvu::NewickTree;
using dorvu::fuzz::Fail;

void CheckRefusalPlace(std::string_view text, const dorvu::NewickError& error) {
  if (error.message.empty()) Fail("a refusal without a message");
  if (error.line < 1 || error.column < 1) Fail("a refusal before the start: " + error.message);
  std::size_t lineStart = 0;
  for (int64_t line = 1; line < error.line; ++line) {
    lineStart = text.find('\n', lineStart);
    if (lineStart == std::string_view::npos) Fail("a refusal beyond the last line: " + error.message);
    ++lineStart;
  }
  const std::size_t lineEnd = std::min(text.find('\n', lineStart), text.size());
  if (static_cast<std::size_t>(error.column - 1) > lineEnd - lineStart)
    Fail("a refusal beyond the end of its line: " + error.message);
}

// A length by an independent reading: a sign, then what from_chars reads whole.
bool IsDecimalLength(std::string_view length) {
  if (!length.empty() && (length[0] == '+' || length[0] == '-')) length.remove_prefix(1);
  if (length.empty() || !((length[0] >= '0' && length[0] <= '9') || length[0] == '.')) return false;
  double value = 0;
  const auto [end, error] = std::from_chars(length.data(), length.data() + length.size(), value);
  return error != std::errc::invalid_argument && end == length.data() + length.size();
}

void CheckShape(const NewickTree& tree) {
  const std::size_t count = tree.parent.size();
  if (count < 3 || tree.childBegin.size() != count + 1 || tree.childList.size() != count - 1 ||
      tree.label.size() != count || tree.length.size() != count || tree.depth.size() != count)
    Fail("tables of the wrong sizes");
  if (tree.parent[0] != -1 || tree.depth[0] != 0 || tree.childBegin[0] != 0) Fail("a bad root");
  // In written order the subtree of v is the vertices from v on, as many as it holds.
  std::vector<int32_t> subtreeSize(count, 1);
  for (std::size_t v = count - 1; v > 0; --v) {
    if (tree.parent[v] < 0 || tree.parent[v] >= static_cast<int32_t>(v)) Fail("a parent after its child");
    if (tree.depth[v] != tree.depth[tree.parent[v]] + 1) Fail("a wrong depth");
    subtreeSize[tree.parent[v]] += subtreeSize[v];
  }
  int32_t tips = 0;
  std::vector<std::string> tipNames;
  for (std::size_t v = 0; v < count; ++v) {
    int32_t expected = static_cast<int32_t>(v) + 1;
    for (int32_t k = tree.childBegin[v]; k < tree.childBegin[v + 1]; ++k) {
      if (tree.childList[k] != expected || tree.parent[expected] != static_cast<int32_t>(v))
        Fail("children not in written order");
      expected += subtreeSize[expected];
    }
    if (expected != static_cast<int32_t>(v) + subtreeSize[v]) Fail("a subtree that is not whole");
    if (!tree.length[v].empty() && !IsDecimalLength(tree.length[v])) Fail("a bad length kept: " + tree.length[v]);
    if (tree.childBegin[v] != tree.childBegin[v + 1]) continue;
    ++tips;
    if (tree.label[v].empty()) Fail("a tip without a name");
    tipNames.push_back(tree.label[v]);
  }
  if (tips != tree.tipCount || tips < 2) Fail("a wrong tip count");
  std::sort(tipNames.begin(), tipNames.end());
  if (std::adjacent_find(tipNames.begin(), tipNames.end()) != tipNames.end()) Fail("a tip name given twice");
}

void CheckNames(const NewickTree& tree) {
  std::vector<std::string> names = dorvu::VertexNames(tree);
  if (names.size() != tree.parent.size() || names[0] != "0") Fail("wrong vertex names");
  for (std::size_t v = 1; v < names.size(); ++v)
    if (names[v].substr(0, names[v].find('.')) != std::to_string(tree.depth[v])) Fail("a name of the wrong depth");
  std::sort(names.begin(), names.end());
  if (std::adjacent_find(names.begin(), names.end()) != names.end()) Fail("a vertex name given twice");
}

void CheckRoundTrip(const NewickTree& tree) {
  const std::string text = dorvu::NewickText(tree);
  if (text.find_first_of("\r\n") != std::string::npos || text.back() != ';') Fail("written text not on one line");
  NewickTree again;
  try {
    again = dorvu::ParseNewick(text);
  } catch (const dorvu::NewickError& error) {
    Fail("written text refused: " + error.message + " in " + text);
  }
  if (!(again == tree)) Fail("written text reads back to another tree: " + text);
  if (dorvu::NewickText(again) != text) Fail("written twice, two texts: " + text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  NewickTree tree;
  try {
    tree = dorvu::ParseNewick(text);
  } catch (const dorvu::NewickError& error) {
    CheckRefusalPlace(text, error);
    return 0;
  }
  CheckShape(tree);
  CheckNames(tree);
  CheckRoundTrip(tree);
  return 0;
}
