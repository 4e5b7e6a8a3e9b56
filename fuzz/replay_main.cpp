// Replays every file under the given folders through a fuzz target's entry point, so that kept
// seeds and crash inputs run in ordinary builds without libFuzzer.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) __attribute__((weak));

namespace {
void RunOne(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                    std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
}
}  // namespace

int main(int argc, char** argv) {
    if (LLVMFuzzerInitialize != nullptr) {
        LLVMFuzzerInitialize(&argc, &argv);
    }
    std::size_t count = 0;
    for (int i = 1; i < argc; ++i) {
        const std::filesystem::path root(argv[i]);
        if (std::filesystem::is_regular_file(root)) {
            RunOne(root);
            ++count;
            continue;
        }
        if (!std::filesystem::is_directory(root)) {
            continue;
        }
        for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
            if (entry.is_regular_file() && entry.path().filename().string()[0] != '.') {
                RunOne(entry.path());
                ++count;
            }
        }
    }
    // An empty run would prove nothing; fail so a misplaced corpus is noticed.
    if (count == 0) {
        std::cerr << "no inputs found\n";
        return 1;
    }
    std::cout << "replayed " << count << " inputs\n";
    return 0;
}
