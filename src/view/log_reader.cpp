// Reads a dorvu run log. The log is read whole before anything is written, and
// every departure from the form dorvu writes is an error with its line number:
// a picture drawn from a log that was cut short or came from elsewhere would
// mislead more than no picture at all.

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string_view>
#include <system_error>

#include "view/log_number.hpp"
#include "view/run_report.hpp"

namespace dorvu::view {

LogError::LogError(int lineNumber, const std::string& what)
    : std::runtime_error(what), line(lineNumber), problem(what) {}

bool is_marked(const RunReport& report, VertexId v) {
    return v == kRoot || std::find(report.marked.begin(), report.marked.end(), v) != report.marked.end();
}

namespace {

constexpr std::string_view kCardinalityPrefix = "presupposed cardinality of scenario=";
constexpr std::string_view kNoisePrefix = "noise level=";
constexpr std::string_view kLimitPrefix = "cardinality of scenario limited to ";
constexpr std::string_view kProgressPrefix = "done ";
constexpr std::string_view kReportHeading = "the best scenario:";
constexpr std::string_view kPenaltyPrefix = "its penalty=";
constexpr std::string_view kValuesHeading = "distribution values:";
constexpr std::string_view kKeyError = "an error, sorry";

// A line quoted in a message: short, and with unprintable bytes shown as "?".
std::string shown_line(std::string_view line) {
    constexpr std::size_t kShown = 60;
    std::string text(line.substr(0, kShown));
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 32 || static_cast<unsigned char>(c) == 127) c = '?';
    return "\"" + text + (line.size() > kShown ? "...\"" : "\"");
}

// Splits at LF and drops the CR of each CR LF. The run writes CR LF; plain LF
// is accepted too, since copying a log between systems may convert it.
std::vector<std::string> split_lines(const std::string& bytes) {
    if (bytes.empty()) throw LogError(0, "the file is empty; a dorvu run log is never empty");
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < bytes.size()) {
        const std::size_t end = bytes.find('\n', start);
        const int number = static_cast<int>(lines.size()) + 1;
        if (end == std::string::npos)
            throw LogError(number, "the last line has no line end: the log was cut short");
        std::string line = bytes.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.find('\0') != std::string::npos)
            throw LogError(number, "the line holds binary data; this is not a dorvu run log");
        lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

struct Cursor {
    const std::vector<std::string>& lines;
    std::size_t next = 0;

    bool at_end() const { return next >= lines.size(); }
    const std::string& peek() const { return lines[next]; }
    int number() const { return static_cast<int>(next) + 1; }
    int last_number() const { return static_cast<int>(lines.size()); }
};

bool starts_with(std::string_view text, std::string_view prefix) { return text.starts_with(prefix); }

// Keeps the decimal separator of the log consistent across all its reals.
struct RealReader {
    char separator = 0;

