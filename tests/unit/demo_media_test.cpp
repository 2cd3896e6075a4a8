// The list of files the demo opens, the start-up check that they exist, and the checked loaders.
#include "demo/media.h"

#include "demo/beat_tables.h"
#include "demo/dibujo.h"
#include "demo/music.h"

#include "audio_fixture.h"
#include "demo_fixture.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <limits>
#include <set>
#include <string>

namespace {

using demotest::DemoTest;
using demotest::Exited;

// Runs the body with the working directory moved to `dir`, and moves back.
template <class F> void InDir(const std::filesystem::path& dir, F body) {
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(dir);
    try {
        body();
    } catch (...) {
        std::filesystem::current_path(before);
        throw;
    }
    std::filesystem::current_path(before);
}

// A media folder with every listed file present (empty) except `leaveOut`.
void MakeMedia(const TempDir& tmp, const std::set<std::string>& leaveOut) {
    std::filesystem::create_directories(tmp.dir() / "media");
    for (const std::string& f : DemoMediaFiles())
        if (!leaveOut.count(f)) tmp.write(f, {});
}

std::string ExitMessage(void (*body)()) {
    try {
        body();
    } catch (const Exited& e) {
        EXPECT_EQ(e.status, -1);
        return e.message;
    }
    return "(did not end)";
}

using DemoMediaTest = DemoTest;

TEST_F(DemoMediaTest, ListHoldsEveryFileOnceUnderMedia) {
    const auto& files = DemoMediaFiles();
    EXPECT_EQ(files.size(), 56u);
    EXPECT_EQ(std::set<std::string>(files.begin(), files.end()).size(), files.size());
    for (const std::string& f : files) EXPECT_EQ(f.rfind("media/", 0), 0u) << f;
    EXPECT_EQ(files.front(), "media/musica.ogg");
    EXPECT_EQ(files.back(), "media/escenario1.esc");
    for (const char* f : {"media/cubo0005b.png", "media/scroll0.png", "media/saludo16.lap",
                          "media/pieza.png", "media/piezalinea.png", "media/verde.lap"})
        EXPECT_EQ(std::set<std::string>(files.begin(), files.end()).count(f), 1u) << f;
}

const std::filesystem::path kMedia = LAPIZ_MEDIA_DIR;

// The generated media folder and the list agree both ways, and every file passes the check.
TEST_F(DemoMediaTest, GeneratedMediaFolderHasExactlyTheListedFilesAndAllDecode) {
    EXPECT_EQ(FindDemoMediaProblems(kMedia.parent_path().string()), std::vector<MediaProblem>{});
    const auto& files = DemoMediaFiles();
    const std::set<std::string> listed(files.begin(), files.end());
    for (const auto& entry : std::filesystem::directory_iterator(kMedia))
        EXPECT_EQ(listed.count("media/" + entry.path().filename().string()), 1u)
            << entry.path() << " is not in the list";
}

std::vector<std::uint8_t> ReadAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A copy of the generated media in which some files are missing or damaged: every problem is
// found before anything is decoded, in list order, and reported at once.
TEST_F(DemoMediaTest, EveryMissingOrDamagedFileIsReportedAtOnce) {
    TempDir tmp;
    std::filesystem::create_directories(tmp.dir() / "media");
    for (const std::string& f : DemoMediaFiles())
        std::filesystem::copy_file(kMedia.parent_path() / f, tmp.dir() / f);
    const auto damage = [&](const std::string& f, auto change) {
        std::vector<std::uint8_t> bytes = ReadAll(tmp.dir() / f);
        change(bytes);
        tmp.write(f, bytes);
    };
    // The song cut to a tenth: what is left decodes, but ends long before the show does.
    damage("media/musica.ogg", [](auto& b) { b.resize(b.size() / 10); });
    std::filesystem::remove(tmp.dir() / "media/txt_is.png");
    damage("media/kolumo.ogg", [](auto& b) { std::fill(b.begin(), b.begin() + 64, 0); });
    damage("media/scroll3.png", [](auto& b) { b.assign(b.size(), 0x5a); });
    damage("media/cubo0002b.png", [](auto& b) { b[b.size() / 2] ^= 0x10; });
    damage("media/pieza.png", [](auto& b) { b.resize(b.size() / 2); });
    std::filesystem::remove(tmp.dir() / "media/saludo7.lap");
    std::filesystem::remove(tmp.dir() / "media/escenario1.esc");
    std::filesystem::create_directories(tmp.dir() / "media/escenario1.esc"); // a folder

    const std::vector<MediaProblem> problems = FindDemoMediaProblems(tmp.dir().string());
    ASSERT_EQ(problems.size(), 8u);
    EXPECT_EQ(problems[0].file, "media/musica.ogg");
    EXPECT_TRUE(problems[0].why.starts_with("ends at tick 4")) << problems[0].why;
    EXPECT_EQ(std::vector<MediaProblem>(problems.begin() + 1, problems.end()),
              (std::vector<MediaProblem>{
                  {"media/txt_is.png", "is missing"},
                  {"media/kolumo.ogg", "is not an Ogg Vorbis file"},
                  {"media/scroll3.png", "is not a readable image"},
                  {"media/cubo0002b.png", "has a damaged chunk"},
                  {"media/pieza.png", "is cut short"},
                  {"media/saludo7.lap", "is missing"},
                  {"media/escenario1.esc", "is missing"},
              }));

    std::string expected = "Media files missing or bad (8 of 56):";
    for (const MediaProblem& p : problems) expected += "\n  " + p.file + " " + p.why;
    InDir(tmp.dir(), [&] { EXPECT_EQ(ExitMessage(CheckDemoMedia), expected); });
}

// Bytes of little-endian 32-bit values, as the line drawings and the scene file hold them.
std::vector<std::uint8_t> Int32s(std::initializer_list<std::int32_t> values) {
    std::vector<std::uint8_t> out;
    for (const std::int32_t v : values)
        for (int i = 0; i < 4; ++i) out.push_back(std::uint8_t(std::uint32_t(v) >> (8 * i)));
    return out;
}
std::vector<std::uint8_t> Float32s(std::initializer_list<float> values) {
    std::vector<std::uint8_t> out;
    for (const float v : values) {
        std::int32_t bits = 0;
        std::memcpy(&bits, &v, 4);
        const std::vector<std::uint8_t> b = Int32s({bits});
        out.insert(out.end(), b.begin(), b.end());
    }
    return out;
}
// Writes `bytes` over the file's bytes from `at` on.
void Overwrite(std::vector<std::uint8_t>& file, std::size_t at,
               const std::vector<std::uint8_t>& bytes) {
    ASSERT_LE(at + bytes.size(), file.size());
    std::copy(bytes.begin(), bytes.end(), file.begin() + std::ptrdiff_t(at));
}

// Line drawings and the scene file are read whole, through the readers of the show: a file that
// is empty, ends in a cut record, holds other than its drawing's records or too few (the scene
// file), or a record out of range is refused by name, and its own damage alone.
TEST_F(DemoMediaTest, DamagedLineDrawingsAndSceneFilesAreRefusedByName) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    using Bytes = std::vector<std::uint8_t>;
    const struct Case {
        const char* file;
        std::function<void(Bytes&)> damage;
        const char* why;
    } cases[] = {
        {"media/verde.lap", [](Bytes& b) { b.clear(); }, "is empty"},
        {"media/saludo0.lap", [](Bytes& b) { b.clear(); }, "is empty"},
        {"media/estela.lap", [](Bytes& b) { b.resize(b.size() - 3); }, "ends in a cut record"},
        // Cut on a record boundary: whole records, but fewer or more than the drawing has.
        {"media/estela.lap", [](Bytes& b) { b.resize(b.size() / 2); },
         "holds 500 of the 1000 records drawn"},
        {"media/verde.lap", [](Bytes& b) { b.resize(b.size() - 16); },
         "holds 235 of the 236 records drawn"},
        {"media/saludo16.lap",
         [](Bytes& b) {
             const Bytes more = Int32s({400, 300});
             b.insert(b.end(), more.begin(), more.end());
         },
         "holds 293 records, not the 292 drawn"},
        // Half a phase-4 record: a whole trail record, but not a whole one of this file.
        {"media/rojo.lap", [](Bytes& b) { b.resize(b.size() - 8); }, "ends in a cut record"},
        {"media/saludo3.lap",
         [](Bytes& b) {
             Overwrite(b, 4 * 8, Int32s({812, -3}));
         },
         "has a bad record 5: point (812, -3) off the 800 x 600 screen"},
        // A phase-4 record: the point drawn is the second pair.
        {"media/naranja.lap",
         [](Bytes& b) {
             Overwrite(b, 16 + 8, Int32s({-1, 10}));
         },
         "has a bad record 2: point (-1, 10) off the 800 x 600 screen"},
        {"media/escenario1.esc", [](Bytes& b) { b.clear(); }, "is empty"},
        {"media/escenario1.esc", [](Bytes& b) { b.resize(b.size() - 5); }, "ends in a cut record"},
        {"media/escenario1.esc", [](Bytes& b) { b.resize(28 * 10); },
         "holds 10 of the 16 records read"},
        {"media/escenario1.esc", [](Bytes& b) { Overwrite(b, 28 * 2, Float32s({9})); },
         "has a bad record 3: a shape that is not one of 0 to 6"},
        {"media/escenario1.esc", [](Bytes& b) { Overwrite(b, 28 * 2, Float32s({-1})); },
         "has a bad record 3: a shape that is not one of 0 to 6"},
        {"media/escenario1.esc", [nan](Bytes& b) { Overwrite(b, 0, Float32s({nan})); },
         "has a bad record 1: a shape that is not one of 0 to 6"},
        {"media/escenario1.esc", [](Bytes& b) { Overwrite(b, 28 * 15 + 4, Float32s({1000})); },
         "has a bad record 16: a position beyond 50 units"},
        {"media/escenario1.esc", [nan](Bytes& b) { Overwrite(b, 28 * 4 + 12, Float32s({nan})); },
         "has a bad record 5: a value that is not a finite number"},
        {"media/escenario1.esc", [inf](Bytes& b) { Overwrite(b, 28 * 4 + 20, Float32s({inf})); },
         "has a bad record 5: a value that is not a finite number"},
        {"media/escenario1.esc", [](Bytes& b) { Overwrite(b, 28 * 7 + 16, Float32s({720})); },
         "has a bad record 8: an angle beyond a whole turn"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.file) + " " + c.why);
        TempDir tmp;
        std::filesystem::create_directories(tmp.dir() / "media");
        for (const std::string& f : DemoMediaFiles())
            std::filesystem::create_symlink(kMedia.parent_path() / f, tmp.dir() / f);
        Bytes bytes = ReadAll(kMedia.parent_path() / c.file);
        c.damage(bytes);
        if (HasFatalFailure()) return;
        std::filesystem::remove(tmp.dir() / c.file);
        tmp.write(c.file, bytes);
        EXPECT_EQ(FindDemoMediaProblems(tmp.dir().string()),
                  (std::vector<MediaProblem>{{c.file, c.why}}));
    }
}

