// The picture of a run report. The fixed tree is laid out with its 64 leaves
// evenly spaced along the bottom and every internal vertex centred over its
// two children; each vertex shows its A/C/G/T shares as one stacked bar.

#include <array>
#include <charconv>
#include <cmath>
#include <string>
#include <string_view>
#include <vector>

#include "view/report_writers.hpp"

namespace dorvu::view {

namespace {

constexpr double kLeafSpacing = 26;
constexpr double kMarginX = 40;
constexpr double kTreeTop = 150;
constexpr double kLevelGap = 92;
constexpr double kBarWidth = 14;
constexpr double kBarHeight = 42;
constexpr double kLeafLabelRoom = 56;
constexpr double kWidth = 2 * kMarginX + kLeafCount * kLeafSpacing;
constexpr double kHeight = kTreeTop + kTreeDepth * kLevelGap + kBarHeight + kLeafLabelRoom;

// Okabe-Ito colours, told apart with the common colour-vision deficiencies.
constexpr std::array<std::string_view, 4> kBaseColours{"#009E73", "#0072B2", "#E69F00", "#CC79A7"};
constexpr std::string_view kMarkColour = "#D55E00";
constexpr std::string_view kEdgeColour = "#666666";
constexpr std::string_view kFontFamily = "DejaVu Sans, Liberation Sans, Arial, Helvetica, sans-serif";

// Coordinates with at most two decimals, independent of any locale.
std::string num(double value) {
    std::array<char, 32> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                      std::chars_format::fixed, 2);
    std::string text(buffer.data(), result.ptr);
    while (text.back() == '0') text.pop_back();
    if (text.back() == '.') text.pop_back();
    return text == "-0" ? "0" : text;
}

std::string escaped(std::string_view text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default: out += c;
        }
    }
    return out;
}

double centre_x(VertexId v) {
    const double span = level_width(kTreeDepth - v.depth);
    return kMarginX + (v.index - 0.5) * span * kLeafSpacing;
}

double bar_top(VertexId v) { return kTreeTop + v.depth * kLevelGap; }

// Shares for the bar; empty when the four values are no distribution
// (a value that is negative, infinite or not a number, or all four zero).
std::vector<double> bar_shares(const VertexDistribution& row) {
    double sum = 0;
    for (const LogReal& value : row.base) {
        if (!std::isfinite(value.value) || value.value < 0) return {};
        sum += value.value;
    }
    if (!(sum > 0) || !std::isfinite(sum)) return {};
    std::vector<double> shares;
    for (const LogReal& value : row.base) shares.push_back(value.value / sum);
    return shares;
}

std::string tooltip(const VertexDistribution& row, bool marked) {
    std::string text = vertex_name(row.vertex) + (marked ? " (marked):" : ":");
    for (std::size_t b = 0; b < kBases.size(); ++b) text += std::string(" ") + kBases[b] + " " + row.base[b].printed;
    return "<title>" + escaped(text) + "</title>";
}

std::string rect(double x, double y, double w, double h, std::string_view attributes) {
    return "<rect x=\"" + num(x) + "\" y=\"" + num(y) + "\" width=\"" + num(w) + "\" height=\"" + num(h) + "\" " +
           std::string(attributes) + "/>";
}

bool any_without_distribution(const RunReport& report) {
    for (const VertexDistribution& row : report.vertices)
        if (bar_shares(row).empty()) return true;
    return false;
}

std::string no_distribution_sign(double left, double top, double width, double height) {
    return rect(left, top, width, height, "fill=\"#DDDDDD\"") + "<path d=\"M" + num(left) + " " + num(top) + "l" +
           num(width) + " " + num(height) + "\" stroke=\"#333333\" stroke-width=\"1\"/>";
}

