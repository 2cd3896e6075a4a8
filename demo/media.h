// The demo's files, and checked loaders for them.
//
// The demo reads nothing but the files listed by DemoMediaFiles: the images and songs of
// start-up, the textures its elements load, the line drawings and the scene file. Start-up
// checks that all of them exist before the display opens (CheckDemoMedia); each is still opened
// when the demo first needs it, and a load that returns null there (a file that is missing or
// cannot be decoded) ends the program through RuntimeError naming the file.
#pragma once

#include "engine/handles.h"
#include "platform/audio.h"
#include "platform/image2d.h"
#include "platform/stream.h"

#include <string>
#include <vector>

// Every file the demo will ever open, as relative paths ("media/..."), each once, in the order
// the demo first needs them.
const std::vector<std::string>& DemoMediaFiles();

// The files of the list that do not exist (or are not regular files) under `root` ("" for
// the working directory), in list order.
std::vector<std::string> MissingDemoMedia(const std::string& root = "");

// Ends the program through RuntimeError naming the first missing file:
// "Missing media file: media/..." (and how many more are missing).
void CheckDemoMedia();

// Loaders that end the program when the load returns null: "Cannot load <what>: <path>".
ImageRef MustLoadImage(const std::string& path, int flags);
ImageRef MustLoadAnimImage(const std::string& path, int cellWidth, int cellHeight, int first,
                           int count, int flags);
SoundRef MustLoadSound(const std::string& path, int flags);
// The same check for a sound loaded elsewhere (on a thread of its own): `loaded` is what
// LoadSound(path, ...) returned.
SoundRef MustHaveLoadedSound(SoundRef loaded, const std::string& path);
TextureRef MustLoadTexture(const std::string& path, int flags);
// LoadBrush, and a check that its texture loaded.
BrushRef MustLoadBrush(const std::string& path, int flags, float u_scale, float v_scale);
// OpenFile for reading only.
StreamRef MustOpenFile(const std::string& path);
