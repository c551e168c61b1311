#include "view/output_files.hpp"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <system_error>

namespace dorvu::view {

namespace {

namespace fs = std::filesystem;

std::string temporary_name(const std::string& path) {
    std::random_device device;
    return path + ".tmp" + std::to_string(device() % 1000000u);
}

// Empty on success, else the reason the system gave.
std::string write_file(const std::string& path, const std::string& content) {
    errno = 0;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (out) {
        out.write(content.data(), static_cast<std::streamsize>(content.size()));
        out.close();
        if (!out.fail()) return {};
    }
    return errno != 0 ? std::strerror(errno) : "write failed";
}

void remove_quietly(const std::vector<std::string>& paths) {
    for (const std::string& path : paths) {
        std::error_code ignored;
        fs::remove(path, ignored);
    }
}

}  // namespace

std::string write_all_or_nothing(const std::vector<OutputFile>& files) {
    std::vector<std::string> temporaries;
    for (const OutputFile& file : files) {
        temporaries.push_back(temporary_name(file.path));
        const std::string problem = write_file(temporaries.back(), file.content);
        if (!problem.empty()) {
            remove_quietly(temporaries);
            return "cannot write \"" + file.path + "\": " + problem;
        }
    }
    std::vector<std::string> renamed;
    for (std::size_t i = 0; i < files.size(); ++i) {
        std::error_code error;
        fs::rename(temporaries[i], files[i].path, error);
        if (error) {
            remove_quietly(temporaries);
            remove_quietly(renamed);
            return "cannot write \"" + files[i].path + "\": " + error.message();
        }
        renamed.push_back(files[i].path);
    }
    return {};
}

}  // namespace dorvu::view