// Every line drawing cut on a record boundary, to half of its records and to 95%, is refused by
// name: the show knows how many records each of its drawings holds.
TEST_F(DemoMediaTest, EveryDrawingCutOnARecordBoundaryIsRefusedByName) {
    ASSERT_EQ(std::count_if(DemoMediaFiles().begin(), DemoMediaFiles().end(),
                            [](const std::string& f) { return f.ends_with(".lap"); }),
              std::ptrdiff_t(kDibujos.size()));
    TempDir tmp;
    std::filesystem::create_directories(tmp.dir() / "media");
    for (const std::string& f : DemoMediaFiles())
        std::filesystem::create_symlink(kMedia.parent_path() / f, tmp.dir() / f);
    for (const DibujoDelShow& d : kDibujos) {
        const std::string file(d.archivo);
        const std::vector<std::uint8_t> whole = ReadAll(kMedia.parent_path() / file);
        ASSERT_EQ(whole.size(), std::size_t(d.registros) * std::size_t(d.bytes)) << file;
        for (const int percent : {50, 95}) {
            const int kept = d.registros * percent / 100;
            SCOPED_TRACE(file + " cut to " + std::to_string(kept) + " records");
            std::filesystem::remove(tmp.dir() / file);
            tmp.write(file, std::vector<std::uint8_t>(
                                whole.begin(), whole.begin() + std::ptrdiff_t(kept * d.bytes)));
            EXPECT_EQ(FindDemoMediaProblems(tmp.dir().string()),
                      (std::vector<MediaProblem>{
                          {file, "holds " + std::to_string(kept) + " of the " +
                                     std::to_string(d.registros) + " records drawn"}}));
        }
        std::filesystem::remove(tmp.dir() / file);
        std::filesystem::create_symlink(kMedia.parent_path() / file, tmp.dir() / file);
    }
}