std::string bar(const VertexDistribution& row, bool marked) {
    const double left = centre_x(row.vertex) - kBarWidth / 2;
    const double top = bar_top(row.vertex);
    std::string out;
    const std::vector<double> shares = bar_shares(row);
    if (shares.empty()) out += no_distribution_sign(left, top, kBarWidth, kBarHeight);
    double cumulative = 0;
    for (std::size_t b = 0; b < shares.size(); ++b) {
        const double y0 = top + kBarHeight * cumulative;
        cumulative += shares[b];
        const double y1 = top + kBarHeight * cumulative;
        if (y1 - y0 >= 0.005)
            out += rect(left, y0, kBarWidth, y1 - y0, "fill=\"" + std::string(kBaseColours[b]) + "\"");
    }
    const std::string frame = marked ? "fill=\"none\" stroke=\"" + std::string(kMarkColour) + "\" stroke-width=\"3\""
                                     : "fill=\"none\" stroke=\"#333333\" stroke-width=\"0.8\"";
    return out + rect(left, top, kBarWidth, kBarHeight, frame);
}

// Marked names are set white on a vermillion badge, readable without colour too.
std::string label_text(const std::string& name, bool marked, std::string_view anchor) {
    std::string out;
    if (marked) {
        const double w = 7.0 * static_cast<double>(name.size()) + 6;
        const double x = anchor == "end" ? -w + 3 : -3;
        out += rect(x, -12, w, 16, "rx=\"3\" fill=\"" + std::string(kMarkColour) + "\"");
    }
    out += "<text text-anchor=\"" + std::string(anchor) + "\" font-size=\"11\"" +
           (marked ? " font-weight=\"bold\" fill=\"white\"" : " fill=\"#222222\"") + ">" + escaped(name) + "</text>";
    return out;
}

// Leaf names run downwards below the bar; other names stand beside it.
std::string label(VertexId v, bool marked) {
    const double x = centre_x(v);
    if (is_leaf(v))
        return "<g transform=\"translate(" + num(x + 4) + " " + num(bar_top(v) + kBarHeight + 8) + ") rotate(-90)\">" +
               label_text(vertex_name(v), marked, "end") + "</g>";
    return "<g transform=\"translate(" + num(x + kBarWidth / 2 + 5) + " " + num(bar_top(v) + kBarHeight / 2 + 4) +
           ")\">" + label_text(vertex_name(v), marked, "start") + "</g>";
}

std::string vertex_group(const RunReport& report, const VertexDistribution& row) {
    const bool marked = is_marked(report, row.vertex);
    return "<g class=\"vertex" + std::string(marked ? " marked" : "") + "\" id=\"v-" + vertex_name(row.vertex) +
           "\">" + tooltip(row, marked) + bar(row, marked) + label(row.vertex, marked) + "</g>\n";
}

std::string edge_line(const RunReport& report, VertexId child) {
    const VertexId parent = parent_of(child);
    const bool cut = is_marked(report, child);
    const std::string style = cut ? "stroke=\"" + std::string(kMarkColour) + "\" stroke-width=\"3\" stroke-dasharray=\"7 5\""
                                  : "stroke=\"" + std::string(kEdgeColour) + "\" stroke-width=\"1.3\"";
    return "<line class=\"edge" + std::string(cut ? " cut" : "") + "\" id=\"e-" + vertex_name(child) + "\" x1=\"" +
           num(centre_x(parent)) + "\" y1=\"" + num(bar_top(parent) + kBarHeight) + "\" x2=\"" + num(centre_x(child)) +
           "\" y2=\"" + num(bar_top(child)) + "\" " + style + "/>\n";
}

std::string text_line(double x, double y, double size, std::string_view attributes, const std::string& text) {
    return "<text x=\"" + num(x) + "\" y=\"" + num(y) + "\" font-size=\"" + num(size) + "\" " + std::string(attributes) +
           ">" + escaped(text) + "</text>\n";
}

std::string title_text(const RunReport& report) {
    std::string cardinality = report.cardinalityText;
    if (report.cardinalityLimit) cardinality += " (limited to " + std::to_string(*report.cardinalityLimit) + ")";
    return "Best scenario: penalty " + report.penalty.printed + ", presupposed cardinality " + cardinality +
           ", noise level " + report.noiseLevel.printed;
}

