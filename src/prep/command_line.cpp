#include "prep/command_line.h"

#include <charconv>
#include <string_view>
#include <system_error>

#include "cli/version.h"
#include "prep/decimal.h"
#include "prep/sample_sheet.h"

namespace dorvu::prep {

namespace {

constexpr const char* kHelpText =
    R"(Usage: dorvu-prep [--cardinality N] [--noise X] [--label KIND] [--bootstrap SEED]
                  [--tree TREE [--prune]] [-o FILE] INPUT
       dorvu-prep [--cardinality N] [--noise X] [--bootstrap SEED] [--min-quality Q]
                  [--threads N] [--tree TREE [--prune]] [-o FILE] --samples SHEET
Make a dorvu input (input.txt) from sequences or from a table of compositions.

INPUT is one of
  FASTA    exactly 64 records; the first is leaf 6.1, the next 6.2, and so on.
           Sequences may span lines. A, C, G, T and U count one to their base
           (in either case; U counts as T); R, Y, S, W, K and M one half to
           each of their two bases; B, D, H and V one third to each of their
           three; N, "-", ".", "?" and white space are skipped.
  FASTQ    the same with 64 reads: "@" and the name, the bases on one line
           or more, a line starting with "+", and one quality per base on as
           many lines as they take.
  a table  tab-separated with the header "leaf A C G T" and one row per leaf
           6.1 to 6.64, in any order, of counts or frequencies.
SHEET holds one file per leaf: tab-separated with the header "leaf name path"
and one row per leaf 6.1 to 6.64, in any order. Each path, taken from SHEET's
folder, is a FASTA or FASTQ file with any number of records (contigs,
chromosomes, reads), all counted into the leaf; the names go to the table of
names. Every file may be compressed with gzip or bgzip: the content tells,
not the name.
Each leaf's composition is its four counts divided by their sum.

With --tree TREE, a rooted tree in Newick form, the leaves are TREE's tips,
matched by name in any order: a record's name is its label (see --label), a
table's or SHEET's "leaf" column holds tip names (as they are, not quoted),
and FASTA and FASTQ may hold any number of records. Tips without data, names
without a tip and names given twice are refused, with hints for names that
differ only by blanks written as "_" or only in case.

Writes FILE (default: input.txt) with the two parameter lines and one line
"6.k A:a_C:c_G:g_T:t" per leaf, each value in the shortest form that reads
back as the same double, and beside it the table of leaf and record name,
FILE without its ".txt" ending plus ".names.tsv" (input.txt gives
input.names.tsv; for a table the names are the leaves, for SHEET its names),
for dorvu-view --names. With --tree, the leaf lines are "NAME A:a_C:c_G:g_T:t"
for the tips from the left (NAME quoted as Newick quotes it), and beside FILE
goes, instead of the table of names, the tree the input belongs to: FILE
without ".txt" plus ".nwk" (input.nwk), for dorvu --tree input.nwk.

Options:
      --cardinality N   the presupposed cardinality of scenario (default 3);
                        dorvu searches at most 20, so above 20 a warning
      --noise X         the level of randomness (default 0.1)
      --label KIND      what names a FASTA or FASTQ record in the table of
                        names:
                          word         the header's first word (default)
                          description  the rest of the header, blanks and
                                       tabs made single blanks; the first
                                       word when there is nothing more
                          field:N      the N-th "|"-separated field of the
                                       first word (N from 1)
                        Records must differ in their first words whatever
                        KIND; for a table the names are the leaves, for SHEET
                        its names, and --label does not apply.
      --bootstrap SEED  write one site-bootstrap replicate: each leaf's
                        counted positions (not N, gaps, white space or bases
                        below --min-quality; for SHEET those of all the
                        leaf's records) drawn with replacement, as many as it
                        has. SEED, a whole number from 0 to 2^64-1, fixes the
                        draws: the same SEED and input give the same file on
                        every system. A table must hold whole counts, at most
                        2^32 a row.
      --samples SHEET   read one file per leaf as SHEET lists them, instead
                        of INPUT
      --min-quality Q   FASTQ: skip every base whose quality is below Q, a
                        Phred score from 0 to 93 written as "!" (0) to "~"
                        (93); the default 0 counts every base
      --threads N       read SHEET's files on N threads (default: every
                        processor dorvu-prep may run on); the files written
                        are the same for every N
      --tree TREE       match the records to the tips of TREE by name and
                        write the input for dorvu --tree; the bootstrap
                        draws the tips from the left
      --prune           with --tree: drop the tips without data from the
                        tree, and skip the names without a tip; a vertex
                        left with one child is merged with it, the two
                        branch lengths added (written in the shortest form
                        that reads back as the same double); says both
                        counts on standard error; needs -o FILE
  -o, --output FILE     write FILE; "-" writes the input to standard output
                        and no table of names (with --tree, no tree: TREE
                        is the input's tree)
  -h, --help            show this help and exit
      --version         show the version and exit

Exit status: 0 when the files were written; 1 when INPUT, SHEET or TREE is
refused, the names do not match or a file cannot be written, with a message
that names the file, the line and the record, and no file written; 2 for a bad
command line.
)";

using cli::OptionValue;
using cli::ShortOptionValue;
using cli::UsageError;

// The whole of `text` as a decimal number without a sign; nothing when it is
// anything else or out of the range of T.
template <typename T>
std::optional<T> WholeDecimal(const std::string& text) {
  T value{};
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || text[0] == '-' || error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
  return value;
}

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

// Checks the values given and reads the label and the seed from their texts.
void CheckValues(Options& options) {
  if (!options.input && !options.samples) throw UsageError{"no INPUT or --samples SHEET given"};
  if (options.input && options.samples)
    throw UsageError{"give INPUT or --samples SHEET, not both (found \"" + *options.input + "\")"};
  if (options.output.empty()) throw UsageError{"FILE must not be empty"};
  if (options.prune && !options.tree) throw UsageError{"--prune needs --tree TREE"};
  if (options.prune && options.output == "-")
    throw UsageError{"--prune writes the pruned tree beside the input and needs -o FILE, not \"-\""};
  // A whole decimal number that dorvu reads as a 32-bit integer.
  const auto cardinality = WholeDecimal<int>(options.cardinality);
  if (!cardinality)
    throw UsageError{"--cardinality needs a whole number from 0 to 2147483647, not \"" + options.cardinality + "\""};
  options.cardinalityNumber = *cardinality;
  if (!IsNoiseLevel(options.noise))
    throw UsageError{"--noise needs a number of at least 0 such as 0.1, .05 or 1e-3, not \"" + options.noise + "\""};
  options.label = ParseLabel(options.labelText);
  const auto minQuality = WholeDecimal<int>(options.minQualityText);
  if (!minQuality || *minQuality > kMaxQuality)
    throw UsageError{"--min-quality needs a whole number from 0 to " + std::to_string(kMaxQuality) + ", not \"" +
                     options.minQualityText + "\""};
  options.minQuality = *minQuality;
  options.threads = AvailableProcessors();
  if (options.threadsText) {
    const auto threads = WholeDecimal<int>(*options.threadsText);
    if (!threads || *threads < 1)
      throw UsageError{"--threads needs a whole number from 1 to 2147483647, not \"" + *options.threadsText + "\""};
    options.threads = *threads;
  }
  if (!options.seedText) return;
  const auto seed = WholeDecimal<std::uint64_t>(*options.seedText);
  if (!seed)
    throw UsageError{"--bootstrap needs a whole number from 0 to 18446744073709551615, not \"" + *options.seedText +
                     "\""};
  options.seed = *seed;
}

}  // namespace

cli::ProgramText DorvuPrepProgramText() { return {"dorvu-prep", cli::Version(), kHelpText}; }

Options ParseOptions(const std::vector<std::string>& args) {
  Options options;
  bool optionsEnded = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (optionsEnded || !cli::IsOption(arg)) {
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
    } else if (const auto sheet = OptionValue(args, i, "--samples", "a SHEET")) {
      options.samples = *sheet;
    } else if (const auto tree = OptionValue(args, i, "--tree", "a TREE")) {
      options.tree = *tree;
    } else if (arg == "--prune") {
      options.prune = true;
    } else if (const auto q = OptionValue(args, i, "--min-quality", "a number Q")) {
      options.minQualityText = *q;
    } else if (const auto n = OptionValue(args, i, "--threads", "a number N")) {
      options.threadsText = *n;
    } else if (const auto file = OptionValue(args, i, "--output", "a FILE")) {
      options.output = *file;
    } else if (const auto shortFile = ShortOptionValue(args, i, "-o", "a FILE")) {
      options.output = *shortFile;
    } else {
      throw UsageError{"unknown option \"" + arg + "\""};
    }
  }
  if (!options.help && !options.version) CheckValues(options);
  return options;
}

}  // namespace dorvu::prep
