#include "view/command_line.h"

#include "cli/version.h"

namespace dorvu::view {

namespace {

constexpr const char* kHelpText = R"(Usage: dorvu-view [LOG] [-o PREFIX] [--names FILE]
       dorvu-view --summary LOG...
       dorvu-view --support LOG... [-o PREFIX] [--names FILE]
       dorvu-view --scan LOG... [-o PREFIX] [--names FILE]
Draw and tabulate the best scenario of a dorvu run, or tabulate many runs.

Reads the run log LOG (default: dorvu.log in the current directory) and writes
  PREFIX.svg  the tree, root at the top, with a stacked A/C/G/T bar at each of
              the 127 vertices; marked vertices have their name on a vermillion
              badge and the cut branch above each is a dashed vermillion line
  PREFIX.tsv  one row per vertex in the log's order, tab-separated, with the
              header: vertex parent depth marked A C G T
              Values are the log's digits with "." as decimal point (NaN, Inf
              and -Inf for the log's NAN, INF and -INF); the root's parent is
              NA; marked is 1 for the marked vertices and the root. Read the
              vertex and parent columns as text: as numbers 6.1 and 6.10 would
              become the same.
  PREFIX.nwk  the tree in Newick form, every vertex named (the root is "0");
              with --names the leaves carry their names, quoted where Newick
              needs it
PREFIX defaults to LOG without its ".log" ending (dorvu.log gives dorvu.svg,
dorvu.tsv and dorvu.nwk beside the log). When the log holds input errors,
standard error says so as well.

A log of a run on a tree of its own (dorvu --tree, with its line "tree=")
gives instead
  PREFIX.svg  up to 400 tips, the tree left to right with its tip names and a
              stacked A/C/G/T bar at each vertex, by branch length when every
              branch has one; larger trees in a circle without tip names, each
              branch coloured by its vertex's GC share, every cut branch drawn
              out and its vertex badged with its name and clade size
  PREFIX.tsv  as above with three last columns: name (the tip's name or the
              vertex's label, empty when none), tips (the tips below the
              vertex, 1 for a tip) and length (of its branch, as written)
  PREFIX.nwk  the tree with tips by their names, the other vertices by their
              names in the log, and the lengths as written
  PREFIX.nex  the same tree in NEXUS, each vertex with its values as the
              comment [&vertex="d.i",marked=0|1,A=..,C=..,G=..,T=..] and
              label="..." where an internal vertex has a label (a ", [ or ] in
              it becomes ?), as tree viewers and R read per-node data
  PREFIX.itol.branches.txt  the cut branches, and
  PREFIX.itol.bases.txt     a pie of A/C/G/T at each vertex: iTOL datasets
              whose node IDs are the names in PREFIX.nwk
--names does not apply: such a log names its tips itself.

With --summary, writes to standard output one tab-separated row per LOG after
the header: run cardinality noise_level penalty marked input_errors
memory_lines. The run is the name of the log's directory; marked lists the
marked vertices, separated by blanks.

With --support, reads the logs of replicates of one run (all at one
cardinality and one noise level, such as runs with several DORVU_SEED values
or on resampled inputs) and writes
  PREFIX.tsv  one row per vertex in the log's order, with the header: vertex
              parent depth runs marked support
              marked counts the runs whose best scenario marks the vertex (for
              the root, every run); support is marked / runs.
  PREFIX.svg  the tree with the mean A/C/G/T of each vertex over the runs;
              every vertex that some run marks shows its support as a whole
              percentage, and those marked in half the runs or more have a
              badge and a cut branch, darker the higher the support
PREFIX defaults to "support". A log whose cardinality or noise level, as the
log echoes them, differs from those of the first log is refused, and so is a
log of another tree. Logs of a tree of its own add the columns name and tips
to PREFIX.tsv, draw the tree as for one log, and give PREFIX.itol.support.txt
too: the support of each vertex that some run marks, as text on its branch.

With --scan, reads the logs of one input at several cardinalities, one run or
more at each, all at one noise level, and writes
  PREFIX.tsv  one row per cardinality, in increasing order, with the header:
              cardinality runs penalty_min penalty_median penalty_max marked
              The penalties are the logs' digits with "." as decimal point;
              the median of an even number of runs is the mean of the middle
              two, and a NaN counts as the highest penalty. marked lists the
              vertices that half the runs or more mark, separated by blanks.
  PREFIX.svg  the penalty of each run against the cardinality, with a line
              through the medians, and beneath it a grid of the support of
              each vertex that any run marks, one column per cardinality
PREFIX defaults to "scan". A log whose noise level, as the log echoes it,
differs from that of the first log is refused, and so is a log of another
tree. Logs of a tree of its own add the columns name and tips: for the
vertices in marked, their names ("; " between them) and their clade sizes.

Options:
  -o, --output PREFIX  write the files as PREFIX.svg, PREFIX.tsv (and
                       PREFIX.nwk for one log)
      --names FILE     label the leaves with the names in FILE (the table
                       dorvu-prep writes: leaf<TAB>name, a row per leaf) and
                       add a last column "name" to PREFIX.tsv
      --summary        read every LOG given and write the table of runs
      --support        read every LOG given and write the support of each
                       vertex over the runs
      --scan           read every LOG given and write the penalties and the
                       support of each vertex by cardinality
  -h, --help           show this help and exit
      --version        show the version and exit

Exit status: 0 when all files (or the table of runs) were written; 1 when a
log or the names cannot be used (missing, cut short, holding no scenario, not
a dorvu log, or for --support and --scan not matching the first log) or a
file cannot be written, with a message on standard error for every refused
log and no output left behind; 2 for a bad command line.
)";

using cli::OptionValue;
using cli::ShortOptionValue;
using cli::UsageError;

// The option that reads many logs, or nothing.
std::optional<std::string> ManyLogsMode(const Options& options) {
  if (options.summary) return "--summary";
  if (options.support) return "--support";
  if (options.scan) return "--scan";
  return std::nullopt;
}

void CheckCombination(Options& options) {
  if (options.prefix && options.prefix->empty()) throw UsageError{"PREFIX must not be empty"};
  if (options.names && options.names->empty()) throw UsageError{"the names FILE must not be empty"};
  if (int{options.summary} + int{options.support} + int{options.scan} > 1)
    throw UsageError{"--summary, --support and --scan exclude each other"};
  const std::optional<std::string> mode = ManyLogsMode(options);
  if (mode) {
    if (options.summary && (options.prefix || options.names))
      throw UsageError{"--summary writes no files: -o and --names do not apply"};
    if (options.logs.empty() && !options.help && !options.version) throw UsageError{*mode + " needs at least one LOG"};
  } else if (options.logs.size() > 1) {
    throw UsageError{"only one LOG can be given, found \"" + options.logs[1] + "\" as a second"};
  }
  if (options.logs.empty()) options.logs.push_back("dorvu.log");
}

}  // namespace

cli::ProgramText DorvuViewProgramText() { return {"dorvu-view", cli::Version(), kHelpText}; }

Options ParseOptions(const std::vector<std::string>& args) {
  Options options;
  bool optionsEnded = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (optionsEnded || !cli::IsOption(arg)) {
      options.logs.push_back(arg);
    } else if (arg == "--") {
      optionsEnded = true;
    } else if (arg == "-h" || arg == "--help") {
      options.help = true;
    } else if (arg == "--version") {
      options.version = true;
    } else if (arg == "--summary") {
      options.summary = true;
    } else if (arg == "--support") {
      options.support = true;
    } else if (arg == "--scan") {
      options.scan = true;
    } else if (const auto prefix = OptionValue(args, i, "--output", "a PREFIX")) {
      options.prefix = *prefix;
    } else if (const auto shortPrefix = ShortOptionValue(args, i, "-o", "a PREFIX")) {
      options.prefix = *shortPrefix;
    } else if (const auto names = OptionValue(args, i, "--names", "a FILE")) {
      options.names = *names;
    } else {
      throw UsageError{"unknown option \"" + arg + "\""};
    }
  }
  CheckCombination(options);
  return options;
}

}  // namespace dorvu::view
