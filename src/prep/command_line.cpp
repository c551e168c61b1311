#include "prep/command_line.h"

#include <charconv>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string_view>
#include <system_error>

#include "prep/decimal.h"
#include "prep/input_file.h"
#include "prep/records.h"
#include "view/output_files.h"

#ifndef DORVU_PREP_VERSION
#define DORVU_PREP_VERSION "1.0.0"
#endif

namespace dorvu::prep {

namespace {

constexpr const char* HelpText =
    R"(Usage: dorvu-prep [--cardinality N] [--noise X] [--label KIND] [--bootstrap SEED]
                  [-o FILE] INPUT
Make a dorvu input (input.txt) from sequences or from a table of compositions.

INPUT is either
  FASTA    exactly 64 records; the first is leaf 6.1, the next 6.2, and so on.
           Sequences may span lines. A, C, G, T and U count one to their base
           (in either case; U counts as T); R, Y, S, W, K and M one half to
           each of their two bases; B, D, H and V one third to each of their
           three; N, "-", ".", "?" and white space are skipped.
  a table  tab-separated with the header "leaf A C G T" and one row per leaf
           6.1 to 6.64, in any order, of counts or frequencies.
Each leaf's composition is its four counts divided by their sum.

Writes FILE (default: input.txt) with the two parameter lines and one line
"6.k A:a_C:c_G:g_T:t" per leaf, each value in the shortest form that reads
back as the same double, and beside it the table of leaf and record name,
FILE without its ".txt" ending plus ".names.tsv" (input.txt gives
input.names.tsv; for a table the names are the leaves), for dorvu-view --names.

Options:
      --cardinality N   the presupposed cardinality of scenario (default 3);
                        dorvu searches at most 20, so above 20 a warning
      --noise X         the level of randomness (default 0.1)
      --label KIND      what names a FASTA record in the table of names:
                          word         the header's first word (default)
                          description  the rest of the header, blanks and
                                       tabs made single blanks; the first
                                       word when there is nothing more
                          field:N      the N-th "|"-separated field of the
                                       first word (N from 1)
                        Records must differ in their first words whatever
                        KIND; for a table the names are the leaves and
                        --label does not apply.
      --bootstrap SEED  write one site-bootstrap replicate: each record's
                        counted positions (not N, gaps or white space) drawn
                        with replacement, as many as it has. SEED, a whole
                        number from 0 to 2^64-1, fixes the draws: the same
                        SEED and INPUT give the same file on every system.
                        A table must hold whole counts, at most 2^32 a row.
  -o, --output FILE     write FILE; "-" writes the input to standard output
                        and no table of names
  -h, --help            show this help and exit
      --version         show the version and exit

Exit status: 0 when the files were written; 1 when INPUT is refused or a
file cannot be written, with a message that names the file, the line and the
record, and no file written; 2 for a bad command line.
)";

// dorvu searches no more marks than this, and says so in its log.
constexpr int kMaxSearchedCardinality = 20;

struct Options {
  std::optional<std::string> input;
  std::string output = "input.txt";
  std::string cardinality = "3";
  std::string noise = "0.1";
  std::string labelText = "word";
  std::optional<std::string> seedText;
  // Read from the texts above once they are checked.
  LabelChoice label;
  std::uint64_t seed = 0;
  bool help = false;
  bool version = false;
};

struct UsageError {
  std::string problem;
};

// The whole of `text` as a decimal number without a sign; nothing when it is
// anything else or out of the range of T.
template <typename T>
std::optional<T> WholeDecimal(const std::string& text) {
  T value{};
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || text[0] == '-' || error != std::errc{} || end != text.data() + text.size())
    return std::nullopt;
  return value;
}

// A whole decimal number that dorvu reads as a 32-bit integer.
bool IsCardinality(const std::string& text) { return WholeDecimal<int>(text).has_value(); }

LabelChoice ParseLabel(const std::string& text) {
  constexpr std::string_view kFieldPrefix = "field:";
  if (text == "word") return {LabelChoice::Kind::kWord, 0};
  if (text == "description") return {LabelChoice::Kind::kDescription, 0};
  if (text.starts_with(kFieldPrefix)) {
    const auto field = WholeDecimal<std::size_t>(text.substr(kFieldPrefix.size()));
    if (field && *field > 0) return {LabelChoice::Kind::kField, *field};
  }
  throw UsageError{"--label needs word, description or field:N with N from 1, not \"" + text + "\""};
}

// A real that dorvu reads, not negative.
bool IsNoiseLevel(const std::string& text) {
  const auto value = ParseDecimal(text);
  return value && !value->negative;
}

std::string TakeValue(const std::vector<std::string>& args, std::size_t& i, const std::string& option,
                      const std::string& what) {
  if (i + 1 >= args.size()) throw UsageError{"option " + option + " needs " + what};
  return args[++i];
}

// "--name VALUE" or "--name=VALUE"; nothing when `arg` is another option.
std::optional<std::string> OptionValue(const std::vector<std::string>& args, std::size_t& i,
                                       const std::string& name, const std::string& what) {
  const std::string& arg = args[i];
  if (arg == name) return TakeValue(args, i, arg, what);
  if (arg.starts_with(name + "=")) return arg.substr(name.size() + 1);
  return std::nullopt;
}

