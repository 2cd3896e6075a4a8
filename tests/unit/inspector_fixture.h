// The inspector's run-long state, put back to its start values between tests.
#pragma once

#include "engine/inspector.h"
#include "platform/input.h"

// Start values, no overlay sphere (a former one stays in whatever scene holds it), nothing
// printed, no keys pending.
inline void ResetInspector() {
    FlushKeys();
    TDebug::cno = 0;
    TDebug::info = 1;
    TDebug::bsphere = 0;
    TDebug::sphere = nullptr;
    TDebug::printed.clear();
}
