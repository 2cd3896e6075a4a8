#include "platform/error.h"

#include "platform/internal.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <set>
#include <string>
#include <unistd.h>

ExitHook& EndingHook() {
    static ExitHook hook;
    return hook;
}

WarningsGiven& GivenWarnings() {
    static WarningsGiven given;
    return given;
}

namespace {
[[noreturn]] void finish(int status, std::string_view message) {
    if (EndingHook()) EndingHook()(status, message);
    std::fflush(stdout);
    std::exit(status);
}
} // namespace

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
