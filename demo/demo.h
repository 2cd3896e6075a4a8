// The demo's main body: start-up, then the frame loop until Escape.
//
// The program's main calls PlatformInit, enters the executable's folder (ChangeToExecutableDir:
// the media folder lies beside it) and then calls DemoMain. The frame-capture tool and the
// tests run the same start-up and frames through DemoStartup and DemoFrame.
#pragma once

#include <functional>
#include <string_view>

// Called with a step's name after each start-up step, in order (the names are listed in
// demo.cpp): for the tools and tests that time or watch start-up.
using StartupObserver = std::function<void(std::string_view step)>;

// Start-up, in order: the media check (every file the demo will open must exist and be whole; a
// missing or damaged one ends the program naming it, before the display opens), the engine
// module, the element collections, the 800x600 full-screen display, the mouse pointer hidden,
// the decoding check (an image file of the show that does not decode ends the program naming
// it), the media with their handles, the beat tables, flash, logo, title words, camera, ambient
// light and light, the long-lived elements, the opening flash, and the music started last.
// Songs, images and textures decode on worker threads meanwhile (startup_work.h); however
// start-up ends, no worker is left running. `observer`, when given, hears of every step.
void DemoStartup(const StartupObserver& observer = {});

// One pass of the frame loop after the Escape test: reads the music clock into `ticks` once,
// runs one frame of the current phase (sequencer.h) and flips the page with Flip(-1).
void DemoFrame();

// Start-up, then the frame loop: Escape is tested before the first frame and after each flip,
// and ends the program through End (exit status 0). The window's quit event and, once
// PlatformInit has run, the interrupt and termination signals count as Escape (input.h), so
// they end it the same way. `observer` is passed on to DemoStartup. Never returns.
[[noreturn]] void DemoMain(const StartupObserver& observer = {});
