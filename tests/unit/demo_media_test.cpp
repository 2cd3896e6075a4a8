// The list of files the demo opens, the start-up check that they exist, and the checked loaders.
#include "demo/media.h"

#include "demo_fixture.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
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

// The generated media folder and the list agree both ways.
TEST_F(DemoMediaTest, GeneratedMediaFolderHasExactlyTheListedFiles) {
    const std::filesystem::path root = std::filesystem::path(LAPIZ_MEDIA_DIR).parent_path();
    EXPECT_TRUE(MissingDemoMedia(root.string()).empty());
    const auto& files = DemoMediaFiles();
    const std::set<std::string> listed(files.begin(), files.end());
    for (const auto& entry : std::filesystem::directory_iterator(LAPIZ_MEDIA_DIR))
        EXPECT_EQ(listed.count("media/" + entry.path().filename().string()), 1u)
            << entry.path() << " is not in the list";
}

TEST_F(DemoMediaTest, MissingFilesAreReportedInListOrderAndNameTheFirst) {
    TempDir tmp;
    MakeMedia(tmp, {"media/txt_is.png", "media/saludo7.lap"});
    EXPECT_EQ(MissingDemoMedia(tmp.dir().string()),
              (std::vector<std::string>{"media/txt_is.png", "media/saludo7.lap"}));
    InDir(tmp.dir(), [] {
        EXPECT_EQ(ExitMessage(CheckDemoMedia),
                  "Missing media file: media/txt_is.png (and 1 more of 56)");
    });

    // A folder in place of a file counts as missing.
    TempDir other;
    MakeMedia(other, {"media/escenario1.esc"});
    std::filesystem::create_directories(other.dir() / "media/escenario1.esc");
    InDir(other.dir(), [] {
        EXPECT_EQ(ExitMessage(CheckDemoMedia), "Missing media file: media/escenario1.esc");
    });

    TempDir complete;
    MakeMedia(complete, {});
    InDir(complete.dir(), [] { EXPECT_NO_THROW(CheckDemoMedia()); });
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
        // An empty line drawing opens: it is simply a drawing without points.
        EXPECT_NE(MustOpenFile("media/verde.lap"), nullptr);
    });
}

} // namespace
