#include "input/input_check.h"

#include <algorithm>

namespace dorvu {

std::string RunWarnings(const std::vector<InputFinding>& findings, const std::string& inputPath,
                        const std::string& logPath) {
  std::string text;
  for (const InputFinding& finding : findings)
    if (!finding.logged) text += "dorvu: warning: " + finding.text + "\n";
  const auto logged = std::count_if(findings.begin(), findings.end(), [](const InputFinding& f) { return f.logged; });
  if (logged > 0)
    text += "dorvu: warning: " + logPath + " reports " + std::to_string(logged) +
            (logged == 1 ? " problem" : " problems") + " in " + inputPath + "; \"dorvu --check\" lists " +
            (logged == 1 ? "it" : "them") + "\n";
  return text;
}

}  // namespace dorvu
