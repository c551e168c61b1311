#include "prep/command_line.h"

#include <charconv>
#include <filesystem>
#include <optional>
#include <ostream>
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

constexpr const char* HelpText = R"(Usage: dorvu-prep [--cardinality N] [--noise X] [-o FILE] INPUT
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
      --cardinality N  the presupposed cardinality of scenario (default 3)
      --noise X        the level of randomness (default 0.1)
  -o, --output FILE    write FILE; "-" writes the input to standard output
                       and no table of names
  -h, --help           show this help and exit
      --version        show the version and exit

Exit status: 0 when the files were written; 1 when INPUT is refused or a
file cannot be written, with a message that names the file, the line and the
record, and no file written; 2 for a bad command line.
)";

struct Options {
  std::optional<std::string> input;
  std::string output = "input.txt";
  std::string cardinality = "3";
  std::string noise = "0.1";
  bool help = false;
  bool version = false;
};

struct UsageError {
  std::string problem;
};

// A whole decimal number that dorvu reads as a 32-bit integer.
bool IsCardinality(const std::string& text) {
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return !text.empty() && text[0] != '-' && error == std::errc{} && end == text.data() + text.size();
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

void CheckValues(const Options& options) {
  if (!options.input) throw UsageError{"no INPUT given"};
  if (options.output.empty()) throw UsageError{"FILE must not be empty"};
  if (!IsCardinality(options.cardinality))
    throw UsageError{"--cardinality needs a whole number from 0 to 2147483647, not \"" + options.cardinality +
                     "\""};
  if (!IsNoiseLevel(options.noise))
    throw UsageError{"--noise needs a number of at least 0 such as 0.1, .05 or 1e-3, not \"" + options.noise +
                     "\""};
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

int Prepare(const Options& options, std::ostream& out, std::ostream& err) {
  std::vector<Record> records;
  try {
    records = ReadRecordsFile(*options.input);
  } catch (const InputError& error) {
    err << "dorvu-prep: " << Located(*options.input, error) << "\n";
    return ExitFailure;
  }
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
