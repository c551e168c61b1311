#include "prep/input_file.h"

#include "log/log_lines.h"
#include "prep/composition.h"
#include "tree/tree_shape.h"

namespace dorvu::prep {

std::string InputText(const std::string& cardinality, const std::string& noise, const std::vector<Record>& records) {
  std::string out = std::string(log_lines::kInputCardinalityPrefix) + cardinality + "\n" +
                    std::string(log_lines::kInputNoisePrefix) + noise + "\n";
  for (std::size_t k = 0; k < records.size(); ++k) {
    const auto& shares = records[k].shares;
    out += LeafVertexName(static_cast<int>(k) + 1) + " A:" + ShortestText(shares[0]) + "_C:" + ShortestText(shares[1]) +
           "_G:" + ShortestText(shares[2]) + "_T:" + ShortestText(shares[3]) + "\n";
  }
  return out;
}

std::string NamesTable(const std::vector<Record>& records) {
  std::string out = "leaf\tname\n";
  for (std::size_t k = 0; k < records.size(); ++k)
    out += LeafVertexName(static_cast<int>(k) + 1) + "\t" + records[k].label + "\n";
  return out;
}

std::string NamesPath(const std::string& output) {
  constexpr std::string_view kEnding = ".txt";
  const bool stripped = output.size() > kEnding.size() && output.ends_with(kEnding);
  return (stripped ? output.substr(0, output.size() - kEnding.size()) : output) + ".names.tsv";
}

}  // namespace dorvu::prep
