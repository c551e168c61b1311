#include "view/own_tree.h"

#include <algorithm>

#include "view/report_writers.h"
#include "view/tree_drawing.h"

namespace dorvu::view {

std::shared_ptr<const OwnTree> MakeOwnTree(std::string_view text) {
  auto own = std::make_shared<OwnTree>();
  own->text = std::string(text);
  own->tree = ParseNewick(text);
  own->names = VertexNames(own->tree);
  const auto count = static_cast<std::int32_t>(own->names.size());
  own->tips.assign(count, 0);
  // Children come after their parent, so one backward pass adds each subtree up.
  for (std::int32_t v = count - 1; v >= 0; --v) {
    if (own->IsTip(v)) own->tips[v] = 1;
    if (v > 0) own->tips[own->tree.parent[v]] += own->tips[v];
  }
  // The place of a vertex among those of its depth, counted from 1, as in its name.
  std::vector<int> placed(
      own->tree.depth.empty() ? 0 : 1 + *std::max_element(own->tree.depth.begin(), own->tree.depth.end()), 0);
  own->ids.reserve(own->names.size());
  for (std::int32_t v = 0; v < count; ++v) {
    const int depth = own->tree.depth[v];
    own->ids.push_back({depth, ++placed[depth]});
  }
  own->byName.reserve(own->names.size());
  for (std::int32_t v = 0; v < count; ++v) own->byName.emplace(own->names[v], v);
  return own;
}

std::string ParentName(const std::shared_ptr<const OwnTree>& tree, std::size_t place) {
  if (place == 0) return "NA";
  if (tree) return tree->names[tree->tree.parent[place]];
  return VertexName(ParentOf(DepthFirstOrder()[place]));
}

std::string WithReplaced(std::string_view text, std::string_view characters, char replacement) {
  std::string out(text);
  std::replace_if(
      out.begin(), out.end(), [&](char c) { return characters.find(c) != std::string_view::npos; }, replacement);
  return out;
}

std::string TableText(std::string_view text) { return WithReplaced(text, "\t\n\r", ' '); }

std::string OwnVertexLabel(const OwnTree& tree, std::size_t v) {
  return tree.IsTip(static_cast<std::int32_t>(v)) ? drawing::ShownName(tree.tree.label[v]) : tree.names[v];
}

std::string OwnVertexCaption(const OwnTree& tree, std::size_t v) {
  const std::string& label = tree.tree.label[v];
  return (label.empty() ? "" : label + ", ") + Counted(tree.tips[v], "tip");
}

std::optional<std::int32_t> FindVertex(const OwnTree& tree, std::string_view name) {
  const auto found = tree.byName.find(std::string(name));
  if (found == tree.byName.end()) return std::nullopt;
  return found->second;
}

}  // namespace dorvu::view
