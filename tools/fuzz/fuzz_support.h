// What the fuzz targets share: a scratch file for loaders that read files, a way to fail that
// libFuzzer records as a crash, and warnings kept from growing without bound.
#pragma once

#include "platform/testing.h"

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace fuzzsupport {

// Writes the input to a file of this process named `name` in the temporary folder, removed when
// the process ends, and returns its path.
inline const std::string& WriteScratch(const char* name, const std::uint8_t* data,
                                       std::size_t size) {
    static const std::filesystem::path dir = [] {
        auto d =
            std::filesystem::temp_directory_path() / ("lapiz_fuzz_" + std::to_string(::getpid()));
        std::filesystem::create_directories(d);
        std::atexit([] {
            std::error_code ec;
            std::filesystem::remove_all(std::filesystem::temp_directory_path() /
                                            ("lapiz_fuzz_" + std::to_string(::getpid())),
                                        ec);
        });
        return d;
    }();
    static std::string path;
    path = (dir / name).string();
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f || (size && std::fwrite(data, 1, size, f) != size) || std::fclose(f) != 0) {
        std::fprintf(stderr, "cannot write the scratch file %s\n", path.c_str());
        std::abort();
    }
    return path;
}

// Ends the run as a crash, saying why; libFuzzer keeps the input that did it.
[[noreturn]] inline void Fail(const char* what) {
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}

// Warning writes each message once and remembers it; inputs name endless different things, so
// the memory is let go every few thousand runs.
inline void AfterRun() {
    static int runs = 0;
    if (++runs % 4096 == 0) testseam::ForgetWarnings();
}

} // namespace fuzzsupport
