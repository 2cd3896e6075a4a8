// Inside the platform layer: what happens when the display's server goes away.
#pragma once

// Under X11, from now on a lost connection to the X server (the server ended or unreachable)
// ends the program at once with "Lost the connection to the display <name>" on standard error
// and exit status -1, instead of the system's default, which runs the exit handlers: those close
// the display and would wait forever on the dead connection. Elsewhere nothing happens.
void EndProgramOnLostDisplay();
// Whether SDL's video runs on X11.
bool VideoOnX11();

struct SDL_Window;
// Whether the window is on an X server where no window manager (one that follows the extended
// window-manager hints) runs. There a full-screen request goes to no one; the window placed
// over the whole screen is full screen. False elsewhere than X11.
bool X11WithoutWindowManager(SDL_Window* window);
