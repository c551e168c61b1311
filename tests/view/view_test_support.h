// Helpers shared by the dorvu-view tests.
#pragma once

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

namespace dorvu::view::testing {

inline std::string DataPath(const std::string& name) {
  return std::string(DORVU_VIEW_TEST_DATA) + "/" + name;
}

inline std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

inline void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

// A fresh directory, removed with everything in it at the end of the test.
struct ScratchDirectory {
  std::filesystem::path path;
  ScratchDirectory() {
    std::random_device device;
    path = std::filesystem::temp_directory_path() / ("dorvu-view-test-" + std::to_string(device()));
    std::filesystem::create_directories(path);
  }
  ~ScratchDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
  }
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;
};

}  // namespace dorvu::view::testing
