#include "prep/program.h"

#include <ostream>

#include "cli/command_line_shape.h"
#include "cli/output_files.h"
#include "log/io_error.h"
#include "log/log_lines.h"
#include "prep/command_line.h"
#include "prep/input_file.h"
#include "prep/records.h"
#include "prep/sample_sheet.h"
#include "prep/tree_form.h"
#include "tree/newick.h"
#include "tree/tree_shape.h"

namespace dorvu::prep {

namespace {

// dorvu runs a larger cardinality as its limit; said here so that it is no surprise later.
void WarnAboutCardinality(const Options& options, std::ostream& err) {
  if (options.cardinalityNumber > log_lines::kMaxCardinality)
    err << "dorvu-prep: warning: --cardinality " << options.cardinality << " is above " << log_lines::kMaxCardinality
        << ", the most dorvu searches; the run will be limited to " << log_lines::kMaxCardinality << "\n";
}

// A file that is read, and how a message names it.
struct SourceFile {
  std::string path;
  std::string what;
};

// The records of INPUT or of SHEET's files, and every file they come from.
std::vector<Record> ReadInput(const Options& options, std::vector<SourceFile>& sources) {
  ReadOptions readOptions{options.label, options.seedText.has_value(), options.minQuality};
  readOptions.byName = options.tree.has_value();
  if (!options.samples) {
    sources.push_back({*options.input, "INPUT"});
    return ReadRecordsFile(*options.input, readOptions);
  }
  sources.push_back({*options.samples, "SHEET"});
  const std::vector<SampleRow> rows = ReadSampleSheet(*options.samples, readOptions);
  for (const SampleRow& row : rows) sources.push_back({row.file, "the file of leaf " + RowLeafName(row)});
  return CountSamples(rows, readOptions, options.threads);
}

// TREE read as dorvu reads it; nothing, with the refusal said, when it cannot be.
std::optional<NewickTree> ReadTree(const std::string& path, std::ostream& err) {
  try {
    return ReadNewickFile(path);
  } catch (const NewickError& error) {
    err << "dorvu-prep: " << path << ":" << error.line << ":" << error.column << ": " << error.message << "\n";
  } catch (const IoError& error) {
    err << "dorvu-prep: " << error.message << "\n";
  }
  return std::nullopt;
}

int Prepare(const Options& options, std::ostream& out, std::ostream& err) {
  WarnAboutCardinality(options, err);
  std::optional<NewickTree> tree;
  if (options.tree && !(tree = ReadTree(*options.tree, err))) return cli::kExitFailure;
  std::vector<Record> records;
  std::vector<SourceFile> sources;
  try {
    records = ReadInput(options, sources);
  } catch (const cli::LocatedError& error) {
    err << "dorvu-prep: " << cli::Located(sources.front().path, error) << "\n";
    return cli::kExitFailure;
  }
  if (tree) {
    try {
      TipMatch match = MatchTips(*tree, std::move(records), options.prune,
                                 {*options.tree, sources.front().path, options.samples ? "the sheet" : "the records"});
      if (options.prune)
        err << "dorvu-prep: --prune dropped " << match.tipsDropped << " tip" << (match.tipsDropped == 1 ? "" : "s")
            << " without data from the tree and skipped " << match.namesSkipped << " name"
            << (match.namesSkipped == 1 ? "" : "s") << " without a tip\n";
      *tree = std::move(match.tree);
      records = std::move(match.records);
    } catch (const MatchRefused& refused) {
      err << refused.text;
      return cli::kExitFailure;
    }
  }
  if (options.seedText) DrawBootstrapReplicate(records, options.seed);
  const std::string input = tree ? TreeInputText(options.cardinality, options.noise, *tree, records)
                                 : InputText(options.cardinality, options.noise, records);
  if (options.output == "-") {
    out << input;
    return 0;
  }
  const std::vector<cli::OutputFile> files{{options.output, input},
                                           tree ? cli::OutputFile{TreePath(options.output), NewickText(*tree) + "\n"}
                                                : cli::OutputFile{NamesPath(options.output), NamesTable(records)}};
  if (tree) sources.push_back({*options.tree, "TREE"});
  for (const auto& file : files) {
    for (const auto& source : sources) {
      if (!cli::SameFile(file.path, source.path)) continue;
      err << "dorvu-prep: " << file.path << ": this output would overwrite " << source.what
          << "; choose another FILE\n";
      return cli::kExitFailure;
    }
  }
  const std::string problem = cli::WriteAllOrNothing(files);
  if (!problem.empty()) {
    err << "dorvu-prep: " << problem << "\n";
    return cli::kExitFailure;
  }
  return 0;
}

}  // namespace

int RunDorvuPrepProgram(const std::vector<std::string>& args, const cli::Environment& /*environment*/,
                        std::ostream& out, std::ostream& err) {
  Options options;
  try {
    options = ParseOptions(args);
  } catch (const cli::UsageError& error) {
    return cli::RefuseCommandLine(DorvuPrepProgramText(), error, err);
  }
  if (cli::AnswerHelpOrVersion(DorvuPrepProgramText(), options.help, options.version, out)) return 0;
  return Prepare(options, out, err);
}

}  // namespace dorvu::prep