// Checks the values given and reads the label and the seed from their texts.
void CheckValues(Options& options) {
  if (!options.input) throw UsageError{"no INPUT given"};
  if (options.output.empty()) throw UsageError{"FILE must not be empty"};
  if (!IsCardinality(options.cardinality))
    throw UsageError{"--cardinality needs a whole number from 0 to 2147483647, not \"" + options.cardinality +
                     "\""};
  if (!IsNoiseLevel(options.noise))
    throw UsageError{"--noise needs a number of at least 0 such as 0.1, .05 or 1e-3, not \"" + options.noise +
                     "\""};
  options.label = ParseLabel(options.labelText);
  if (!options.seedText) return;
  const auto seed = WholeDecimal<std::uint64_t>(*options.seedText);
  if (!seed)
    throw UsageError{"--bootstrap needs a whole number from 0 to 18446744073709551615, not \"" +
                     *options.seedText + "\""};
  options.seed = *seed;
}

Options ParseOptions(const std::vector<std::string>& args) {
  Options options;
  bool optionsEnded = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
      if (options.input) throw UsageError{"only one INPUT can be given, found \"" + arg + "\" as a second"};
      options.input = arg;
    } else if (arg == "--") {
      optionsEnded = true;
    } else if (arg == "-h" || arg == "--help") {
      options.help = true;
    } else if (arg == "--version") {
      options.version = true;
    } else if (const auto n = OptionValue(args, i, "--cardinality", "a number N")) {
      options.cardinality = *n;
    } else if (const auto x = OptionValue(args, i, "--noise", "a number X")) {
      options.noise = *x;
    } else if (const auto kind = OptionValue(args, i, "--label", "a KIND")) {
      options.labelText = *kind;
    } else if (const auto seed = OptionValue(args, i, "--bootstrap", "a number SEED")) {
      options.seedText = *seed;
    } else if (const auto file = OptionValue(args, i, "--output", "a FILE")) {
      options.output = *file;
    } else if (arg == "-o") {
      options.output = TakeValue(args, i, arg, "a FILE");
    } else if (arg.starts_with("-o")) {
      options.output = arg.substr(2);
    } else {
      throw UsageError{"unknown option \"" + arg + "\""};
    }
  }
  if (!options.help && !options.version) CheckValues(options);
  return options;
}

bool SameFile(const std::string& a, const std::string& b) {
  std::error_code error;
  return std::filesystem::equivalent(a, b, error);
}

// "FILE:LINE: problem", or "FILE: problem" when no line is concerned.
std::string Located(const std::string& file, const InputError& error) {
  std::string text = file;
  if (error.line > 0) text.append(":").append(std::to_string(error.line));
  return text.append(": ").append(error.problem);
}

// dorvu runs a larger cardinality as 20; said here so that it is no surprise later.
void WarnAboutCardinality(const Options& options, std::ostream& err) {
  if (WholeDecimal<int>(options.cardinality).value_or(0) > kMaxSearchedCardinality)
    err << "dorvu-prep: warning: --cardinality " << options.cardinality << " is above "
        << kMaxSearchedCardinality << ", the most dorvu searches; the run will be limited to "
        << kMaxSearchedCardinality << "\n";
}

int Prepare(const Options& options, std::ostream& out, std::ostream& err) {
  WarnAboutCardinality(options, err);
  std::vector<Record> records;
  try {
    records = ReadRecordsFile(*options.input, ReadOptions{options.label, options.seedText.has_value()});
  } catch (const InputError& error) {
    err << "dorvu-prep: " << Located(*options.input, error) << "\n";
    return ExitFailure;
  }
  if (options.seedText) DrawBootstrapReplicate(records, options.seed);
  const std::string input = InputText(options.cardinality, options.noise, records);
  if (options.output == "-") {
    out << input;
    return 0;
  }
  const std::vector<view::OutputFile> files{{options.output, input},
                                            {NamesPath(options.output), NamesTable(records)}};
  for (const auto& file : files) {
    if (SameFile(file.path, *options.input)) {
      err << "dorvu-prep: " << file.path << ": this output would overwrite INPUT; choose another FILE\n";
      return ExitFailure;
    }
  }
  const std::string problem = view::WriteAllOrNothing(files);
  if (!problem.empty()) {
    err << "dorvu-prep: " << problem << "\n";
    return ExitFailure;
  }
  return 0;
}

}  // namespace

int RunDorvuPrep(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  Options options;
  try {
    options = ParseOptions(args);
  } catch (const UsageError& error) {
    err << "dorvu-prep: " << error.problem << "\nTry \"dorvu-prep --help\".\n";
    return ExitUsage;
  }
  if (options.help) {
    out << HelpText;
    return 0;
  }
  if (options.version) {
    out << "dorvu-prep " << DORVU_PREP_VERSION << "\n";
    return 0;
  }
  return Prepare(options, out, err);
}

}  // namespace dorvu::prep