std::string marked_summary(const RunReport& report) {
    if (report.marked.empty()) return "Only the root is marked: one composition for the whole tree.";
    std::string names;
    for (const VertexId v : report.marked) names += (names.empty() ? "" : ", ") + vertex_name(v);
    const std::size_t n = report.marked.size();
    return std::to_string(n) + (n == 1 ? " marked vertex" : " marked vertices") + " besides the root: " + names +
           (n == 1 ? "; the branch above it is cut." : "; the branch above each is cut.") + " Log: " + report.logName;
}

std::string warning_text(const RunReport& report) {
    std::string text;
    const auto count = [](std::size_t n, const char* what) { return std::to_string(n) + " " + what + (n == 1 ? "" : "s"); };
    if (!report.inputErrors.empty()) text += "The run logged " + count(report.inputErrors.size(), "input error");
    if (report.memoryMessages > 0)
        text += (text.empty() ? "The run logged " : " and ") +
                count(static_cast<std::size_t>(report.memoryMessages), "search memory message");
    return text.empty() ? text : text + "; see the log.";
}

std::string heading(const RunReport& report) {
    std::string out = text_line(kMarginX, 34, 20, "font-weight=\"bold\" fill=\"#111111\"", title_text(report));
    out += text_line(kMarginX, 60, 13, "fill=\"#333333\"", marked_summary(report));
    const std::string warning = warning_text(report);
    if (!warning.empty()) out += text_line(kMarginX, 82, 13, "font-weight=\"bold\" fill=\"" + std::string(kMarkColour) + "\"", warning);
    return out;
}

std::string legend(const RunReport& report) {
    const double x = kWidth - kMarginX - 560;
    const double y = 100;
    std::string out = "<g id=\"legend\">\n";
    out += text_line(x, y + 12, 12, "fill=\"#333333\"", "Bar, top to bottom:");
    for (std::size_t b = 0; b < kBases.size(); ++b) {
        const double bx = x + 122 + 38.0 * static_cast<double>(b);
        out += rect(bx, y, 14, 14, "fill=\"" + std::string(kBaseColours[b]) + "\" stroke=\"#333333\" stroke-width=\"0.8\"");
        out += text_line(bx + 18, y + 12, 12, "fill=\"#222222\"", std::string(1, kBases[b]));
    }
    const double mx = x + 290;
    out += "<g transform=\"translate(" + num(mx + 3) + " " + num(y + 12) + ")\">" + label_text("1.1", true, "start") + "</g>";
    out += text_line(mx + 32, y + 12, 12, "fill=\"#333333\"", "marked vertex");
    out += "<line x1=\"" + num(mx + 130) + "\" y1=\"" + num(y + 7) + "\" x2=\"" + num(mx + 170) + "\" y2=\"" + num(y + 7) +
           "\" stroke=\"" + std::string(kMarkColour) + "\" stroke-width=\"3\" stroke-dasharray=\"7 5\"/>";
    out += text_line(mx + 176, y + 12, 12, "fill=\"#333333\"", "cut branch");
    if (any_without_distribution(report)) {
        out += no_distribution_sign(x, y + 24, 14, 14);
        out += text_line(x + 20, y + 36, 12, "fill=\"#333333\"", "no distribution: a value is negative, INF or NAN, or all are 0");
    }
    return out + "</g>\n";
}

}  // namespace

std::string svg_picture(const RunReport& report) {
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    out += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + num(kWidth) + "\" height=\"" + num(kHeight) +
           "\" viewBox=\"0 0 " + num(kWidth) + " " + num(kHeight) + "\" font-family=\"" + std::string(kFontFamily) + "\">\n";
    out += "<title>" + escaped(title_text(report)) + "</title>\n";
    out += rect(0, 0, kWidth, kHeight, "fill=\"white\"") + "\n";
    out += heading(report) + legend(report);
    out += "<g id=\"edges\">\n";
    for (const VertexDistribution& row : report.vertices)
        if (!(row.vertex == kRoot)) out += edge_line(report, row.vertex);
    out += "</g>\n<g id=\"vertices\">\n";
    for (const VertexDistribution& row : report.vertices) out += vertex_group(report, row);
    return out + "</g>\n</svg>\n";
}

}  // namespace dorvu::view
