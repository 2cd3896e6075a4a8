// bench_engine's second part: each scene drawn by programs that run as processes of their own,
// so that each has its own allocator state (not one shared with the other loops).
#pragma once

#include "tools/bench_engine/scene_args.h"

#include <vector>

namespace benchprocs {

// Runs each scene `rounds` times by bench_engine_program and, when it was built, by
// bench_engine_peer (found beside this executable), alternating the two, and prints per scene
// the medians and p99 of all timed frames of each, the spread of the rounds' medians, the page
// faults a frame and the ratio; then the cost per 1,000 cubes of the cube scenes.
void RunScenes(const std::vector<benchscene::Scene>& scenes, int rounds);

} // namespace benchprocs
