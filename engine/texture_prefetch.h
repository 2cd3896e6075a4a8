// Texture files decoded ahead of their loads, on a thread of their own, while the main thread
// does other work (opening the display, say).
//
// PrefetchTextures starts a worker that prepares the listed files in order; a later
// LoadTexture (LoadAnimTexture, LoadCubeMapTexture, LoadBrush) of one of them, named as listed
// and with the flags listed, takes what the worker prepared (waiting for it when the worker has
// not got that far) instead of decoding the file itself. The texture it makes is the same
// either way, and so are the messages and null result of a file that does not decode; a load
// that finds the same texture already loaded, or the file only under its bare name, drops the
// prepared file and goes on as without it. The worker touches neither GL nor the engine's lists.
#pragma once

#include "platform/pixmap.h"

#include <future>
#include <string>
#include <utility>
#include <vector>

// A texture file prepared for its load: its pixels as RGBA bytes (null when the file cannot be
// decoded) and what LoadTexture(file, flags) uploads when the GL accepts the image's size once
// stretched to power-of-two sides: the stretched image (the image itself when its sides are
// powers of two) and, with the mipmapped flag, every smaller level down to 1 x 1, each resampled
// from the one before.
struct PreparedTexture {
    PixmapRef pixmap;
    std::vector<PixmapRef> levels;
};

// The file decoded to RGBA bytes; null when it cannot be. Safe on any thread.
PixmapRef DecodeTextureFile(const std::string& file);
// DecodeTextureFile and the levels. Safe on any thread.
PreparedTexture PrepareTexture(const std::string& file, int flags);

// Starts a worker preparing each (file, flags) in order. The files are read as they are then:
// a pair still waiting from an earlier call (whose load never came) is prepared again.
void PrefetchTextures(const std::vector<std::pair<std::string, int>>& files);
// The preparation of (file, flags) taken out of the table, its value still to be waited for;
// invalid when none was asked for.
std::future<PreparedTexture> TakePrefetchedTexture(const std::string& file, int flags);
