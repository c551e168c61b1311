#include "cli/command_line_shape.h"

#include <filesystem>
#include <ostream>
#include <system_error>

namespace dorvu::cli {

bool IsOption(const std::string& arg) { return arg.size() > 1 && arg[0] == '-'; }

std::string TakeValue(const std::vector<std::string>& args, std::size_t& i, const std::string& option,
                      const std::string& what) {
  if (i + 1 >= args.size()) throw UsageError{"option " + option + " needs " + what};
  return args[++i];
}

std::optional<std::string> OptionValue(const std::vector<std::string>& args, std::size_t& i, const std::string& name,
                                       const std::string& what) {
  const std::string& arg = args[i];
  if (arg == name) return TakeValue(args, i, arg, what);
  if (arg.starts_with(name + "=")) return arg.substr(name.size() + 1);
  return std::nullopt;
}

std::optional<std::string> ShortOptionValue(const std::vector<std::string>& args, std::size_t& i,
                                            const std::string& name, const std::string& what) {
  const std::string& arg = args[i];
  if (arg == name) return TakeValue(args, i, arg, what);
  if (arg.starts_with(name)) return arg.substr(name.size());
  return std::nullopt;
}

int RefuseCommandLine(const ProgramText& program, const UsageError& error, std::ostream& err) {
  err << program.name << ": " << error.problem << "\nTry \"" << program.name << " --help\".\n";
  return kExitUsage;
}

bool AnswerHelpOrVersion(const ProgramText& program, bool help, bool version, std::ostream& out) {
  if (help) {
    out << program.help;
    return true;
  }
  if (version) {
    out << program.name << " " << program.version << "\n";
    return true;
  }
  return false;
}

bool SameFile(const std::string& output, const std::string& input) {
  namespace fs = std::filesystem;
  // The same file on disk, under any path: through "..", symbolic links or a
  // hard link.
  std::error_code error;
  if (fs::equivalent(output, input, error)) return true;
  // equivalent() tells nothing when either path is missing (such as an input
  // removed since it was read); the two paths, resolved as far as they exist,
  // still can. A path that cannot be resolved matches nothing.
  std::error_code outputError;
  std::error_code inputError;
  const fs::path resolvedOutput = fs::weakly_canonical(output, outputError);
  const fs::path resolvedInput = fs::weakly_canonical(input, inputError);
  return !outputError && !inputError && resolvedOutput == resolvedInput;
}

}  // namespace dorvu::cli
