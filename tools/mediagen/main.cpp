// mediagen: writes the demo's media folder from code.
//
//   mediagen <outdir>
//
// Every image, song, line drawing and the scene file is made here, deterministically: two runs
// write the same bytes. The jobs run on a few threads; each writes its own files.
#include "tools/mediagen/media.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>

namespace mediagen {

void WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    const std::string tmp = path + ".part";
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        out.close();
        if (!out) {
            std::remove(tmp.c_str());
            throw std::runtime_error("cannot write " + path);
        }
    }
    std::error_code ec;
    std::filesystem::rename(tmp, path, ec);
    if (ec) {
        std::remove(tmp.c_str());
        throw std::runtime_error("cannot write " + path + ": " + ec.message());
    }
}

void PutI32(std::vector<std::uint8_t>& out, std::int32_t v) {
    const auto u = std::uint32_t(v);
    for (int i = 0; i < 4; ++i) out.push_back(std::uint8_t(u >> (8 * i)));
}

void PutF32(std::vector<std::uint8_t>& out, float v) {
    PutI32(out, std::bit_cast<std::int32_t>(v));
}

} // namespace mediagen

int main(int argc, char** argv) {
    using namespace mediagen;
    if (argc != 2) {
        std::fprintf(stderr, "usage: mediagen <outdir>\n");
        return 2;
    }
    const std::string dir = argv[1];
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (!std::filesystem::is_directory(dir)) {
        std::fprintf(stderr, "mediagen: cannot make the folder %s\n", dir.c_str());
        return 1;
    }

    // The songs take longest, so they start first.
    std::vector<Job> jobs = SongJobs();
    for (Job& j : ImageJobs()) jobs.push_back(std::move(j));
    for (Job& j : DrawingJobs()) jobs.push_back(std::move(j));

    const auto start = std::chrono::steady_clock::now();
    std::atomic<std::size_t> next{0};
    std::mutex failMutex;
    std::vector<std::string> failures;
    auto worker = [&] {
        for (std::size_t i; (i = next++) < jobs.size();) {
            try {
                const auto t0 = std::chrono::steady_clock::now();
                jobs[i].run(dir);
                const double s =
                    std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
                std::lock_guard<std::mutex> lock(failMutex);
                std::printf("mediagen: %-18s %5.1f s\n", jobs[i].name.c_str(), s);
            } catch (const std::exception& e) {
                std::lock_guard<std::mutex> lock(failMutex);
                failures.push_back(jobs[i].name + ": " + e.what());
            }
        }
    };
    const unsigned threads = std::clamp(std::thread::hardware_concurrency(), 1u, 8u);
    std::vector<std::thread> pool;
    for (unsigned t = 0; t < threads; ++t) pool.emplace_back(worker);
    for (std::thread& t : pool) t.join();

    if (!failures.empty()) {
        std::sort(failures.begin(), failures.end());
        for (const std::string& f : failures) std::fprintf(stderr, "mediagen: %s\n", f.c_str());
        return 1;
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("mediagen: %zu jobs written to %s in %.1f s\n", jobs.size(), dir.c_str(), seconds);
    return 0;
}
