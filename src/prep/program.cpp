#include "prep/program.h"

#include <ostream>

#include "cli/command_line_shape.h"
#include "cli/output_files.h"
#include "log/log_lines.h"
#include "prep/command_line.h"
#include "prep/input_file.h"
#include "prep/records.h"
#include "prep/sample_sheet.h"
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
  const ReadOptions readOptions{options.label, options.seedText.has_value(), options.minQuality};
  if (!options.samples) {
    sources.push_back({*options.input, "INPUT"});
    return ReadRecordsFile(*options.input, readOptions);
  }
  sources.push_back({*options.samples, "SHEET"});
  const std::vector<SampleRow> rows = ReadSampleSheet(*options.samples, readOptions);
  for (const SampleRow& row : rows) sources.push_back({row.file, "the file of leaf " + LeafVertexName(row.leaf)});
  return CountSamples(rows, readOptions, options.threads);
}

int Prepare(const Options& options, std::ostream& out, std::ostream& err) {
  WarnAboutCardinality(options, err);
  std::vector<Record> records;
  std::vector<SourceFile> sources;
  try {
    records = ReadInput(options, sources);
  } catch (const cli::LocatedError& error) {
    err << "dorvu-prep: " << cli::Located(sources.front().path, error) << "\n";
    return cli::kExitFailure;
  }
  if (options.seedText) DrawBootstrapReplicate(records, options.seed);
  const std::string input = InputText(options.cardinality, options.noise, records);
  if (options.output == "-") {
    out << input;
    return 0;
  }
  const std::vector<cli::OutputFile> files{{options.output, input}, {NamesPath(options.output), NamesTable(records)}};
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