// The main song must carry the clock a second past the last phase threshold.
TEST_F(DemoMediaTest, MainSongMustPlayPastTheLastThreshold) {
    const std::int64_t needed = std::int64_t(beat_tables::kLastTick + 30) * 1470;
    EXPECT_EQ(MainSongTooShort(needed), "");
    EXPECT_EQ(MainSongTooShort(143 * 44100), "");
    EXPECT_EQ(MainSongTooShort(needed - 1470),
              "ends at tick 4229 (141.0 s); the show needs it to play to tick 4230 (141 s)");
    EXPECT_EQ(MainSongTooShort(0),
              "ends at tick 0 (0.0 s); the show needs it to play to tick 4230 (141 s)");

    // Decoded, a two-second song is refused naming the file; when its last page claims the
    // length of the whole show, the loader refuses it for decoding short of its claim.
    TempDir tmp;
    std::vector<std::uint8_t> bytes =
        OggBytes(Tone(88200, 44100, {440.0, 550.0}, 4000.0), 2, 44100, 0.1f);
    tmp.write("short.ogg", bytes);
    ASSERT_TRUE(SetLastGranule(bytes, std::int64_t(536) << 20));
    tmp.write("long.ogg", bytes);
    AudioFileInfo info;
    ASSERT_EQ(ProbeAudioFile(tmp.path("long.ogg"), &info), "");
    EXPECT_EQ(MainSongTooShort(info.claimedFrames), "") << "the header check trusts the claim";
    for (const char* name : {"short.ogg", "long.ogg"}) {
        const std::string path = tmp.path(name);
        SCOPED_TRACE(path);
        try {
            tmusic::loadMain(path);
            ADD_FAILURE() << "a two-second song was accepted";
        } catch (const Exited& e) {
            EXPECT_EQ(e.status, -1);
            EXPECT_EQ(e.message, name == std::string("short.ogg")
                                     ? "Song too short: " + path +
                                           " ends at tick 60 (2.0 s); the show needs it to play "
                                           "to tick 4230 (141 s)"
                                     : "Cannot load music: " + path);
        }
    }
}

