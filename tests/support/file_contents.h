// A file's whole contents, for tests that look at what was written.
#pragma once

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

inline std::string Contents(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}
