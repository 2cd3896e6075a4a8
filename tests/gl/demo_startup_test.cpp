// The demo's start-up on the real display: its order, what each step leaves, the first frame,
// Escape before the first frame, and missing or undecodable media.
#include "demo/demo.h"
#include "demo/flash.h"
#include "demo/logo.h"
#include "demo/media.h"
#include "demo/startup_work.h"
#include "demo/titulo.h"
#include "demo/tpieza.h"
#include "demo/tscroll.h"
#include "engine/camera.h"
#include "engine/commands.h"
#include "engine/entity.h"
#include "engine/global.h"
#include "engine/light.h"
#include "engine/mesh.h"
#include "platform/display.h"
#include "platform/image2d.h"
#include "platform/testing.h"

#include "../unit/audio_fixture.h"
#include "../unit/temp_dir.h"
#include "demo_fixture_gl.h"
#include "stop_requests.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

namespace {

using demogl::DemoRunTest;
using demogl::Exited;

void ExpectHandle(const ImageRef& image, float x, float y, const char* name) {
    ASSERT_NE(image, nullptr) << name;
    EXPECT_EQ(image->handle_x, x) << name;
    EXPECT_EQ(image->handle_y, y) << name;
}

TEST_F(DemoRunTest, StartUpRunsInOrderAndEachStepFindsWhatItNeeds) {
    std::vector<std::string> steps;
    DemoStartup([&](std::string_view step) {
        steps.emplace_back(step);
        // Nothing touches the display before Graphics3D; no medium is loaded before it.
        const bool displayExpected = steps.size() >= 3;
        EXPECT_EQ(GraphicsOpen(), displayExpected) << step;
        if (step == "collections") {
            ASSERT_NE(tpieza::lista_piezas, nullptr);
            EXPECT_TRUE(tpieza::lista_piezas->IsEmpty());
            for (const BrushRef& b : tscroll::textura) EXPECT_EQ(b, nullptr);
        } else if (step == "Graphics3D") {
            EXPECT_EQ(TGlobal::width, 800);
            EXPECT_EQ(TGlobal::height, 600);
            EXPECT_EQ(TGlobal::depth, 32);
            EXPECT_EQ(TGlobal::mode, 1);
            EXPECT_EQ(TGlobal::rate, 60);
            EXPECT_EQ(musica, nullptr);
        } else if (step == "media") {
            ASSERT_NE(musica, nullptr);
            EXPECT_EQ(musica->channel, nullptr) << "the song is not started yet";
            ExpectHandle(portada, 400, 300, "portada");
            ExpectHandle(fondo, 400, 300, "fondo");
            ExpectHandle(marco, 400, 300, "marco");
            ExpectHandle(txt_blocks, 400, 300, "txt_blocks");
            ExpectHandle(lapiz, 16, 16, "lapiz");
            ExpectHandle(flare, 32, 32, "flare");
            ExpectHandle(obel, 0, 0, "obel");
            ExpectHandle(varnik, 0, 0, "varnik");
            EXPECT_EQ(portada->flags, 7);
            EXPECT_EQ(fondo->flags, 1);
            EXPECT_EQ(ImageFrames(kolumoimage), 3);
            EXPECT_EQ(ImageWidth(kolumoimage), 334);
            EXPECT_EQ(ImageHeight(kolumoimage), 229);
            ASSERT_NE(kolumomusic, nullptr);
            EXPECT_EQ(kolumomusic->flags, 1) << "the end-screen song repeats";
            EXPECT_EQ(ticker, nullptr) << "loaded later, among the elements";
        } else if (step == "FillBeatTables") {
            EXPECT_EQ(sincTuntaraTun.size(), 9u);
            EXPECT_EQ(sincConstructorPow.back(), 100000);
        } else if (step == "titulo") {
            ASSERT_NE(logo, nullptr);
            EXPECT_EQ(logo->imagen, portada);
            const ImageRef words[4] = {txt_theworld, txt_is, txt_fewordered, txt_blocks};
            for (int i = 0; i < 4; ++i) {
                ASSERT_NE(titulo[std::size_t(i)], nullptr);
                EXPECT_EQ(titulo[std::size_t(i)]->imagen, words[i]) << i;
            }
        } else if (step == "camara") {
            ASSERT_NE(camara, nullptr);
            EXPECT_EQ(camara->cls_color, 0);
            EXPECT_EQ(camara->cls_zbuffer, 1);
            EXPECT_FLOAT_EQ(camara->cls_r, 200.0f / 255);
            EXPECT_EQ(camara->fog_mode, 1);
            EXPECT_FLOAT_EQ(camara->fog_r, 165.0f / 255);
            EXPECT_FLOAT_EQ(camara->fog_g, 0);
            EXPECT_FLOAT_EQ(camara->fog_b, 210.0f / 255);
            EXPECT_EQ(camara->fog_range_near, 125.0f);
            EXPECT_EQ(camara->fog_range_far, 130.0f);
            EXPECT_EQ(camara->range_near, 0.1f);
            EXPECT_EQ(camara->range_far, 500.0f);
            EXPECT_FLOAT_EQ(EntityX(camara, 0), -15);
            EXPECT_FLOAT_EQ(EntityY(camara, 0), -10);
            EXPECT_FLOAT_EQ(EntityZ(camara, 0), -15);
            EXPECT_NEAR(EntityPitch(camara, 0), 5, 1e-4);
            EXPECT_NEAR(EntityYaw(camara, 0), -8, 1e-4);
            EXPECT_NEAR(EntityRoll(camara, 0), 0, 1e-4);
        } else if (step == "AmbientLight") {
            EXPECT_FLOAT_EQ(TGlobal::ambient_red, 100.0f / 255);
            EXPECT_EQ(luz, nullptr);
        } else if (step == "luz") {
            ASSERT_NE(luz, nullptr);
            EXPECT_EQ(luz->light_type, 1);
            EXPECT_NEAR(EntityPitch(luz, 0), 45, 1e-4);
            EXPECT_NEAR(EntityYaw(luz, 0), -45, 1e-4);
        } else if (step == "scroll") {
            ASSERT_NE(scroll, nullptr);
            for (const MeshRef& m : scroll->mallas) EXPECT_EQ(m->EntityHidden(), 1);
        } else if (step == "creditos") {
            EXPECT_EQ(ticker->flags, 1);
            EXPECT_EQ(ImageFrames(creditos), 2600);
            ExpectHandle(creditos, 0, 23, "creditos");
        } else if (step == "halvren") {
            EXPECT_NE(constructorpivot, nullptr);
            EXPECT_EQ(ImageFrames(scrollkolumo), 3600);
            ExpectHandle(scrollkolumo, 0, 0, "scrollkolumo");
            ExpectHandle(halvren, 169, 38, "halvren");
        } else if (step == "flash.activa") {
            EXPECT_EQ(flash->estado, 1);
            EXPECT_EQ(flash->alfa, 0.0f);
            EXPECT_EQ(flash->maximo, 1.0f);
            EXPECT_EQ(musica->channel, nullptr) << "the music starts last";
        } else if (step == "musica.Play") {
            EXPECT_EQ(ChannelPlaying(musica->channel), 1) << "playing, nothing played yet";
            EXPECT_EQ(parte, 1);
        }
    });
    EXPECT_EQ(
        steps,
        (std::vector<std::string>{
            "CheckDemoMedia", "collections",    "Graphics3D",   "HideMouse", "DecodeProblems",
            "media",          "FillBeatTables", "flash",        "logo",      "titulo",
            "camara",         "AmbientLight",   "luz",          "scroll",    "cubo",
            "cubemap",        "cubopiezasang",  "piezagigante", "creditos",  "constructorpivot",
            "halvren",        "flash.activa",   "musica.Play"}));

    // The first frame: phase 1 at about tick 0, the opening flash drawn rising at 0.1.
    DemoFrame();
    EXPECT_EQ(parte, 1);
    EXPECT_NEAR(ticks, 1.0 / 1470, 1e-6);
    EXPECT_EQ(flash->estado, 1);
    EXPECT_FLOAT_EQ(flash->alfa, 0.1f);
    EXPECT_FLOAT_EQ(logo->escala, 0.011f);
    EXPECT_EQ(GetBlend(), ALPHABLEND);
    // It was drawn: the flash's white lightens the centre of the background by a tenth.
    const testseam::FrameCapture frame = testseam::CaptureFrame();
    ASSERT_EQ(frame.width, 800);
    EXPECT_NE(frame.Pixel(400, 300) & 0xffffff, 0u);
}

// The names of this process's threads now, each once, with their numbers.
std::map<std::string, int> ThreadNames() {
    std::map<std::string, int> names;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::ifstream comm(task.path() / "comm");
        std::string name;
        std::getline(comm, name);
        ++names[name];
    }
    return names;
}

