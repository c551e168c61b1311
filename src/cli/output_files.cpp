#include "cli/output_files.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <system_error>

namespace dorvu::cli {

namespace {

namespace fs = std::filesystem;

std::string TemporaryName(const std::string& path) {
  std::random_device device;
  return path + ".tmp" + std::to_string(device() % 1000000u);
}

// Empty on success, else the reason the system gave.
std::string WriteFile(const std::string& path, const std::string& content) {
  errno = 0;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (out) {
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    out.close();
    if (!out.fail()) return {};
  }
  return errno != 0 ? std::strerror(errno) : "write failed";
}

void RemoveQuietly(const std::vector<std::string>& paths) {
  for (const std::string& path : paths) {
    std::error_code ignored;
    fs::remove(path, ignored);
  }
}

}  // namespace

std::string WriteAllOrNothing(const std::vector<OutputFile>& files) {
  std::vector<std::string> temporaries;
  for (const OutputFile& file : files) {
    temporaries.push_back(TemporaryName(file.path));
    const std::string problem = WriteFile(temporaries.back(), file.content);
    if (!problem.empty()) {
      RemoveQuietly(temporaries);
      return "cannot write \"" + file.path + "\": " + problem;
    }
  }
  std::vector<std::string> renamed;
  for (std::size_t i = 0; i < files.size(); ++i) {
    std::error_code error;
    fs::rename(temporaries[i], files[i].path, error);
    if (error) {
      RemoveQuietly(temporaries);
      RemoveQuietly(renamed);
      return "cannot write \"" + files[i].path + "\": " + error.message();
    }
    renamed.push_back(files[i].path);
  }
  return {};
}

}  // namespace dorvu::cli
