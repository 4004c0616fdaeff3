// Whole-file reads and writes for tests that set up or check files on disk.
#pragma once

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace kestrune::testing {

// The file's bytes; empty when it cannot be read.
inline std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// Makes the file hold exactly `bytes`.
inline void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

}  // namespace kestrune::testing
