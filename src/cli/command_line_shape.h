// What the command lines of dorvu-view and dorvu-prep have in common: how an
// option takes its value, how a bad command line, --help and --version are
// answered, when an output would replace an input, and the exit statuses.
// Each program keeps its own options, help text and checks.
#pragma once

#include <cstddef>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dorvu::cli {

inline constexpr int kExitFailure = 1;  // an input is refused or an output cannot be written
inline constexpr int kExitUsage = 2;    // a bad command line

// A bad command line; `problem` is said after the program's name.
struct UsageError {
  std::string problem;
};

// How a program names itself in messages and answers --help and --version.
struct ProgramText {
  std::string_view name;  // such as "dorvu-view"
  std::string_view version;
  std::string_view help;  // the whole --help text
};

// An option rather than an operand: it starts with "-" and is more than "-".
// The caller handles "--", after which nothing is an option.
bool IsOption(const std::string& arg);

// The argument after args[i], with i moved onto it. Throws UsageError
// "option OPTION needs WHAT" when there is none; WHAT is such as "a FILE".
std::string TakeValue(const std::vector<std::string>& args, std::size_t& i, const std::string& option,
                      const std::string& what);

// The value of "--name VALUE" or "--name=VALUE" at args[i]; nothing when
// args[i] is another option.
std::optional<std::string> OptionValue(const std::vector<std::string>& args, std::size_t& i, const std::string& name,
                                       const std::string& what);

// The value of "-o VALUE" or "-oVALUE" at args[i] for the short option `name`
// ("-o"); nothing when args[i] is another option.
std::optional<std::string> ShortOptionValue(const std::vector<std::string>& args, std::size_t& i,
                                            const std::string& name, const std::string& what);

// Writes "PROGRAM: problem" and a pointer to --help to `err`; returns kExitUsage.
int RefuseCommandLine(const ProgramText& program, const UsageError& error, std::ostream& err);

// Writes the help text, or else the version line, when one was asked for;
// false when neither was.
bool AnswerHelpOrVersion(const ProgramText& program, bool help, bool version, std::ostream& out);

// True when writing `output` would replace the file `input`: the same path
// once resolved, or the same file on disk under another name.
bool SameFile(const std::string& output, const std::string& input);

}  // namespace dorvu::cli
