#pragma once
// Shared by the fuzz targets: a scratch folder of the process, removed at exit, where file
// readers find their input, and a check that aborts with a message (a finding) when false.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace altrix::fuzz {

inline const std::filesystem::path& ScratchDir() {
    static const std::filesystem::path dir = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "altrix-fuzz-XXXXXX").string();
        if (!mkdtemp(pattern.data())) std::abort();
        std::atexit([] { std::filesystem::remove_all(ScratchDir()); });
        return std::filesystem::path(pattern);
    }();
    return dir;
}

// The input as the file `name` in the scratch folder; returns its path.
inline std::string WriteInput(const char* name, const std::uint8_t* data, std::size_t size) {
    const std::string path = (ScratchDir() / name).string();
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file || std::fwrite(data, 1, size, file) != size || std::fclose(file) != 0) std::abort();
    return path;
}

#define FUZZ_CHECK(condition)                                                            \
    do {                                                                                 \
        if (!(condition)) {                                                              \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                \
        }                                                                                \
    } while (false)

}  // namespace altrix::fuzz
