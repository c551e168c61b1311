#include "prep/tree_form.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>
#include <optional>
#include <unordered_map>
#include <utility>

#include "cli/name_list.h"
#include "prep/composition.h"
#include "prep/input_file.h"

namespace dorvu::prep {

namespace {

constexpr std::size_t kShownHints = 5;

bool IsTip(const NewickTree& tree, std::size_t v) { return tree.childBegin[v] == tree.childBegin[v + 1]; }

std::string InQuotes(const std::string& name) { return "\"" + name + "\""; }

std::string Count(std::size_t n, const std::string& one, const std::string& many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::optional<double> LengthValue(const std::string& text) {
  const std::size_t from = text.starts_with('+') ? 1 : 0;
  double value = 0;
  const auto [end, error] = std::from_chars(text.data() + from, text.data() + text.size(), value);
  if (error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
  return value;
}

// The length of two branches made one: their sum, or the one written.
std::string AddedLength(const std::string& upper, const std::string& lower, const std::string& label,
                        const std::string& treePath) {
  if (upper.empty()) return lower;
  if (lower.empty()) return upper;
  const auto a = LengthValue(upper);
  const auto b = LengthValue(lower);
  if (!a || !b || !std::isfinite(*a + *b))
    throw MatchRefused{"dorvu-prep: " + treePath + ": --prune cannot add the branch lengths " + upper + " and " +
                       lower + " above " + InQuotes(label) + " as numbers\n"};
  return ShortestText(*a + *b);
}

// A name changed so that names that differ only in this way become equal.
std::string BlanksAsUnderscores(std::string name) {
  std::replace(name.begin(), name.end(), ' ', '_');
  return name;
}

std::string LowerCase(std::string name) {
  for (char& c : name)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return name;
}

// Hints for names without a tip that equal a tip without data once changed by `change`.
template <typename Change>
void AddHints(const std::vector<std::pair<std::string, std::int64_t>>& unknown, const std::vector<std::string>& missing,
              Change change, const std::string& how, const std::string& dataWord, std::vector<std::string>& hints) {
  std::unordered_map<std::string, const std::string*> tipOf;
  for (const std::string& tip : missing) tipOf.emplace(change(tip), &tip);
  for (const auto& [name, line] : unknown) {
    if (hints.size() == kShownHints) return;
    const auto found = tipOf.find(change(name));
    if (found != tipOf.end())
      hints.push_back("hint: " + InQuotes(name) + " in " + dataWord + " and " + InQuotes(*found->second) +
                      " in the tree differ only " + how);
  }
}

}  // namespace

NewickTree PruneTree(const NewickTree& tree, const std::vector<bool>& keep, const std::string& treePath) {
  const std::size_t count = tree.parent.size();
  // Kept tips below each vertex; children come after their parent.
  std::vector<std::size_t> keptBelow(count, 0);
  for (std::size_t v = count; v-- > 0;) {
    if (IsTip(tree, v) && keep[v]) keptBelow[v] = 1;
    if (v > 0) keptBelow[static_cast<std::size_t>(tree.parent[v])] += keptBelow[v];
  }
  const auto keptChildren = [&](std::size_t v) {
    std::vector<std::int32_t> children;
    for (auto c = tree.childBegin[v]; c < tree.childBegin[v + 1]; ++c)
      if (keptBelow[static_cast<std::size_t>(tree.childList[c])] > 0) children.push_back(tree.childList[c]);
    return children;
  };

  NewickTree pruned;
  std::vector<std::vector<std::int32_t>> children;
  // Vertices of the old tree to write, each with its new parent; the top is written next.
  std::vector<std::pair<std::int32_t, std::int32_t>> pending{{0, -1}};
  while (!pending.empty()) {
    const auto [top, newParent] = pending.back();
    pending.pop_back();
    auto v = static_cast<std::size_t>(top);
    std::string length = tree.length[v];
    for (auto below = keptChildren(v); below.size() == 1; below = keptChildren(v)) {
      const auto child = static_cast<std::size_t>(below.front());
      length = newParent < 0 ? length : AddedLength(length, tree.length[child], tree.label[child], treePath);
      v = child;
    }
    const auto vertex = static_cast<std::int32_t>(pruned.parent.size());
    pruned.parent.push_back(newParent);
    pruned.label.push_back(tree.label[v]);
    pruned.length.push_back(length);
    pruned.depth.push_back(newParent < 0 ? 0 : pruned.depth[static_cast<std::size_t>(newParent)] + 1);
    children.emplace_back();
    if (newParent >= 0) children[static_cast<std::size_t>(newParent)].push_back(vertex);
    const auto below = keptChildren(v);
    if (below.empty()) ++pruned.tipCount;
    for (auto c = below.rbegin(); c != below.rend(); ++c) pending.emplace_back(*c, vertex);
  }
  pruned.childBegin.push_back(0);
  for (const auto& list : children) {
    pruned.childList.insert(pruned.childList.end(), list.begin(), list.end());
    pruned.childBegin.push_back(static_cast<std::int32_t>(pruned.childList.size()));
  }
  return pruned;
}

TipMatch MatchTips(const NewickTree& tree, std::vector<Record> records, bool prune, const MatchSources& sources) {
  const std::string where = "dorvu-prep: " + sources.dataPath + ": ";
  std::map<std::string, std::size_t> recordOf;  // tip name to record
  std::vector<std::size_t> twice;               // records whose name came before
  std::vector<std::pair<std::string, std::int64_t>> unknown;
  for (std::size_t k = 0; k < records.size(); ++k)
    if (!recordOf.emplace(records[k].tip, k).second) twice.push_back(k);
  std::unordered_map<std::string, std::size_t> tipOf;
  std::vector<std::string> missing;
  std::vector<bool> keep(tree.parent.size(), false);
  for (std::size_t v = 0; v < tree.parent.size(); ++v) {
    if (!IsTip(tree, v)) continue;
    tipOf.emplace(tree.label[v], v);
    keep[v] = recordOf.contains(tree.label[v]);
    if (!keep[v]) missing.push_back(tree.label[v]);
  }
  for (const auto& [name, k] : recordOf)
    if (!tipOf.contains(name)) unknown.emplace_back(name, records[k].line);
  std::sort(unknown.begin(), unknown.end(), [](const auto& a, const auto& b) { return a.second < b.second; });

  std::string refusal;
  const auto withLine = [](const std::pair<std::string, std::int64_t>& item) {
    return InQuotes(item.first) + " (line " + std::to_string(item.second) + ")";
  };
  const auto repeated = [&](std::size_t k) {
    return InQuotes(records[k].tip) + " (line " + std::to_string(records[k].line) + ", first on line " +
           std::to_string(records[recordOf[records[k].tip]].line) + ")";
  };
  if (!twice.empty())
    refusal +=
        where + Count(twice.size(), "name is", "names are") + " given twice: " + cli::NameList(twice, repeated) + "\n";
  if (!prune && !missing.empty())
    refusal += where + Count(missing.size(), "tip", "tips") + " of " + sources.treePath +
               (missing.size() == 1 ? " has" : " have") + " no data: " + cli::NameList(missing, InQuotes) + "\n";
  if (!prune && !unknown.empty())
    refusal += where + Count(unknown.size(), "name is", "names are") + " no tip of " + sources.treePath + ": " +
               cli::NameList(unknown, withLine) + "\n";
  if (!refusal.empty()) {
    std::vector<std::string> hints;
    if (!prune) {
      AddHints(unknown, missing, BlanksAsUnderscores, "by blanks written as \"_\"", sources.dataWord, hints);
      AddHints(unknown, missing, LowerCase, "in case", sources.dataWord, hints);
    }
    for (const std::string& hint : hints) refusal += "dorvu-prep: " + hint + "\n";
    if (twice.empty())  // so not --prune, which refuses only names given twice
      refusal += "dorvu-prep: --prune drops the tips without data from the tree and skips the names without a tip\n";
    throw MatchRefused{refusal};
  }

  TipMatch match;
  match.tipsDropped = missing.size();
  match.namesSkipped = unknown.size();
  const std::size_t left = static_cast<std::size_t>(tree.tipCount) - missing.size();
  if (left < 2)
    throw MatchRefused{"dorvu-prep: " + sources.treePath + ": --prune leaves " + Count(left, "tip", "tips") +
                       " with data, and a tree needs at least 2\n"};
  match.tree = missing.empty() ? tree : PruneTree(tree, keep, sources.treePath);
  for (const std::string& tip : TipNames(match.tree)) match.records.push_back(std::move(records[recordOf[tip]]));
  return match;
}

std::string TreeInputText(const std::string& cardinality, const std::string& noise, const NewickTree& tree,
                          const std::vector<Record>& records) {
  std::string out = ParameterLines(cardinality, noise);
  const std::vector<std::string> tips = TipNames(tree);
  for (std::size_t k = 0; k < records.size(); ++k)
    out += NewickLabelText(tips[k]) + " " + LeafValuesText(records[k].shares) + "\n";
  return out;
}

}  // namespace dorvu::prep