// A start-up that fails for want of a display ends the program (RuntimeError, exit) with no
// start-up worker left running: the threads are looked at as the process ends, after the exit
// handlers of everything start-up set up and the static destructors have run. The workers would
// be decoding the songs for a second or more yet.
TEST_F(DemoRunTest, StartUpWithoutADisplayLeavesNoWorkerRunningAtExit) {
    EXPECT_EXIT(
        {
            testseam::SetExitHook(nullptr); // the program's own way to the end
            for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER"})
                unsetenv(name);
            std::atexit([] {
                const std::map<std::string, int> names = ThreadNames();
                const int left = names.count(StartupWork::kThreadName) != 0
                                     ? names.at(StartupWork::kThreadName)
                                     : 0;
                std::fprintf(stderr, "start-up workers left at exit: %d\n", left);
                for (const auto& [name, count] : names)
                    std::fprintf(stderr, "  threads named %s: %d\n", name.c_str(), count);
                std::_Exit(left == 0 ? 0 : 1);
            });
            DemoStartup();
        },
        testing::ExitedWithCode(0),
        "Unable to open the display(.|\n)*start-up workers left at exit: 0");
}

// Runs the demo with the request made during start-up, once the display is open, and checks
// that the program ended with status 0 before anything was drawn.
void ExpectStopBeforeTheFirstFrame(stoptest::StopRequest request) {
    stoptest::DefaultStopSignalsAfter restore;
    try {
        DemoMain([request](std::string_view step) {
            if (step == "musica.Play") stoptest::Request(request);
        });
        ADD_FAILURE() << "DemoMain returned";
    } catch (const Exited& e) {
        EXPECT_EQ(e.status, 0);
        EXPECT_EQ(e.message, "");
    }
    EXPECT_EQ(ticks, 0.0f) << "no frame read the clock";
    EXPECT_EQ(flash->alfa, 0.0f) << "no frame drew the flash";
}

