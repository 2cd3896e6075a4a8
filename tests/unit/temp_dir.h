// A scratch directory for tests that work on real files, removed with everything in it when the
// object goes.
#pragma once

#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

// Moves the working directory to dir for the object's lifetime (throws when dir cannot be
// entered), and back afterwards.
class ScopedWorkingDir {
  public:
    explicit ScopedWorkingDir(const std::filesystem::path& dir)
        : before_(std::filesystem::current_path()) {
        std::filesystem::current_path(dir);
    }
    ~ScopedWorkingDir() {
        std::error_code ec;
        std::filesystem::current_path(before_, ec);
    }
    ScopedWorkingDir(const ScopedWorkingDir&) = delete;
    ScopedWorkingDir& operator=(const ScopedWorkingDir&) = delete;

  private:
    std::filesystem::path before_;
};

class TempDir {
  public:
    TempDir() {
        static std::atomic<int> serial{0};
        dir_ = std::filesystem::temp_directory_path() /
               ("lapiz_test_" + std::to_string(::getpid()) + "_" + std::to_string(serial++));
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& dir() const { return dir_; }
    std::string path(const std::string& name) const { return (dir_ / name).string(); }

    // Writes the bytes to a file in the directory and returns its path.
    std::string write(const std::string& name, const std::vector<std::uint8_t>& bytes) const {
        const std::string p = path(name);
        std::ofstream out(p, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        return p;
    }
    std::vector<std::uint8_t> read(const std::string& name) const {
        std::ifstream in(path(name), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

  private:
    std::filesystem::path dir_;
};
