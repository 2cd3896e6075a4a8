// The media generator's parts: each job writes one or more files of the demo's media folder.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace mediagen {

struct Job {
    std::string name;                                // what the job makes, for messages
    std::function<void(const std::string& dir)> run; // writes its files into dir
};

std::vector<Job> ImageJobs();   // every PNG
std::vector<Job> DrawingJobs(); // the ".lap" drawings and the scene file
std::vector<Job> SongJobs();    // the two songs

// Writes the bytes to dir/name through a temporary file renamed into place, so that an
// interrupted run never leaves a half-written file under the final name. Throws on failure.
void WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes);

// Little-endian encoders for the binary formats.
void PutI32(std::vector<std::uint8_t>& out, std::int32_t v);
void PutF32(std::vector<std::uint8_t>& out, float v);

} // namespace mediagen
