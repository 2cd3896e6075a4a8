#include "platform/error.h"

#include "platform/internal.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <set>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

// Runs the action of every BeforeExit guard alive, newest first.
void RunBeforeExitActions();

ExitHook& EndingHook() {
    static ExitHook hook;
    return hook;
}

WarningsGiven& GivenWarnings() {
    static WarningsGiven given;
    return given;
}

namespace {
// The guards alive, oldest first.
struct ExitGuards {
    std::mutex lock;
    std::vector<BeforeExit*> alive;
};

ExitGuards& exitGuards() {
    static ExitGuards guards;
    return guards;
}

[[noreturn]] void finish(int status, std::string_view message) {
    RunBeforeExitActions();
    if (EndingHook()) EndingHook()(status, message);
    std::fflush(stdout);
    std::exit(status);
}
} // namespace

BeforeExit::BeforeExit(std::function<void()> action) : action_(std::move(action)) {
    ExitGuards& g = exitGuards();
    const std::lock_guard<std::mutex> hold(g.lock);
    g.alive.push_back(this);
}

BeforeExit::~BeforeExit() {
    ExitGuards& g = exitGuards();
    const std::lock_guard<std::mutex> hold(g.lock);
    g.alive.erase(std::remove(g.alive.begin(), g.alive.end(), this), g.alive.end());
}

void RunBeforeExitActions() {
    std::vector<BeforeExit*> guards;
    {
        ExitGuards& g = exitGuards();
        const std::lock_guard<std::mutex> hold(g.lock);
        guards = g.alive;
    }
    for (auto it = guards.rbegin(); it != guards.rend(); ++it)
        if ((*it)->action_) (*it)->action_();
}

void End() {
    finish(0, {});
}

void RuntimeError(std::string_view message) {
    if (!EndingHook()) std::fprintf(stderr, "%.*s\n", int(message.size()), message.data());
    finish(-1, message);
}

void Warning(std::string_view message) {
    WarningsGiven& w = GivenWarnings();
    const std::lock_guard<std::mutex> hold(w.lock);
    if (!w.messages.emplace(message).second) return;
    std::fprintf(stderr, "%.*s\n", int(message.size()), message.data());
}

void FatalErrorNow(std::string_view message) {
    std::fflush(stdout);
    std::fprintf(stderr, "%.*s\n", int(message.size()), message.data());
    std::fflush(stderr);
    _exit(-1);
}

void DebugLog([[maybe_unused]] std::string_view message) {
#ifndef NDEBUG
    std::fprintf(stderr, "%.*s\n", int(message.size()), message.data());
#endif
}

void DebugStop() {
#ifndef NDEBUG
    std::raise(SIGTRAP);
#endif
}
