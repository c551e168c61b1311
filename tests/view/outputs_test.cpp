// The table, the Newick tree and the picture made from a run report.
#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "support/view_runs.h"
#include "support/xml_check.h"
#include "view/report_writers.h"

namespace dorvu::view {
namespace {

using test::ParseFile;
using test::ParseXml;
using test::ReadFile;
using test::ViewDataPath;
using test::XmlDocument;

// The bar colours the legend shows for A, C, G, T.
const std::vector<std::string> kBaseColours{"#009E73", "#0072B2", "#E69F00", "#CC79A7"};

const std::vector<std::string> kGoodLogs{"example.log",      "comma.log",      "pure.log",    "root_only.log",
                                         "input_errors.log", "zero_input.log", "messages.log"};

// The printed A/C/G/T digits of every vertex line, read straight from the log
// with "," turned into "." and INF/NAN spelled as R and Python read them, by vertex name.
std::map<std::string, std::vector<std::string>> PrintedValues(const std::string& log) {
  const std::map<std::string, std::string> special{{"NAN", "NaN"}, {"INF", "Inf"}, {"-INF", "-Inf"}};
  std::map<std::string, std::vector<std::string>> values;
  const std::regex line(R"(vertex (.*?): A:(\S+) C:(\S+) G:(\S+) T:(\S+)\r)");
  for (std::sregex_iterator it(log.begin(), log.end(), line), end; it != end; ++it) {
    std::string name = (*it)[1];
    if (name == " 0 ") name = "0";
    for (int b = 2; b <= 5; ++b) {
      const std::string printed = (*it)[b].str();
      values[name].push_back(special.count(printed) ? special.at(printed)
                                                    : std::regex_replace(printed, std::regex(","), "."));
    }
  }
  return values;
}

TEST(TsvTable, HoldsTheLogsDigitsForEveryVertex) {
  for (const std::string& name : kGoodLogs) {
    const auto rows = test::TsvRows(TsvTable(ParseFile(name)));
    const auto expected = PrintedValues(ReadFile(ViewDataPath(name)));
    ASSERT_EQ(rows.size(), 128u) << name;
    EXPECT_EQ(rows[0], (std::vector<std::string>{"vertex", "parent", "depth", "marked", "A", "C", "G", "T"}));
    ASSERT_EQ(expected.size(), 127u);
    for (std::size_t r = 1; r < rows.size(); ++r) {
      ASSERT_EQ(rows[r].size(), 8u);
      const std::vector<std::string> values(rows[r].begin() + 4, rows[r].end());
      EXPECT_EQ(values, expected.at(rows[r][0])) << name << " vertex " << rows[r][0];
    }
  }
}

TEST(TsvTable, GivesParentsDepthsAndMarks) {
  const auto rows = test::TsvRows(TsvTable(ParseFile("example.log")));
  EXPECT_EQ(rows[1], (std::vector<std::string>{"0", "NA", "0", "1", "0.291969819197397", "0.203351673607338",
                                               "0.199717565307317", "0.304960941887948"}));
  std::set<std::string> marked;
  for (std::size_t r = 1; r < rows.size(); ++r) {
    const auto v = ParseVertexName(rows[r][0]);
    if (v) {
      EXPECT_EQ(rows[r][1], VertexName(ParentOf(*v)));
      EXPECT_EQ(rows[r][2], std::to_string(v->depth));
    }
    if (rows[r][3] == "1") marked.insert(rows[r][0]);
  }
  EXPECT_EQ(marked, (std::set<std::string>{"0", "3.2", "4.11", "5.29"}));
}

// Reads the labels of a Newick tree back as child -> parent.
std::map<std::string, std::string> NewickParents(const std::string& tree) {
  std::map<std::string, std::string> parent;
  std::vector<std::vector<std::string>> open;  // children of each open group
  std::size_t pos = 0;
  while (pos < tree.size() && tree[pos] != ';') {
    const char c = tree[pos];
    if (c == '(') {
      open.emplace_back();
      ++pos;
    } else if (c == ',' || c == ')') {
      ++pos;
    } else {
      const std::size_t end = tree.find_first_of("(),;", pos);
      const std::string label = tree.substr(pos, end - pos);
      if (tree[pos - 1] == ')') {
        for (const std::string& child : open.back()) parent[child] = label;
        open.pop_back();
      }
      if (!open.empty())
        open.back().push_back(label);
      else
        parent[label] = "";
      pos = end;
    }
  }
  return parent;
}

TEST(NewickTree, NamesEveryVertexUnderItsParent) {
  const std::string tree = NewickTree();
  ASSERT_TRUE(tree.ends_with(")0;\n"));
  const auto parent = NewickParents(tree);
  ASSERT_EQ(parent.size(), 127u);
  for (const VertexId v : DepthFirstOrder())
    EXPECT_EQ(parent.at(VertexName(v)), v == kRoot ? "" : VertexName(ParentOf(v)));
}

TEST(NewickTree, QuotesLabelsThatNewickGivesAMeaning) {
  EXPECT_EQ(NewickLabel("6.10"), "6.10");
  EXPECT_EQ(NewickLabel("a b"), "'a b'");
  EXPECT_EQ(NewickLabel("it's"), "'it''s'");
  EXPECT_EQ(NewickLabel("x:1"), "'x:1'");
  EXPECT_EQ(NewickLabel("Homo_sapiens"), "'Homo_sapiens'");  // unquoted, "_" reads as a blank
  EXPECT_EQ(NewickLabel("gi|2765658|emb|Z78533.1|CIZ78533"), "gi|2765658|emb|Z78533.1|CIZ78533");
  EXPECT_EQ(NewickLabel(""), "''");
}

TEST(NewickTree, LabelsTheLeavesWithTheirNames) {
  LeafNames names(kLeafCount);
  for (int k = 1; k <= kLeafCount; ++k) names[k - 1] = "taxon" + std::to_string(k);
  names[0] = "Homo sapiens";
  names[1] = "O'Brien (1998)";
  const std::string tree = NewickTree(names);
  EXPECT_TRUE(tree.starts_with("(((((('Homo sapiens','O''Brien (1998)')5.1,(taxon3,taxon4)5.2)4.1,")) << tree;
  EXPECT_TRUE(tree.ends_with("(taxon63,taxon64)5.32)4.16)3.8)2.4)1.2)0;\n")) << tree;
  // Without the quoted two, the rest reads as before: internal vertices keep
  // their names, each leaf k is named taxonk under 5.((k + 1) / 2).
  std::string plain = tree;
  plain.replace(plain.find("'Homo sapiens','O''Brien (1998)'"), 32, "taxon1,taxon2");
  const auto parent = NewickParents(plain);
  ASSERT_EQ(parent.size(), 127u);
  for (int k = 1; k <= kLeafCount; ++k)
    EXPECT_EQ(parent.at("taxon" + std::to_string(k)), "5." + std::to_string((k + 1) / 2));
  EXPECT_EQ(parent.at("5.1"), "4.1");
}

TEST(XmlCheck, RefusesMalformedText) {
  EXPECT_EQ(ParseXml("<a x=\"1\"><b/>t &amp; u</a>").error, "");
  for (const std::string bad : {"<a><b></a></b>", "<a>", "<a/><b/>", "<a x=1/>", "<a x='1' x='2'/>", "<a>&nbsp;</a>",
                                "<a>x < y</a>", "<a x=\"<\"/>", "text"})
    EXPECT_NE(ParseXml(bad).error, "") << bad;
}

int FindElement(const XmlDocument& doc, const std::string& id) {
  for (std::size_t i = 0; i < doc.elements.size(); ++i)
    if (doc.elements[i].attributes.count("id") && doc.elements[i].attributes.at("id") == id) return static_cast<int>(i);
  return -1;
}

std::set<std::string> IdsWithClass(const XmlDocument& doc, const std::string& cls) {
  std::set<std::string> ids;
  for (const auto& element : doc.elements) {
    const auto c = element.attributes.find("class");
    if (c != element.attributes.end() && c->second == cls) ids.insert(element.attributes.at("id"));
  }
  return ids;
}

TEST(SvgPicture, IsWellFormedForEveryLog) {
  for (const std::string& name : kGoodLogs) {
    const XmlDocument doc = ParseXml(SvgPicture(ParseFile(name)));
    EXPECT_EQ(doc.error, "") << name;
    ASSERT_FALSE(doc.elements.empty());
    EXPECT_EQ(doc.elements[0].name, "svg");
    EXPECT_EQ(IdsWithClass(doc, "vertex").size() + IdsWithClass(doc, "vertex marked").size(), 127u);
    EXPECT_EQ(IdsWithClass(doc, "edge").size() + IdsWithClass(doc, "edge cut").size(), 126u);
  }
  // The log's path is the one text from outside: markup, control bytes and
  // bytes that are not UTF-8 must not spoil the picture; proper UTF-8 stays.
  RunReport awkward = ParseFile("example.log");
  awkward.logName = "L\xC3\xA4ufe/<a&b>\"x\"\x01\xE4\xC0\xAF.log";
  const std::string svg = SvgPicture(awkward);
  EXPECT_EQ(ParseXml(svg).error, "");
  EXPECT_NE(svg.find("Log: L\xC3\xA4ufe/&lt;a&amp;b&gt;&quot;x&quot;????.log"), std::string::npos);
}

TEST(SvgPicture, DrawsTheMarkedVerticesAndTheirCutBranchesAsMarked) {
  const XmlDocument doc = ParseXml(SvgPicture(ParseFile("example.log")));
  EXPECT_EQ(IdsWithClass(doc, "vertex marked"), (std::set<std::string>{"v-0", "v-3.2", "v-4.11", "v-5.29"}));
  EXPECT_EQ(IdsWithClass(doc, "edge cut"), (std::set<std::string>{"e-3.2", "e-4.11", "e-5.29"}));
  const auto& cut = doc.elements[FindElement(doc, "e-4.11")].attributes;
  EXPECT_EQ(cut.at("stroke-dasharray"), "7 5");
  EXPECT_EQ(doc.elements[FindElement(doc, "e-4.12")].attributes.count("stroke-dasharray"), 0u);
  const XmlDocument rootOnly = ParseXml(SvgPicture(ParseFile("root_only.log")));
  EXPECT_EQ(IdsWithClass(rootOnly, "vertex marked"), (std::set<std::string>{"v-0"}));
  EXPECT_TRUE(IdsWithClass(rootOnly, "edge cut").empty());
}

// The coloured parts of a vertex's bar, as fill colour -> height. The badge of
// a marked name lies in the label's own group, so it does not count.
std::map<std::string, double> BarParts(const XmlDocument& doc, const std::string& id) {
  std::map<std::string, double> parts;
  const int group = FindElement(doc, id);
  for (std::size_t i = 0; i < doc.elements.size(); ++i) {
    const auto& e = doc.elements[i];
    if (e.name == "rect" && e.parent == group && e.attributes.count("fill") &&
        e.attributes.at("fill").starts_with("#") && e.attributes.count("height"))
      parts[e.attributes.at("fill")] += std::stod(e.attributes.at("height"));
  }
  return parts;
}

TEST(SvgPicture, SizesTheBarsByTheDistribution) {
  const RunReport report = ParseFile("example.log");
  const XmlDocument doc = ParseXml(SvgPicture(report));
  for (const VertexDistribution& row : report.vertices) {
    const auto parts = BarParts(doc, "v-" + VertexName(row.vertex));
    ASSERT_EQ(parts.size(), 4u);
    const double sum = row.base[0].value + row.base[1].value + row.base[2].value + row.base[3].value;
    for (std::size_t b = 0; b < kBases.size(); ++b)
      EXPECT_NEAR(parts.at(kBaseColours[b]), 42 * row.base[b].value / sum, 0.011) << VertexName(row.vertex);
  }
  const XmlDocument pure = ParseXml(SvgPicture(ParseFile("pure.log")));
  EXPECT_EQ(BarParts(pure, "v-6.1"), (std::map<std::string, double>{{"#009E73", 42}}));
  EXPECT_EQ(BarParts(pure, "v-6.40"), (std::map<std::string, double>{{"#0072B2", 42}}));
  EXPECT_EQ(BarParts(pure, "v-6.50"), (std::map<std::string, double>{{"#CC79A7", 42}}));
}

// Values that are no distribution (all 0, NAN, INF, negative) get a grey sign, not a bar.
TEST(SvgPicture, MarksVerticesWithoutADistribution) {
  const XmlDocument zeros = ParseXml(SvgPicture(ParseFile("zero_input.log")));
  EXPECT_EQ(BarParts(zeros, "v-6.1"), (std::map<std::string, double>{{"#DDDDDD", 42}}));
  const XmlDocument special = ParseXml(SvgPicture(ParseFile("messages.log")));
  for (const std::string id : {"v-5.4", "v-6.7", "v-6.8", "v-6.9"})
    EXPECT_EQ(BarParts(special, id), (std::map<std::string, double>{{"#DDDDDD", 42}})) << id;
  EXPECT_EQ(BarParts(special, "v-6.10").size(), 4u);
}

TEST(SvgPicture, TitlesTheRunWithItsNumbersAsPrinted) {
  EXPECT_NE(SvgPicture(ParseFile("example.log"))
                .find(">Best scenario: penalty 52.8662249314032, presupposed cardinality 3, noise level 0.1<"),
            std::string::npos);
  EXPECT_NE(SvgPicture(ParseFile("comma.log")).find("penalty 38,5451116179774,"), std::string::npos);
  const std::string limited = SvgPicture(ParseFile("messages.log"));
  EXPECT_NE(limited.find("presupposed cardinality 25 (limited to 20)"), std::string::npos);
  EXPECT_NE(limited.find("The run logged 2 input errors and 4 search memory messages"), std::string::npos);
}

// The legend's sample badge must not look like a result: no vertex name in it.
TEST(SvgPicture, ShowsNoVertexNameInTheLegend) {
  const std::string svg = SvgPicture(ParseFile("example.log"));
  const auto begin = svg.find("<g id=\"legend\">");
  const std::string legend = svg.substr(begin, svg.find("<g id=\"edges\">") - begin);
  EXPECT_NE(legend.find("font-weight=\"bold\" fill=\"white\">d.i</text>"), std::string::npos) << legend;
  const std::regex text(">([^<]*)</text>");
  for (std::sregex_iterator it(legend.begin(), legend.end(), text), end; it != end; ++it)
    EXPECT_FALSE(ParseVertexName((*it)[1].str())) << (*it)[1];
}

// The badge of a marked name must hold its bold text: at least 0.70 em per
// digit and the advances of DejaVu Sans Bold, the widest font named, for the
// others (1 em outside ASCII). The room below the leaves must hold the widest
// leaf label.
TEST(SvgPicture, SizesBadgesAndTheLeafRoomToTheirText) {
  const RunReport report = ParseFile("comma.log");  // marks the leaf 6.40
  struct Case {
    std::string name;
    std::string shown;
    double minimumEm;
  };
  for (const Case& c :
       std::vector<Case>{{"12345678901234567890", "12345678901234567890", 0.70 * 20},
                         {"gi|2765658|emb|Z78533.1|CIZ78533", "gi|2765658|emb|Z78533.1|CIZ785\u2026", 20.03},
                         {"WWWWMMMMWWWW", "WWWWMMMMWWWW", 12.81},
                         {"\u00c5\u00e9\u4e2d\u6587", "\u00c5\u00e9\u4e2d\u6587", 4}}) {
    LeafNames names(kLeafCount, "x");
    names[39] = c.name;
    const std::string svg = SvgPicture(report, names);
    const std::size_t text = svg.find("font-weight=\"bold\" fill=\"white\">" + c.shown + "</text>");
    ASSERT_NE(text, std::string::npos) << c.name;
    const std::string badge = svg.substr(svg.rfind("<rect ", text), 120);
    std::smatch match;
    ASSERT_TRUE(std::regex_search(badge, match, std::regex("^<rect x=\"(-?[0-9.]+)\" y=\"-12\" width=\"([0-9.]+)\"")))
        << badge;
    const double width = std::stod(match[2]);
    EXPECT_GE(width, c.minimumEm * 11 + 6) << c.name;
    EXPECT_NEAR(std::stod(match[1]), -width + 3, 0.011) << c.name;  // the text ends 3 px before the badge does
    const XmlDocument doc = ParseXml(svg);
    ASSERT_EQ(doc.error, "");
    const double height = std::stod(doc.elements[0].attributes.at("height"));
    EXPECT_GE(height, 150 + 6 * 92 + 42 + 8 + width) << c.name;
  }
}

}  // namespace
}  // namespace dorvu::view