// A song whose last page states half of what it holds is refused naming the file: the main song
// by the start-up check (its stated length ends before the show), the end song when it loads.
TEST_F(DemoMediaTest, ASongStatingLessThanItHoldsIsRefusedNamingIt) {
    TempDir tmp;
    std::filesystem::create_directories(tmp.dir() / "media");
    for (const std::string& f : DemoMediaFiles())
        std::filesystem::create_symlink(kMedia.parent_path() / f, tmp.dir() / f);
    for (const char* song : {kMainSongFile, "media/kolumo.ogg"}) {
        AudioFileInfo info;
        ASSERT_EQ(ProbeAudioFile((kMedia.parent_path() / song).string(), &info), "");
        std::vector<std::uint8_t> bytes = ReadAll(kMedia.parent_path() / song);
        ASSERT_TRUE(SetLastGranule(bytes, info.claimedFrames / 2));
        std::filesystem::remove(tmp.dir() / song);
        tmp.write(song, bytes);
    }
    const std::vector<MediaProblem> problems = FindDemoMediaProblems(tmp.dir().string());
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_EQ(problems[0].file, kMainSongFile);
    EXPECT_TRUE(problems[0].why.starts_with("ends at tick 2")) << problems[0].why;
    InDir(tmp.dir(), [] {
        EXPECT_EQ(ExitMessage([] { MustLoadSound("media/kolumo.ogg", 1); }),
                  "Cannot load sound: media/kolumo.ogg");
    });
}

TEST_F(DemoMediaTest, CheckedLoadersEndTheProgramNamingTheFile) {
    TempDir tmp;
    MakeMedia(tmp, {}); // every file exists, but empty: none decodes
    InDir(tmp.dir(), [] {
        EXPECT_EQ(ExitMessage([] { MustLoadImage("media/portada.png", 7); }),
                  "Cannot load image: media/portada.png");
        EXPECT_EQ(ExitMessage([] { MustLoadAnimImage("media/kolumo.png", 334, 229, 0, 3, 1); }),
                  "Cannot load image strip: media/kolumo.png");
        EXPECT_EQ(ExitMessage([] { MustLoadSound("media/kolumo.ogg", 1); }),
                  "Cannot load sound: media/kolumo.ogg");
        EXPECT_EQ(ExitMessage([] { MustOpenFile("media/nothere.lap"); }),
                  "Cannot load file: media/nothere.lap");
        EXPECT_EQ(ExitMessage([] { tmusic::load("media/musica.ogg"); }),
                  "Cannot load music: media/musica.ogg");
        // An empty line drawing opens (the start-up check is what refuses it).
        EXPECT_NE(MustOpenFile("media/verde.lap"), nullptr);
    });
}

} // namespace
