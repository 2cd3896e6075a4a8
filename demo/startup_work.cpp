#include "demo/startup_work.h"

#include "demo/music.h"
#include "demo/tcubo.h"
#include "demo/tpiezagigante.h"
#include "demo/tscroll.h"
#include "engine/commands.h"
#include "engine/texture.h"
#include "platform/error.h"
#include "platform/input.h"
#include "platform/pixmap.h"

#include <algorithm>
#include <exception>
#include <iterator>
#include <pthread.h>
#include <utility>

namespace {

// The images of start-up with their flags and cells.
struct StartupImage {
    const char* file;
    int flags;
    ImageCells cells = {}; // the whole image unless a strip's cells are given
};
const StartupImage kStartupImages[] = {
    {"media/portada.png", 7},
    {"media/fondo.png", 1},
    {"media/marco.png", 1},
    {"media/txt_is.png", 7},
    {"media/txt_theuniverse.png", 7},
    {"media/txt_fewunsorted.png", 7},
    {"media/txt_blocks.png", 7},
    {"media/lapiz.png", 1},
    {"media/flare.png", 1},
    {"media/kolumo.png", 1, {334, 229, 0, 3}},
    {"media/obel.png", 1},
    {"media/varnik.png", 1},
    {"media/ticker.png", 1},
    {"media/creditos.png", 1, {1, 36, 0, 2600}},
    {"media/scrollkolumo.png", 1, {1, 36, 0, 3600}},
    {"media/halvrenstudios.png", 1},
};

const StartupImage* findImage(const std::string& file) {
    const auto it = std::find_if(std::begin(kStartupImages), std::end(kStartupImages),
                                 [&](const StartupImage& i) { return i.file == file; });
    return it == std::end(kStartupImages) ? nullptr : &*it;
}

// The textures that start-up loads, in load order, with the flags their elements load them with.
std::vector<std::pair<std::string, int>> startupTextures() {
    std::vector<std::pair<std::string, int>> files;
    for (int i = 0; i < tscroll::kQuads; ++i)
        files.emplace_back(tscroll::archivo(i), tscroll::kTextureFlags);
    for (int i = 0; i < tcubo::kCaras; ++i)
        files.emplace_back(tcubo::archivo(i), tcubo::kTextureFlags);
    files.emplace_back(tpiezagigante::kArchivo, tpiezagigante::kTextureFlags);
    return files;
}

// The image files of the show that neither the start-up images nor its textures take in: the
// show loads them later, and start-up decodes them only to know that they decode.
std::vector<std::string> imagesOnlyChecked() {
    const auto textures = startupTextures();
    std::vector<std::string> files;
    for (const std::string& f : DemoMediaFiles()) {
        if (!f.ends_with(".png") || findImage(f)) continue;
        if (std::any_of(textures.begin(), textures.end(),
                        [&](const auto& t) { return t.first == f; }))
            continue;
        files.push_back(f);
    }
    return files;
}

// Runs `work` on a new thread kept in `threads`; its result (or exception) comes through the
// future.
template <class T, class Work> std::future<T> start(std::vector<std::thread>& threads, Work work) {
    std::promise<T> promise;
    std::future<T> result = promise.get_future();
    threads.emplace_back([promise = std::move(promise), work = std::move(work)]() mutable {
        pthread_setname_np(pthread_self(), StartupWork::kThreadName);
        try {
            promise.set_value(work());
        } catch (...) {
            promise.set_exception(std::current_exception()); // thrown again where taken
        }
    });
    return result;
}

} // namespace

StartupWork::StartupWork() {
    const LoadGivenUp stop = [this] { return stopped(); };
    warmed_ = start<bool>(threads_, [this, stop] {
        warm_.Touch(stop);
        return true;
    });
    // The two songs take longest to decode: they have threads of their own.
    mainSong_ =
        start<AudioSampleRef>(threads_, [stop] { return LoadAudioSample(kMainSongFile, stop); });
    endSong_ = start<SoundRef>(
        threads_, [stop] { return LoadSound(LoadAudioSample(kEndSongFile, stop), 1); });
    imageWork_ = start<Decoded<ImageRef>>(threads_, [this, mask = MaskColor()] {
        Decoded<ImageRef> done;
        for (const StartupImage& i : kStartupImages) {
            if (stopped()) break;
            PixmapRef pixmap = LoadPixmap(i.file);
            if (!pixmap) done.undecodable.push_back(i.file);
            done.made[i.file] = PrepareImage(pixmap, i.cells, i.flags, mask);
        }
        return done;
    });
    textureWork_ = start<Decoded<PreparedTextureRef>>(threads_, [this] {
        Decoded<PreparedTextureRef> done;
        for (const auto& [file, flags] : startupTextures()) {
            if (stopped()) break;
            PreparedTextureRef prepared = PrepareTexture(file, flags);
            if (!prepared->pixmap) done.undecodable.push_back(file);
            done.made[file] = std::move(prepared);
        }
        for (const std::string& file : imagesOnlyChecked()) {
            if (stopped()) break;
            if (!LoadPixmap(file)) done.undecodable.push_back(file);
        }
        return done;
    });
}

StartupWork::~StartupWork() {
    Finish();
}

void StartupWork::Finish() {
    stop_ = true;
    for (std::thread& t : threads_)
        if (t.joinable()) t.join();
}

bool StartupWork::stopped() const {
    return stop_ || StopSignalWaiting();
}

template <class T> T StartupWork::take(std::future<T>& result) {
    T taken = result.get();
    // What a worker handed over may be cut short by the stop: the program ends before anything
    // uses it, as it would at the first look at Escape.
    if (StopSignalWaiting()) End();
    return taken;
}

void StartupWork::ReleaseWarmHeap() {
    if (!warmed_.valid()) return;
    take(warmed_);
    warm_.Release();
}

void StartupWork::collect() {
    if (collected_) return;
    collected_ = true;
    images_ = take(imageWork_);
    textures_ = take(textureWork_);
}

std::vector<MediaProblem> StartupWork::DecodeProblems() {
    collect();
    std::vector<MediaProblem> problems;
    for (const std::string& f : DemoMediaFiles()) {
        for (const auto* undecodable : {&images_.undecodable, &textures_.undecodable}) {
            if (std::find(undecodable->begin(), undecodable->end(), f) != undecodable->end()) {
                problems.push_back({f, "does not decode"});
                break;
            }
        }
    }
    return problems;
}

AudioSampleRef StartupWork::TakeMainSong() {
    return mainSong_.valid() ? take(mainSong_) : nullptr;
}

SoundRef StartupWork::TakeEndSong() {
    return endSong_.valid() ? take(endSong_) : nullptr;
}

ImageRef StartupWork::TakeImage(const std::string& file) {
    collect();
    const StartupImage* spec = findImage(file);
    return MustUploadImage(images_.Take(file), file, spec && spec->cells.width != 0);
}

PreparedTextureRef StartupWork::TakeTexture(const std::string& file) {
    collect();
    return textures_.Take(file);
}
