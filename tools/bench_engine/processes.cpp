#include "tools/bench_engine/processes.h"

#include "tools/bench_timing.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <system_error>

extern char** environ;

namespace benchprocs {
namespace {

namespace fs = std::filesystem;

// What one program gave over all rounds of one scene.
struct Runs {
    std::vector<double> frames;       // every timed frame, ms
    std::vector<double> roundMedians; // ms
    double faults = 0;                // minor page faults, summed
    int failed = 0;                   // rounds that printed no times
};

fs::path besideThisProgram(const char* name) {
    std::error_code error;
    const fs::path self = fs::read_symlink("/proc/self/exe", error);
    return error ? fs::path(name) : self.parent_path() / name;
}

std::vector<std::string> arguments(const benchscene::Scene& s) {
    std::vector<std::string> args{s.crowd ? "crowd" : "cubes", std::to_string(s.count),
                                  std::to_string(s.width) + "x" + std::to_string(s.height),
                                  std::to_string(s.frames)};
    if (s.crowd) args.push_back(s.model);
    return args;
}

// Runs the program on the scene and adds what it printed to runs.
void runOnce(const fs::path& program, const benchscene::Scene& scene, Runs& runs) {
    std::vector<std::string> args = arguments(scene);
    args.insert(args.begin(), program.string());
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    int out[2];
    if (pipe(out) != 0) {
        ++runs.failed;
        return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    pid_t child = 0;
    const int spawned = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    std::string text;
    char buffer[4096];
    for (ssize_t got; (got = read(out[0], buffer, sizeof buffer)) > 0;)
        text.append(buffer, std::size_t(got));
    close(out[0]);
    int status = 0;
    if (spawned == 0) waitpid(child, &status, 0);

    std::istringstream in(text);
    std::string word;
    std::vector<double> times;
    long faults = -1;
    while (in >> word && word != "frames") {
    }
    while (in >> word && word != "faults") times.push_back(std::stod(word));
    in >> faults;
    if (spawned != 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0 || times.empty() ||
        faults < 0) {
        ++runs.failed;
        return;
    }
    runs.frames.insert(runs.frames.end(), times.begin(), times.end());
    runs.roundMedians.push_back(benchtime::percentile(times, 0.5));
    runs.faults += double(faults);
}

void printRuns(const char* who, const Runs& r) {
    if (r.frames.empty()) {
        std::printf("  %s: no round finished\n", who);
        return;
    }
    const auto [low, high] = std::minmax_element(r.roundMedians.begin(), r.roundMedians.end());
    std::printf("  %s: frames %d, ms/frame median %.2f p99 %.2f (round medians %.2f-%.2f), "
                "page faults/frame %.0f",
                who, int(r.frames.size()), benchtime::percentile(r.frames, 0.5),
                benchtime::percentile(r.frames, 0.99), *low, *high,
                r.faults / double(r.frames.size()));
    if (r.failed > 0) std::printf(", %d rounds failed", r.failed);
    std::printf("\n");
}

} // namespace

void RunScenes(const std::vector<benchscene::Scene>& scenes, int rounds) {
    const fs::path program = besideThisProgram("bench_engine_program");
    const fs::path peer = besideThisProgram("bench_engine_peer");
    std::error_code error;
    const bool withPeer = fs::exists(peer, error);
    std::printf("processes of their own, %d rounds, program and %s alternating\n", rounds,
                withPeer ? "peer" : "(no peer built)");
    std::vector<std::pair<int, double>> perThousand; // cubes, program median per 1,000
    for (const benchscene::Scene& scene : scenes) {
        Runs mine, theirs;
        for (int round = 0; round < rounds; ++round) {
            // Which goes first alternates too.
            const bool peerFirst = withPeer && round % 2 == 1;
            if (peerFirst) runOnce(peer, scene, theirs);
            runOnce(program, scene, mine);
            if (withPeer && !peerFirst) runOnce(peer, scene, theirs);
        }
        std::printf("%s %d viewport %dx%d\n", scene.crowd ? "animated models" : "cubes",
                    scene.count, scene.width, scene.height);
        printRuns("program", mine);
        if (withPeer) printRuns("peer", theirs);
        if (withPeer && !mine.frames.empty() && !theirs.frames.empty())
            std::printf("  program / peer: median %.2f p99 %.2f\n",
                        benchtime::percentile(mine.frames, 0.5) /
                            benchtime::percentile(theirs.frames, 0.5),
                        benchtime::percentile(mine.frames, 0.99) /
                            benchtime::percentile(theirs.frames, 0.99));
        if (!scene.crowd && !mine.frames.empty())
            perThousand.emplace_back(scene.count, benchtime::percentile(mine.frames, 0.5) * 1000.0 /
                                                      double(scene.count));
        std::fflush(stdout);
    }
    if (perThousand.size() > 1) {
        std::printf("program ms per 1,000 cubes:");
        double low = perThousand.front().second, high = low;
        for (const auto& [cubes, ms] : perThousand) {
            std::printf(" %d: %.2f", cubes, ms);
            low = std::min(low, ms);
            high = std::max(high, ms);
        }
        std::printf("; highest / lowest %.2f\n", high / low);
    }
}

} // namespace benchprocs
