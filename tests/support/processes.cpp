#include "support/processes.h"

#include <sys/wait.h>

#include <cstdlib>
#include <sstream>

#include "log/number_format.h"

namespace dorvu::test {

ProcessResult RunExecutable(const std::filesystem::path& dir, const std::string& environment,
                            const std::string& arguments, const std::string& executable) {
  const std::string errors = dir.string() + ".stderr";
  const std::string output = dir.string() + ".stdout";
  const std::string command = "cd '" + dir.string() + "' && env " + environment + " '" + executable + "' " + arguments +
                              " > '" + output + "' 2> '" + errors + "'";
  const int raw = std::system(command.c_str());
  ProcessResult result;
  result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  result.stderrText = ReadFile(errors);
  result.stdoutText = ReadFile(output);
  std::filesystem::remove(errors);
  std::filesystem::remove(output);
  return result;
}

ProcessResult RunProgram(const std::filesystem::path& dir, const Environment& environment,
                         const std::vector<std::string>& args) {
  struct WorkingDirectory {
    std::filesystem::path before = std::filesystem::current_path();
    explicit WorkingDirectory(const std::filesystem::path& dir) { std::filesystem::current_path(dir); }
    ~WorkingDirectory() { std::filesystem::current_path(before); }
  } inDir(dir);
  std::ostringstream out, err;
  ProcessResult result;
  result.status = RunDorvuProgram(args, environment, out, err);
  SetDecimalSeparator('.');  // the separator is the process's: leave it as other tests expect it
  result.stdoutText = out.str();
  result.stderrText = err.str();
  return result;
}

}  // namespace dorvu::test
