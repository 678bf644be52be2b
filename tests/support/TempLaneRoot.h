// A fresh lane root in the temporary folder for one test, removed afterwards.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

namespace lane::testing {

class TempLaneRoot {
public:
    TempLaneRoot() {
        std::random_device random;
        // Short names: the stand-ins put Unix sockets under the root, whose paths are limited.
        path_ = std::filesystem::temp_directory_path() /
                ("lr" + std::to_string(random() % 1000000000u));
        std::filesystem::create_directories(path_ / "c");
    }
    ~TempLaneRoot() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempLaneRoot(const TempLaneRoot&) = delete;
    TempLaneRoot& operator=(const TempLaneRoot&) = delete;

    std::string Path() const { return path_.string(); }
    std::filesystem::path operator/(const std::string& relative) const { return path_ / relative; }

private:
    std::filesystem::path path_;
};

inline std::string ReadWholeFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace lane::testing
