// The display: one OpenGL window or full-screen display, its page flip and frame pacing.
//
// Start-up: a program's main calls PlatformInit first. The working directory stays the
// program's own: a program whose files lie beside its executable calls ChangeToExecutableDir
// itself.
//
// The colour buffer keeps its content across Flip: what was on screen is the starting point of
// the next frame, so a program may draw each frame over the last one without clearing. Where
// the system offers a window visual whose swap copies the back buffer and leaves it as it was,
// the display opens with one and the swap alone keeps the frame; elsewhere the back buffer is
// copied aside before the swap and back after it.
#pragma once

// Platform start-up: starts the clock, makes the interrupt, termination and hang-up signals
// count as presses of Escape (CatchStopSignals in input.h) and ignores the broken-pipe signal,
// so that a message written to a closed pipe (standard error read by a program that has ended)
// is lost instead of ending the program. Call it first in main.
void PlatformInit();
// Makes the folder that holds the running executable the working directory, so that relative
// paths such as "media/fondo.png" resolve beside the program wherever it was started from;
// false when it cannot be found or entered (the working directory is then unchanged).
bool ChangeToExecutableDir();

// Graphics drivers. There is one: OpenGL with the 2D image layer over it.
enum class GraphicsDriver { GL2D };
// The OpenGL driver with the 2D image layer, for SetGraphicsDriver.
GraphicsDriver GL2DDriver();
// Selects the driver for the next Graphics call; defaultFlags are the buffer flags that
// Graphics uses when it is given flags -1.
void SetGraphicsDriver(GraphicsDriver driver, int defaultFlags = 2);

// Buffer flags of Graphics.
enum GraphicsFlags : int {
    GRAPHICS_BACKBUFFER = 2,     // double buffered
    GRAPHICS_ALPHABUFFER = 4,    // 8 bits of destination alpha
    GRAPHICS_DEPTHBUFFER = 8,    // 24-bit depth buffer
    GRAPHICS_STENCILBUFFER = 16, // 8-bit stencil buffer
    GRAPHICS_ACCUMBUFFER = 32,   // accumulation buffer, 16 bits per channel
};

// Opens the display with an OpenGL compatibility context: a window of width x height for
// depth 0, a full-screen display at that size for any other depth, with hertz as the refresh
// rate asked of a full-screen mode and as the frame rate of Flip's pacing. An accumulation
// buffer that cannot be had is dropped (the display opens without one). A display already open
// is closed first. The 2D layer's GL state is set up (see image2d.h). A display that cannot be
// opened ends the program through RuntimeError with the cause, and so does a system with no
// screen to show it on (no DISPLAY, or a video driver that draws off-screen). Under X11, losing
// the connection to the X server afterwards ends the program at once with a message and exit
// status -1 (see FatalErrorNow). Returns true.
bool Graphics(int width, int height, int depth = 0, int hertz = 60, int flags = -1);
// Whether the first Graphics of the process sets the C library's heap for the GL driver (true
// unless the program says otherwise before it). A software GL driver (Mesa's llvmpipe) builds
// each frame's scene in 64 KB heap blocks, about 2 KB a draw, and frees them once the frame is
// drawn; with the C library's default trimming those pages go back to the system every frame
// and are faulted in again the next, which from a few thousand draws a frame costs more than
// the drawing. So under the GNU C library that Graphics keeps up to 128 MB of freed heap for
// reuse (M_TRIM_THRESHOLD) and serves blocks up to 32 MB from the heap (M_MMAP_THRESHOLD: the
// most that the library's own adjustment, which setting either value turns off, would reach).
// These are process-wide; a program with an allocator policy of its own calls
// GraphicsHeapPolicy(false) before Graphics and keeps it. Called after that Graphics it
// changes nothing.
void GraphicsHeapPolicy(bool set);
// Closes the display (and restores the desktop's display mode after full screen). GL objects
// made for it are gone: images loaded before are drawn as nothing afterwards.
void EndGraphics();
// True while a display is open.
bool GraphicsOpen();
// The open display's width in pixels; 0 while none is open.
int GraphicsWidth();
// The open display's height in pixels; 0 while none is open.
int GraphicsHeight();
// The depth the open display was asked for (0 for a window); 0 while none is open.
int GraphicsDepth();

// Shows the frame drawn and starts the next one from it. sync -1 (or any positive value):
// holds the frame rate to the display's hertz: each frame is shown no earlier than a deadline
// 1000/hertz ms after the previous one (re-based when the program has fallen more than a frame
// behind), and, when vertical sync was confirmed at the display's refresh rate on opening, in
// step with the refresh. sync 0: shows the frame at once. Also pumps the input events.
void Flip(int sync = -1);

// For a program that makes GL calls of its own: the engine and the 2D layer set only what
// differs from the GL state they last set, so after its own calls (and before the next command
// that draws) a program calls this once, and the next draw sets all it needs again.
void InvalidateGLState();

// Hides the mouse pointer over the display.
void HideMouse();
// Shows the mouse pointer again.
void ShowMouse();
