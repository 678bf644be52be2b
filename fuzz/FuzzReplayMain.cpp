// Replay driver for fuzz targets without libFuzzer: runs every seed file given (files or
// folders) and then --runs=N generated inputs (mutated seeds and random bytes, fixed seed).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

std::vector<std::uint8_t> ReadFileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void CollectSeeds(const std::filesystem::path& path,
                  std::vector<std::vector<std::uint8_t>>& seeds) {
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) {
        for (const auto& entry : std::filesystem::recursive_directory_iterator(path, error)) {
            if (entry.is_regular_file()) {
                seeds.push_back(ReadFileBytes(entry.path()));
            }
        }
    } else if (std::filesystem::is_regular_file(path, error)) {
        seeds.push_back(ReadFileBytes(path));
    }
}

void Mutate(std::vector<std::uint8_t>& input, std::mt19937& random) {
    const int edits = 1 + static_cast<int>(random() % 8);
    for (int i = 0; i < edits; ++i) {
        switch (random() % 4) {
            case 0:
                if (!input.empty()) {
                    input[random() % input.size()] = static_cast<std::uint8_t>(random());
                }
                break;
            case 1:
                input.insert(input.begin() + static_cast<long>(random() % (input.size() + 1)),
                             static_cast<std::uint8_t>(random()));
                break;
            case 2:
                if (!input.empty()) {
                    input.erase(input.begin() + static_cast<long>(random() % input.size()));
                }
                break;
            default:
                if (!input.empty()) {
                    input.resize(random() % (input.size() + 1));
                }
                break;
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    long runs = 0;
    std::vector<std::vector<std::uint8_t>> seeds;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.rfind("--runs=", 0) == 0) {
            runs = std::strtol(arg.c_str() + 7, nullptr, 10);
        } else {
            CollectSeeds(arg, seeds);
        }
    }
    for (const auto& seed : seeds) {
        LLVMFuzzerTestOneInput(seed.data(), seed.size());
    }
    std::mt19937 random(12345);
    for (long run = 0; run < runs; ++run) {
        std::vector<std::uint8_t> input;
        if (!seeds.empty() && random() % 4 != 0) {
            input = seeds[random() % seeds.size()];
            Mutate(input, random);
        } else {
            input.resize(random() % 512);
            for (auto& byte : input) {
                byte = static_cast<std::uint8_t>(random());
            }
        }
        LLVMFuzzerTestOneInput(input.data(), input.size());
    }
    std::printf("%zu seeds and %ld generated inputs ran\n", seeds.size(), runs);
    return 0;
}
