// The millisecond clock.
#pragma once

// Milliseconds since the program started (the moment the platform layer was first used, at
// the latest PlatformInit). Under the test seam's virtual clock, the virtual time instead.
int Millisecs();

// Waits the given number of milliseconds (nothing for 0 or less). Under the virtual clock it
// does not sleep: it moves the virtual time on by that much.
void Delay(int ms);
