// dorvu-view run in this process, the stored logs its tests read, and the
// tab-separated tables it writes, read back as rows.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "support/processes.h"
#include "view/program.h"
#include "view/run_report.h"

namespace dorvu::test {

// A log kept with the view's tests.
inline std::string ViewDataPath(const std::string& name) { return std::string(DORVU_VIEW_TEST_DATA) + "/" + name; }

// A stored log as the view's reader reads it.
inline view::RunReport ParseFile(const std::string& name) {
  return view::ParseRunLog(ReadFile(ViewDataPath(name)), name);
}

// The fields of each line of a tab-separated table, empty ones included.
inline std::vector<std::vector<std::string>> TsvRows(const std::string& table) {
  std::vector<std::vector<std::string>> rows;
  std::istringstream lines(table);
  for (std::string line; std::getline(lines, line);) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (std::size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
      fields.push_back(line.substr(start, tab - start));
    fields.push_back(line.substr(start));
    rows.push_back(fields);
  }
  return rows;
}

inline ProcessResult RunView(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  ProcessResult result;
  result.status = view::RunDorvuViewProgram(args, {}, out, err);
  result.stdoutText = out.str();
  result.stderrText = err.str();
  return result;
}

}  // namespace dorvu::test
