// The demo's files, and checked loaders for them.
//
// The demo reads nothing but the files listed by DemoMediaFiles: the images and songs of
// start-up, the textures its elements load, the line drawings and the scene file. Start-up
// checks, before the display opens, that all of them exist, that the headers of the images and
// songs among them are sound and that the line drawings and the scene file are whole
// (CheckDemoMedia); it decodes every image file on its workers and refuses one that does not
// decode before the show starts (startup_work.h). Each is still opened when the demo first
// needs it, and a load that returns null there ends the program through RuntimeError naming
// the file.
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

// A file of the list that is missing or would not load, and why ("is missing", "is cut
// short", "is not an Ogg Vorbis file", ...: a phrase that follows the file's name).
struct MediaProblem {
    std::string file;
    std::string why;
    bool operator==(const MediaProblem&) const = default;
};

// Every problem with the listed files under `root` ("" for the working directory), in list
// order: files that are missing (or not regular files), images whose structure is damaged
// (CheckImageFile), songs whose headers are refused (ProbeAudioFile), a main song that claims
// too short a length (MainSongTooShort), and line drawings and scene files, read whole through
// the readers the show uses (dibujo.h, escena.h), that are empty, end in a cut record, hold
// other than the drawing's records (kDibujos) or fewer than are read (the scene file), or hold
// a record out of range. Of images and songs only headers
// and checksums are read, so the check stays cheap; start-up decodes the images on its worker
// threads (startup_work.h).
std::vector<MediaProblem> FindDemoMediaProblems(const std::string& root = "");

// Ends the program through RuntimeError naming every problem at once, one per line:
// "Media files missing or bad (2 of 56):\n  media/txt_is.png is missing\n  ..."; returns when
// there is none.
void RefuseMediaProblems(const std::vector<MediaProblem>& problems);
// RefuseMediaProblems(FindDemoMediaProblems()).
void CheckDemoMedia();

// Loaders that end the program when the load returns null: "Cannot load <what>: <path>".
ImageRef MustLoadImage(const std::string& path, int flags);
ImageRef MustLoadAnimImage(const std::string& path, int cellWidth, int cellHeight, int first,
                           int count, int flags);
// The same check for an image made elsewhere (on a thread of its own) by PrepareImage from the
// file at path, cut into cells for a strip, and the upload of its textures.
ImageRef MustUploadImage(const ImageRef& prepared, const std::string& path, bool strip);
SoundRef MustLoadSound(const std::string& path, int flags);
// The same check for a sound loaded elsewhere (on a thread of its own): `loaded` is what
// LoadSound(path, ...) returned.
SoundRef MustHaveLoadedSound(SoundRef loaded, const std::string& path);
TextureRef MustLoadTexture(const std::string& path, int flags);
// The same check for a texture prepared elsewhere (on a thread of its own) by
// PrepareTexture(path, flags); null: MustLoadTexture(path, flags).
TextureRef MustLoadPreparedTexture(PreparedTextureRef prepared, const std::string& path, int flags);
// A white brush painted with MustLoadPreparedTexture(prepared, path, flags), as
// LoadBrush(path, flags, 1, 1) makes it.
BrushRef MustLoadPreparedBrush(PreparedTextureRef prepared, const std::string& path, int flags);
// OpenFile for reading only.
StreamRef MustOpenFile(const std::string& path);
