// The inspector's run-long state, put back to its start values between tests.
#pragma once

#include "engine/global.h"
#include "platform/input.h"

// Start values, no overlay sphere (a former one stays in whatever scene holds it), nothing
// printed, no keys pending.
inline void ResetInspector() {
    FlushKeys();
    ResetEngine();
}
