#include "platform/error.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>
#include <utility>

namespace {
ExitHook& exitHook() {
    static ExitHook hook;
    return hook;
}

[[noreturn]] void finish(int status, std::string_view message) {
    if (exitHook()) exitHook()(status, message);
    std::fflush(stdout);
    std::exit(status);
}
} // namespace

void SetExitHook(ExitHook hook) {
    exitHook() = std::move(hook);
}

void End() {
    finish(0, {});
}

void RuntimeError(std::string_view message) {
    if (!exitHook()) std::fprintf(stderr, "%.*s\n", int(message.size()), message.data());
    finish(-1, message);
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