    LogReal read(std::string_view token, int line, std::string_view what) {
        const auto parsed = parse_log_real(token);
        if (!parsed)
            throw LogError(line, std::string(what) + " is not a number: " + shown_line(token));
        if (parsed->separator != 0) {
            if (separator != 0 && separator != parsed->separator)
                throw LogError(line, std::string(what) + " uses \"" + parsed->separator +
                                         "\" as decimal separator, but earlier numbers use \"" +
                                         separator + "\"");
            separator = parsed->separator;
        }
        return parsed->real;
    }
};

bool is_input_error(std::string_view line) {
    if (line == "an error in cardinality of scenario, sorry") return true;
    if (line == "an error in level of randomness, sorry") return true;
    constexpr std::string_view leafPrefix = "an error in data on the leaf ";
    if (!starts_with(line, leafPrefix)) return false;
    const auto leaf = parse_log_integer(line.substr(leafPrefix.size()));
    return leaf && *leaf >= 1 && *leaf <= kLeafCount;
}

bool is_progress_line(std::string_view line) {
    if (!starts_with(line, kProgressPrefix)) return false;
    const std::string_view rest = line.substr(kProgressPrefix.size());
    const auto of = rest.find(" of ");
    return of != std::string_view::npos && parse_log_integer(rest.substr(0, of)) &&
           parse_log_integer(rest.substr(of + 4));
}

bool is_memory_message(std::string_view line) {
    return line == "I want more main memory!" || line == "I want more add memory!";
}

std::optional<int> limit_message(std::string_view line) {
    if (!starts_with(line, kLimitPrefix)) return std::nullopt;
    return parse_log_integer(line.substr(kLimitPrefix.size()));
}

void read_input_errors(Cursor& cursor, RunReport& report) {
    while (!cursor.at_end() && is_input_error(cursor.peek())) report.inputErrors.push_back(cursor.lines[cursor.next++]);
}

void read_cardinality(Cursor& cursor, RunReport& report) {
    if (cursor.at_end())
        throw LogError(cursor.last_number(), "the log ends before the line \"" + std::string(kCardinalityPrefix) + "...\"");
    const std::string& line = cursor.peek();
    if (!starts_with(line, kCardinalityPrefix))
        throw LogError(cursor.number(), "this is not a dorvu run log: expected \"" + std::string(kCardinalityPrefix) +
                                            "N\", found " + shown_line(line));
    report.cardinalityText = line.substr(kCardinalityPrefix.size());
    const auto value = parse_log_integer(report.cardinalityText);
    if (!value) throw LogError(cursor.number(), "the cardinality is not an integer: " + shown_line(report.cardinalityText));
    report.cardinality = *value;
    ++cursor.next;
}

void read_noise_level(Cursor& cursor, RunReport& report, RealReader& reals) {
    if (cursor.at_end()) throw LogError(cursor.last_number(), "the log ends before the line \"noise level=...\"");
    const std::string& line = cursor.peek();
    if (!starts_with(line, kNoisePrefix))
        throw LogError(cursor.number(), "expected \"noise level=X\", found " + shown_line(line));
    report.noiseLevel = reals.read(std::string_view(line).substr(kNoisePrefix.size()), cursor.number(), "the noise level");
    ++cursor.next;
}

// The lines the search writes, up to and including the report heading.
void read_search_lines(Cursor& cursor, RunReport& report) {
    for (; !cursor.at_end(); ++cursor.next) {
        const std::string& line = cursor.peek();
        if (line == kReportHeading) {
            ++cursor.next;
            return;
        }
        if (const auto limit = limit_message(line)) {
            report.cardinalityLimit = limit;
        } else if (is_memory_message(line)) {
            ++report.memoryMessages;
        } else if (!is_progress_line(line) && line != kKeyError) {
            throw LogError(cursor.number(), "unexpected line before the report: " + shown_line(line));
        }
    }
    throw LogError(cursor.last_number(),
                   "the log ends before its report (\"the best scenario:\"); the run was stopped or is still going");
}

void read_marked_vertices(Cursor& cursor, RunReport& report) {
    while (!cursor.at_end() && cursor.peek() == kKeyError) ++cursor.next;
    if (cursor.at_end())
        throw LogError(cursor.last_number(),
                       "the report holds no scenario: the search found none to report (the log ends after \"the best scenario:\")");
    const std::string& line = cursor.peek();
    std::size_t pos = 0;
    while (pos < line.size()) {
        // Every name stands between two blanks: " 1.2  4.7 ".
        const std::size_t close = line.find(' ', pos + 1);
        if (line[pos] != ' ' || close == std::string::npos)
            throw LogError(cursor.number(), "expected the marked vertices, each as \" name \", found " + shown_line(line));
        const std::string_view name = std::string_view(line).substr(pos + 1, close - pos - 1);
        const auto vertex = parse_vertex_name(name);
        if (!vertex) throw LogError(cursor.number(), "not a vertex name in the marked vertices: " + shown_line(name));
        if (is_marked(report, *vertex))
            throw LogError(cursor.number(), "vertex " + vertex_name(*vertex) + " is listed twice as marked");
        report.marked.push_back(*vertex);
        pos = close + 1;
    }
    ++cursor.next;
}

const std::string& expect_line_with(Cursor& cursor, std::string_view prefix, std::string_view expected) {
    if (cursor.at_end())
        throw LogError(cursor.last_number(), "the log ends before " + std::string(expected) + ": it was cut short");
    if (!starts_with(cursor.peek(), prefix))
        throw LogError(cursor.number(), "expected " + std::string(expected) + ", found " + shown_line(cursor.peek()));
    return cursor.lines[cursor.next++];
}

void read_penalty(Cursor& cursor, RunReport& report, RealReader& reals) {
    const int number = cursor.number();
    const std::string& line = expect_line_with(cursor, kPenaltyPrefix, "\"its penalty=P\"");
    report.penalty = reals.read(std::string_view(line).substr(kPenaltyPrefix.size()), number, "the penalty");
}

// "vertex NAME: A:a C:c G:g T:t"
VertexDistribution read_vertex_line(Cursor& cursor, VertexId vertex, RealReader& reals) {
    const std::string expected = "the line of vertex " + vertex_name(vertex);
    const std::string prefix = "vertex " + log_vertex_name(vertex) + ":";
    const int number = cursor.number();
    const std::string_view line = expect_line_with(cursor, prefix, "\"" + prefix + " A:...\" (" + expected + ")");
    VertexDistribution result{vertex, {}, number};
    std::string_view rest = line.substr(prefix.size());
    for (std::size_t b = 0; b < kBases.size(); ++b) {
        const std::string label = std::string(" ") + kBases[b] + ":";
        if (!starts_with(rest, label))
            throw LogError(number, "expected \"" + label.substr(1) + "\" in " + expected + ", found " + shown_line(line));
        rest.remove_prefix(label.size());
        const std::size_t end = std::min(rest.find(' '), rest.size());
        const std::string what = std::string("the ") + kBases[b] + " value of vertex " + vertex_name(vertex);
        result.base[b] = reals.read(rest.substr(0, end), number, what);
        rest.remove_prefix(end);
    }
    if (!rest.empty()) throw LogError(number, "unexpected text after the T value of vertex " + vertex_name(vertex) + ": " + shown_line(rest));
    return result;
}

void read_distributions(Cursor& cursor, RunReport& report, RealReader& reals) {
    expect_line_with(cursor, kValuesHeading, "\"distribution values:\"");
    for (const VertexId vertex : depth_first_order()) report.vertices.push_back(read_vertex_line(cursor, vertex, reals));
}

void expect_end(Cursor& cursor) {
    for (; !cursor.at_end(); ++cursor.next)
        if (!cursor.peek().empty())
            throw LogError(cursor.number(), "unexpected line after the report: " + shown_line(cursor.peek()));
}

}  // namespace

RunReport parse_run_log(const std::string& bytes, const std::string& logName) {
    const std::vector<std::string> lines = split_lines(bytes);
    Cursor cursor{lines};
    RunReport report;
    report.logName = logName;
    RealReader reals;
    read_input_errors(cursor, report);
    read_cardinality(cursor, report);
    read_noise_level(cursor, report, reals);
    read_search_lines(cursor, report);
    read_marked_vertices(cursor, report);
    read_penalty(cursor, report, reals);
    read_distributions(cursor, report, reals);
    expect_end(cursor);
    report.decimalSeparator = reals.separator != 0 ? reals.separator : '.';
    return report;
}

RunReport read_run_log(const std::string& path) {
    std::error_code error;
    if (!std::filesystem::exists(path, error)) throw LogError(0, "no such file");
    if (std::filesystem::is_directory(path, error)) throw LogError(0, "this is a directory, not a run log");
    std::ifstream in(path, std::ios::binary);
    if (!in) throw LogError(0, "the file cannot be opened for reading");
    std::ostringstream bytes;
    bytes << in.rdbuf();
    if (in.bad()) throw LogError(0, "the file cannot be read");
    return parse_run_log(bytes.str(), path);
}

}  // namespace dorvu::view