// Escape pressed during start-up ends the program before anything is drawn.
TEST_F(DemoRunTest, EscapeDuringStartUpEndsBeforeTheFirstFrame) {
    ExpectStopBeforeTheFirstFrame(stoptest::StopRequest::Escape);
}

// The quit event and the stop signals, coming during start-up, end the program as Escape does.
class StopRequestTest : public DemoRunTest,
                        public testing::WithParamInterface<stoptest::StopRequest> {};

TEST_P(StopRequestTest, DuringStartUpEndsTheProgramBeforeTheFirstFrame) {
    ExpectStopBeforeTheFirstFrame(GetParam());
}

INSTANTIATE_TEST_SUITE_P(Requests, StopRequestTest,
                         testing::Values(stoptest::StopRequest::QuitEvent,
                                         stoptest::StopRequest::Interrupt,
                                         stoptest::StopRequest::Termination),
                         [](const testing::TestParamInfo<stoptest::StopRequest>& param) {
                             return std::string(stoptest::Name(param.param));
                         });

// A stop signal that comes before the display opens ends start-up as soon as the display is
// open, where the main thread first takes the workers' work (the warmed heap), not at the first
// look at Escape after start-up: nothing of the show is made, and the songs still decoding are
// given up on.
TEST_F(DemoRunTest, AStopSignalEndsStartUpWhenTheWorkIsNextTaken) {
    stoptest::DefaultStopSignalsAfter restore;
    std::vector<std::string> steps;
    try {
        DemoStartup([&](std::string_view step) {
            steps.emplace_back(step);
            if (step == "collections") stoptest::Request(stoptest::StopRequest::Termination);
        });
        ADD_FAILURE() << "start-up went on to its end";
    } catch (const Exited& e) {
        EXPECT_EQ(e.status, 0);
        EXPECT_EQ(e.message, "");
    }
    ASSERT_FALSE(steps.empty());
    EXPECT_EQ(steps.back(), "Graphics3D");
    EXPECT_EQ(musica, nullptr);
}

// A media folder beside the test whose files link to the generated ones, but for the changes
// asked: files left out or replaced by other bytes.
class BrokenMediaTest : public DemoRunTest {
  protected:
    void MakeMedia(const std::vector<std::string>& leaveOut,
                   const std::map<std::string, std::vector<std::uint8_t>>& replace) {
        const std::filesystem::path real = std::filesystem::current_path();
        std::filesystem::create_directories(tmp_.dir() / "media");
        for (const std::string& f : DemoMediaFiles()) {
            if (std::find(leaveOut.begin(), leaveOut.end(), f) != leaveOut.end()) continue;
            if (auto r = replace.find(f); r != replace.end())
                tmp_.write(f, r->second);
            else
                std::filesystem::create_symlink(real / f, tmp_.dir() / f);
        }
        std::filesystem::current_path(tmp_.dir());
    }
    std::string StartUpError() {
        try {
            DemoStartup();
        } catch (const Exited& e) {
            EXPECT_EQ(e.status, -1);
            return e.message;
        }
        return "(started)";
    }
    TempDir tmp_;
};

