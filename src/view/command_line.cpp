#include "view/command_line.hpp"

#include <filesystem>
#include <optional>
#include <ostream>
#include <system_error>

#include "view/output_files.hpp"
#include "view/report_writers.hpp"
#include "view/run_report.hpp"

#ifndef DORVU_VIEW_VERSION
#define DORVU_VIEW_VERSION "1.0.0"
#endif

namespace dorvu::view {

namespace {

constexpr const char* kHelp = R"(Usage: dorvu-view [LOG] [-o PREFIX]
Draw and tabulate the best scenario of a dorvu run.

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
  PREFIX.nwk  the tree in Newick form, every vertex named (the root is "0")
PREFIX defaults to LOG without its ".log" ending (dorvu.log gives dorvu.svg,
dorvu.tsv and dorvu.nwk beside the log).

Options:
  -o, --output PREFIX  write PREFIX.svg, PREFIX.tsv and PREFIX.nwk
  -h, --help           show this help and exit
      --version        show the version and exit

Exit status: 0 when all three files were written; 1 when the log cannot be
used (missing, cut short, holding no scenario, or not a dorvu log) or a file
cannot be written, with a message on standard error and no output files left
behind; 2 for a bad command line.
)";

struct Options {
    std::string log = "dorvu.log";
    std::optional<std::string> prefix;
    bool help = false;
    bool version = false;
};

struct UsageError {
    std::string problem;
};

std::string take_value(const std::vector<std::string>& args, std::size_t& i, const std::string& option) {
    if (i + 1 >= args.size()) throw UsageError{"option " + option + " needs a PREFIX"};
    return args[++i];
}

Options parse_options(const std::vector<std::string>& args) {
    Options options;
    bool haveLog = false;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool isOption = !optionsEnded && arg.size() > 1 && arg[0] == '-';
        if (!isOption) {
            if (haveLog) throw UsageError{"only one LOG can be given, found \"" + arg + "\" as a second"};
            options.log = arg;
            haveLog = true;
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "-h" || arg == "--help") {
            options.help = true;
        } else if (arg == "--version") {
            options.version = true;
        } else if (arg == "-o" || arg == "--output") {
            options.prefix = take_value(args, i, arg);
        } else if (arg.starts_with("--output=")) {
            options.prefix = arg.substr(9);
        } else if (arg.starts_with("-o")) {
            options.prefix = arg.substr(2);
        } else {
            throw UsageError{"unknown option \"" + arg + "\""};
        }
    }
    if (options.prefix && options.prefix->empty()) throw UsageError{"PREFIX must not be empty"};
    return options;
}

std::string default_prefix(const std::string& log) {
    constexpr std::string_view kEnding = ".log";
    if (log.size() > kEnding.size() && log.ends_with(kEnding)) return log.substr(0, log.size() - kEnding.size());
    return log;
}

std::string located(const std::string& log, const LogError& error) {
    return log + (error.line > 0 ? ":" + std::to_string(error.line) : std::string()) + ": " + error.problem;
}

bool same_file(const std::string& a, const std::string& b) {
    std::error_code error;
    return std::filesystem::weakly_canonical(a, error) == std::filesystem::weakly_canonical(b, error);
}

int make_outputs(const Options& options, std::ostream& err) {
    RunReport report;
    try {
        report = read_run_log(options.log);
    } catch (const LogError& error) {
        err << "dorvu-view: " << located(options.log, error) << "\n";
        return kExitFailure;
    }
    const std::string prefix = options.prefix.value_or(default_prefix(options.log));
    const std::vector<OutputFile> files{{prefix + ".svg", svg_picture(report)},
                                        {prefix + ".tsv", tsv_table(report)},
                                        {prefix + ".nwk", newick_tree()}};
    for (const OutputFile& file : files) {
        if (same_file(file.path, options.log)) {
            err << "dorvu-view: " << file.path << ": this output would overwrite the log; choose another PREFIX\n";
            return kExitFailure;
        }
    }
    const std::string problem = write_all_or_nothing(files);
    if (!problem.empty()) {
        err << "dorvu-view: " << problem << "\n";
        return kExitFailure;
    }
    return 0;
}

}  // namespace

int run_dorvu_view(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    Options options;
    try {
        options = parse_options(args);
    } catch (const UsageError& error) {
        err << "dorvu-view: " << error.problem << "\nTry \"dorvu-view --help\".\n";
        return kExitUsage;
    }
    if (options.help) {
        out << kHelp;
        return 0;
    }
    if (options.version) {
        out << "dorvu-view " << DORVU_VIEW_VERSION << "\n";
        return 0;
    }
    return make_outputs(options, err);
}

}  // namespace dorvu::view
