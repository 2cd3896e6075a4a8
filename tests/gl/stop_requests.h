// The ways to ask a running program to stop, each meant to end it as a press of Escape does:
// the press itself, the video layer's quit event (the window closed), and the interrupt and
// termination signals once the platform catches them.
#pragma once

#include "platform/input.h"
#include "platform/testing.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <csignal>

namespace stoptest {

enum class StopRequest { Escape, QuitEvent, Interrupt, Termination };

constexpr StopRequest kAllStopRequests[] = {StopRequest::Escape, StopRequest::QuitEvent,
                                            StopRequest::Interrupt, StopRequest::Termination};

// A name fit for a test name as well as a message.
inline const char* Name(StopRequest r) {
    switch (r) {
    case StopRequest::Escape:
        return "Escape";
    case StopRequest::QuitEvent:
        return "QuitEvent";
    case StopRequest::Interrupt:
        return "Interrupt";
    case StopRequest::Termination:
        return "Termination";
    }
    return "?";
}

// Makes the request: queues the press, posts the quit event (which needs the video layer up),
// or raises the signal with the platform's handlers in place.
inline void Request(StopRequest r) {
    switch (r) {
    case StopRequest::Escape:
        testseam::PushKeyPress(Key::Escape);
        break;
    case StopRequest::QuitEvent: {
        SDL_Event quit{};
        quit.type = SDL_QUIT;
        ASSERT_EQ(SDL_PushEvent(&quit), 1) << SDL_GetError();
        break;
    }
    case StopRequest::Interrupt:
    case StopRequest::Termination:
        CatchStopSignals();
        std::raise(r == StopRequest::Interrupt ? SIGINT : SIGTERM);
        break;
    }
}

// Puts the default actions back on both signals when it goes, for the tests that follow in the
// same process.
struct DefaultStopSignalsAfter {
    DefaultStopSignalsAfter() = default;
    DefaultStopSignalsAfter(const DefaultStopSignalsAfter&) = delete;
    DefaultStopSignalsAfter& operator=(const DefaultStopSignalsAfter&) = delete;
    ~DefaultStopSignalsAfter() {
        std::signal(SIGINT, SIG_DFL);
        std::signal(SIGTERM, SIG_DFL);
    }
};

} // namespace stoptest