const std::vector<std::uint8_t> kNotAnImage = {'n', 'o', 't', ' ', 'a', 'n',
                                               ' ', 'i', 'm', 'a', 'g', 'e'};

// A corrupt image that phase 2 would load only later, a corrupt texture, a missing file, an
// empty line drawing and a scene file cut inside a record are reported together, before the
// display opens.
TEST_F(BrokenMediaTest, BadAndMissingFilesAreReportedTogetherBeforeTheDisplayOpens) {
    const std::filesystem::path real = std::filesystem::current_path();
    std::ifstream in(real / "media/escenario1.esc", std::ios::binary);
    std::vector<std::uint8_t> cutScene((std::istreambuf_iterator<char>(in)),
                                       std::istreambuf_iterator<char>());
    cutScene.resize(cutScene.size() - 13);
    MakeMedia({"media/saludo9.lap"}, {{"media/pieza.png", kNotAnImage},
                                      {"media/scroll3.png", kNotAnImage},
                                      {"media/verde.lap", {}},
                                      {"media/escenario1.esc", cutScene}});
    EXPECT_EQ(StartUpError(), "Media files missing or bad (5 of 56):\n"
                              "  media/scroll3.png is not a readable image\n"
                              "  media/pieza.png is not a readable image\n"
                              "  media/verde.lap is empty\n"
                              "  media/saludo9.lap is missing\n"
                              "  media/escenario1.esc ends in a cut record");
    EXPECT_FALSE(GraphicsOpen());
}

std::vector<std::uint8_t> FileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Songs that pass the start-up check but are damaged past their headers are refused once
// decoded on their start-up threads: the program ends naming the file, and the warning before
// says why. The main song claims the whole show but holds two seconds, or has a kilobyte of
// noise in its middle; the end-screen song has a spoilt kilobyte, or is cut in half.
TEST_F(BrokenMediaTest, DamagedSongsAreRefusedAtStartUpNamingTheFile) {
    const std::filesystem::path real = std::filesystem::current_path();
    std::vector<std::uint8_t> shortSong =
        OggBytes(Tone(88200, 44100, {440.0, 550.0}, 4000.0), 2, 44100, 0.1f);
    ASSERT_TRUE(SetLastGranule(shortSong, std::int64_t(536) << 20));
    const auto noiseInMiddle = [&](const char* file) {
        std::vector<std::uint8_t> bytes = FileBytes(real / file);
        std::uint32_t x = 2024;
        for (std::size_t i = 0; i < 1024; ++i)
            bytes[bytes.size() / 2 + i] = std::uint8_t((x = x * 1664525u + 1013904223u) >> 24);
        return bytes;
    };
    std::vector<std::uint8_t> halfEndSong = FileBytes(real / "media/kolumo.ogg");
    halfEndSong.resize(halfEndSong.size() / 2);
    // The end song's last page stating half of what it holds.
    AudioFileInfo endSong;
    ASSERT_EQ(ProbeAudioFile((real / "media/kolumo.ogg").string(), &endSong), "");
    std::vector<std::uint8_t> halfClaimEndSong = FileBytes(real / "media/kolumo.ogg");
    ASSERT_TRUE(SetLastGranule(halfClaimEndSong, endSong.claimedFrames / 2));
    const std::string holdsMore = ", more than the " + std::to_string(endSong.claimedFrames / 2) +
                                  " (" + std::to_string(endSong.claimedFrames / 2 / endSong.hertz);
    const struct {
        const char* what;
        const char* file;
        std::vector<std::uint8_t> bytes;
        const char* message;
        const char* why;
    } cases[] = {
        {"a claim beyond its data", "media/musica.ogg", shortSong,
         "Cannot load music: media/musica.ogg", " decodes to 88"},
        {"noise in the middle", "media/musica.ogg", noiseInMiddle("media/musica.ogg"),
         "Cannot load music: media/musica.ogg", " has a gap in its data at "},
        {"noise in the middle", "media/kolumo.ogg", noiseInMiddle("media/kolumo.ogg"),
         "Cannot load sound: media/kolumo.ogg", " has a gap in its data at "},
        {"cut in half", "media/kolumo.ogg", halfEndSong, "Cannot load sound: media/kolumo.ogg",
         " is cut short"},
        {"its last position halved", "media/kolumo.ogg", halfClaimEndSong,
         "Cannot load sound: media/kolumo.ogg", holdsMore.c_str()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.file) + ", " + c.what);
        std::filesystem::current_path(real);
        std::filesystem::remove_all(tmp_.dir() / "media");
        MakeMedia({}, {{c.file, c.bytes}});
        EXPECT_EQ(FindDemoMediaProblems(), std::vector<MediaProblem>{}) << "passes the check";
        testseam::ForgetWarnings();
        testing::internal::CaptureStderr();
        EXPECT_EQ(StartUpError(), c.message);
        const std::string warnings = testing::internal::GetCapturedStderr();
        const std::size_t named = warnings.find("Sound " + std::string(c.file) + " ");
        EXPECT_NE(named, std::string::npos) << warnings;
        EXPECT_NE(warnings.find(c.why, named), std::string::npos) << warnings;
    }
    std::filesystem::current_path(real);
}

