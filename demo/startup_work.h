// The start-up's work that needs no display, done on threads of its own while the main thread
// opens the display: the heap warmed for the textures that follow (HeapWarmup), the two songs
// decoded, the start-up images made (decoded, converted, masked and their transparent tiles
// found), the textures that start-up loads prepared with their mipmap levels (PrepareTexture),
// and every other image file the show will load decoded once, so that one that does not decode
// is refused before the show starts. The workers call neither GL nor anything that reads the
// engine's lists or the display's state; the main thread takes each result where it needs it,
// waiting for it there.
//
// The object owns every one of those threads. It joins them when it goes, and also when the
// program ends through End or RuntimeError while it lives (a start-up that fails, say for want
// of a display, or media refused): the workers are then asked to stop, between files and
// between chunks of a song's decoding and of the warm-up, and the main thread waits for them
// before anything else of the process is torn down. A stop signal (StopSignalWaiting, input.h)
// has them stop the same way at once, and the main thread, when it next takes something from
// them, ends the program as a press of Escape would (End): a stop asked for during start-up
// takes effect within a few tenths of a second, not once the songs are decoded.
#pragma once

#include "demo/heap_warmup.h"
#include "demo/media.h"
#include "engine/handles.h"
#include "platform/audio.h"
#include "platform/error.h"
#include "platform/image2d.h"

#include <atomic>
#include <future>
#include <map>
#include <string>
#include <thread>
#include <utility>
#include <vector>

class StartupWork {
  public:
    // Starts every worker. The images are masked with the mask colour of this moment.
    StartupWork();
    ~StartupWork();
    StartupWork(const StartupWork&) = delete;
    StartupWork& operator=(const StartupWork&) = delete;

    // Waits for the heap's warm-up (see HeapWarmup) and hands its block back to the heap, for
    // the allocations of the textures and images made after the display opens. Once.
    void ReleaseWarmHeap();

    // The image files that the workers decode (the start-up images, the prepared textures and
    // the other images of DemoMediaFiles), each once, with what became of them: waits for the
    // image and texture workers and returns those that did not decode ("does not decode"), in
    // the order of DemoMediaFiles.
    std::vector<MediaProblem> DecodeProblems();

    // The main song (LoadAudioSample(kMainSongFile)) and the end-screen song (LoadSound(file,
    // 1)) as the loads returned them; each waited for and taken once (null after).
    AudioSampleRef TakeMainSong();
    SoundRef TakeEndSong();
    static constexpr const char* kEndSongFile = "media/kolumo.ogg";

    // The start-up image of the file (see startup_work.cpp) uploaded and checked
    // (MustUploadImage); taken once.
    ImageRef TakeImage(const std::string& file);
    // The texture prepared for the file (PrepareTexture with the flags its element loads it
    // with); null for a file not prepared here or already taken.
    PreparedTextureRef TakeTexture(const std::string& file);

    // Asks the workers to stop after the file at hand and joins them. Safe to call again.
    void Finish();

    // The name the workers' threads carry (threads they start inherit it), as the system shows
    // it (/proc/<pid>/task/<tid>/comm, top, perf).
    static constexpr const char* kThreadName = "startup-work";

  private:
    // What the image and the texture worker hand over: what they made, by file, and the files
    // that did not decode.
    template <class Made> struct Decoded {
        std::map<std::string, Made> made;
        std::vector<std::string> undecodable;
        // What was made of the file, taken out (null when nothing was or it was taken).
        Made Take(const std::string& file) {
            const auto it = made.find(file);
            if (it == made.end()) return nullptr;
            Made taken = std::move(it->second);
            made.erase(it);
            return taken;
        }
    };
    // Waits for both and keeps what they made (once).
    void collect();
    // Whether the workers are to stop: asked by Finish, or a stop signal waits.
    bool stopped() const;
    // The result of a worker, waited for; ends the program if a stop signal came meanwhile.
    template <class T> T take(std::future<T>& result);

    // The textures and images made after the display opens take about 60 MB of fresh memory:
    // that much of the heap is warmed.
    static constexpr std::size_t kWarmBytes = std::size_t(64) << 20;

    std::atomic<bool> stop_{false};
    HeapWarmup warm_{kWarmBytes};
    std::future<bool> warmed_;
    std::future<AudioSampleRef> mainSong_;
    std::future<SoundRef> endSong_;
    std::future<Decoded<ImageRef>> imageWork_;
    std::future<Decoded<PreparedTextureRef>> textureWork_;
    bool collected_ = false;
    Decoded<ImageRef> images_;
    Decoded<PreparedTextureRef> textures_;
    std::vector<std::thread> threads_;
    BeforeExit joinAtExit_{[this] { Finish(); }};
};
