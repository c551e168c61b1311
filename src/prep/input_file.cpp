#include "prep/input_file.h"

#include "log/log_lines.h"
#include "prep/composition.h"
#include "tree/tree_shape.h"

namespace dorvu::prep {

namespace {

// OUTPUT without its ".txt" ending, then `ending`.
std::string BesideOutput(const std::string& output, const std::string& ending) {
  constexpr std::string_view kEnding = ".txt";
  const bool stripped = output.size() > kEnding.size() && output.ends_with(kEnding);
  return (stripped ? output.substr(0, output.size() - kEnding.size()) : output) + ending;
}

}  // namespace

std::string ParameterLines(const std::string& cardinality, const std::string& noise) {
  return std::string(log_lines::kInputCardinalityPrefix) + cardinality + "\n" +
         std::string(log_lines::kInputNoisePrefix) + noise + "\n";
}

std::string LeafValuesText(const std::array<double, 4>& shares) {
  return "A:" + ShortestText(shares[0]) + "_C:" + ShortestText(shares[1]) + "_G:" + ShortestText(shares[2]) +
         "_T:" + ShortestText(shares[3]);
}

std::string InputText(const std::string& cardinality, const std::string& noise, const std::vector<Record>& records) {
  std::string out = ParameterLines(cardinality, noise);
  for (std::size_t k = 0; k < records.size(); ++k)
    out += LeafVertexName(static_cast<int>(k) + 1) + " " + LeafValuesText(records[k].shares) + "\n";
  return out;
}

std::string NamesTable(const std::vector<Record>& records) {
  std::string out = "leaf\tname\n";
  for (std::size_t k = 0; k < records.size(); ++k)
    out += LeafVertexName(static_cast<int>(k) + 1) + "\t" + records[k].label + "\n";
  return out;
}

std::string NamesPath(const std::string& output) { return BesideOutput(output, ".names.tsv"); }

std::string TreePath(const std::string& output) { return BesideOutput(output, ".nwk"); }

}  // namespace dorvu::prep