// The file's bytes with the data of every IDAT chunk zeroed (or, with `flip`, 64 bytes in the
// middle of the first one inverted) and its checksum made good again: the start-up check passes
// it, decoding it fails.
std::vector<std::uint8_t> UndecodablePng(const std::string& path, bool flip = false) {
    std::ifstream in(path, std::ios::binary);
    std::vector<std::uint8_t> png((std::istreambuf_iterator<char>(in)),
                                  std::istreambuf_iterator<char>());
    for (std::size_t at = 8; at + 12 <= png.size();) {
        const std::size_t length = std::size_t(png[at]) << 24 | std::size_t(png[at + 1]) << 16 |
                                   std::size_t(png[at + 2]) << 8 | png[at + 3];
        if (at + 12 + length > png.size()) break;
        if (std::memcmp(&png[at + 4], "IDAT", 4) == 0) {
            if (!flip) {
                std::fill_n(png.begin() + std::ptrdiff_t(at + 8), length, 0);
            } else if (length >= 128) {
                for (std::size_t i = at + 8 + length / 2 - 32; i < at + 8 + length / 2 + 32; ++i)
                    png[i] = std::uint8_t(~png[i]);
                flip = false; // the first chunk only
            }
            const uLong crc = crc32(0, &png[at + 4], uInt(length + 4));
            for (int i = 0; i < 4; ++i)
                png[at + 8 + length + i] = std::uint8_t(crc >> (24 - 8 * i));
        }
        at += 12 + length;
    }
    return png;
}

// Every image file of the show is decoded during start-up: one whose chunks are whole but whose
// data does not decode is refused before anything of the show is made, by name, with the others
// like it, whether start-up itself needs it (an image, a strip, a brush texture, the giant
// piece's texture) or the show loads it only later (the pieces' texture, phase 2), and whether
// its data is gone or only spoilt.
TEST_F(BrokenMediaTest, AFileThatPassesTheCheckButDoesNotDecodeIsRefusedAtStartUp) {
    const std::filesystem::path real = std::filesystem::current_path();
    const std::vector<std::string> damaged = {"media/txt_is.png",     "media/kolumo.png",
                                              "media/scroll3.png",    "media/cubo0000b.png",
                                              "media/piezalinea.png", "media/pieza.png"};
    std::map<std::string, std::vector<std::uint8_t>> replace;
    for (const std::string& f : damaged) replace[f] = UndecodablePng((real / f).string());
    // The end-screen scroller strip with spoilt bytes in its image data: a reader that only
    // warned about them would draw thousands of wrong pixels.
    replace["media/scrollkolumo.png"] =
        UndecodablePng((real / "media/scrollkolumo.png").string(), true);
    MakeMedia({}, replace);
    EXPECT_EQ(FindDemoMediaProblems(), std::vector<MediaProblem>{}) << "passes the check";
    std::string expected = "Media files missing or bad (7 of 56):";
    for (const std::string& f : DemoMediaFiles()) // in list order
        if (replace.count(f)) expected += "\n  " + f + " does not decode";
    EXPECT_EQ(StartUpError(), expected);
    EXPECT_EQ(musica, nullptr) << "refused before the show's media were taken";
    EXPECT_EQ(portada, nullptr);
    std::filesystem::current_path(real);
}

} // namespace
