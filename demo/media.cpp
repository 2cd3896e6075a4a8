#include "demo/media.h"

#include "demo/dibujo.h"
#include "demo/escena.h"
#include "demo/music.h"
#include "demo/tcubo.h"
#include "demo/tpiezagigante.h"
#include "demo/tscroll.h"
#include "engine/commands.h"
#include "platform/error.h"
#include "platform/pixmap.h"

#include <cstdint>
#include <filesystem>
#include <limits>
#include <system_error>
#include <utility>

const std::vector<std::string>& DemoMediaFiles() {
    static const std::vector<std::string> files = [] {
        std::vector<std::string> f = {
            // Start-up, in load order.
            kMainSongFile,
            "media/portada.png",
            "media/fondo.png",
            "media/marco.png",
            "media/txt_theuniverse.png",
            "media/txt_is.png",
            "media/txt_fewunsorted.png",
            "media/txt_blocks.png",
            "media/lapiz.png",
            "media/flare.png",
            "media/kolumo.png",
            "media/kolumo.ogg",
            "media/obel.png",
            "media/varnik.png",
        };
        // The scroller's six images, then the sky cube's six faces.
        for (int i = 0; i < tscroll::kQuads; ++i) f.push_back(tscroll::archivo(i));
        for (int i = 0; i < tcubo::kCaras; ++i) f.push_back(tcubo::archivo(i));
        // The giant piece's texture, the rest of start-up, then the block pieces' texture
        // (first piece, phase 2).
        for (const char* name :
             {tpiezagigante::kArchivo, "media/ticker.png", "media/creditos.png",
              "media/scrollkolumo.png", "media/halvrenstudios.png", "media/pieza.png"})
            f.push_back(name);
        // The line drawings (phase 4's four, the two trail pens of phases 6 and 9, the
        // greetings of phase 8), then the scene file of phase 9.
        for (const DibujoDelShow& d : kDibujos) f.emplace_back(d.archivo);
        f.push_back("media/escenario1.esc");
        return f;
    }();
    return files;
}

namespace {

// How many records of a file the show takes: at least `least`, at most `most`, and what it does
// with them ("read", "drawn"), for the messages.
struct RecordsWanted {
    std::int64_t least;
    std::int64_t most;
    const char* use;
};

// Why a file of `bytes`-byte records would read wrong: "" when it holds as many whole records as
// `wanted` says and `judge` (which reads one record from the stream and says what is wrong with
// it, "" for nothing) finds nothing; else "is empty", "ends in a cut record", "holds 3 of the 16
// records read", "holds 1200 records, not the 1000 drawn" or "has a bad record 7: " and what
// `judge` said.
template <class Judge>
std::string recordsProblem(const std::string& path, int bytes, RecordsWanted wanted, Judge judge) {
    const StreamRef file = OpenFile(path, true, false);
    if (!file) return "cannot be read";
    const std::int64_t size = StreamSize(file);
    if (size == 0) return "is empty";
    if (size % bytes != 0) return "ends in a cut record";
    const std::int64_t count = size / bytes;
    if (count < wanted.least)
        return "holds " + std::to_string(count) + " of the " + std::to_string(wanted.least) +
               " records " + wanted.use;
    if (count > wanted.most)
        return "holds " + std::to_string(count) + " records, not the " +
               std::to_string(wanted.most) + " " + wanted.use;
    for (std::int64_t n = 1; n <= count; ++n)
        if (std::string why = judge(file); !why.empty())
            return "has a bad record " + std::to_string(n) + ": " + why;
    return "";
}

} // namespace

std::vector<MediaProblem> FindDemoMediaProblems(const std::string& root) {
    std::vector<MediaProblem> problems;
    for (const std::string& file : DemoMediaFiles()) {
        const std::string path =
            root.empty() ? file : (std::filesystem::path(root) / file).string();
        std::error_code ec;
        std::string why;
        if (!std::filesystem::is_regular_file(path, ec)) {
            why = "is missing";
        } else if (file.ends_with(".png")) {
            why = CheckImageFile(path);
        } else if (file.ends_with(".ogg")) {
            AudioFileInfo info;
            why = ProbeAudioFile(path, &info);
            if (why.empty() && file == kMainSongFile) why = MainSongTooShort(info.claimedFrames);
        } else if (const DibujoDelShow* d = BuscaDibujo(file)) {
            const int bytes = d->bytes;
            why = recordsProblem(path, bytes, {d->registros, d->registros, "drawn"},
                                 [bytes](const StreamRef& s) {
                                     return ProblemaPuntoDibujo(LeePuntoDibujo(s, bytes));
                                 });
        } else if (file.ends_with(".esc")) {
            why = recordsProblem(
                path, kBytesRegistroEscena,
                {kRegistrosEscena, std::numeric_limits<std::int64_t>::max(), "read"},
                [](const StreamRef& s) { return ProblemaRegistroEscena(LeeRegistroEscena(s)); });
        }
        if (!why.empty()) problems.push_back({file, why});
    }
    return problems;
}

void RefuseMediaProblems(const std::vector<MediaProblem>& problems) {
    if (problems.empty()) return;
    std::string message = "Media files missing or bad (" + std::to_string(problems.size()) +
                          " of " + std::to_string(DemoMediaFiles().size()) + "):";
    for (const MediaProblem& p : problems) message += "\n  " + p.file + " " + p.why;
    RuntimeError(message);
}

void CheckDemoMedia() {
    RefuseMediaProblems(FindDemoMediaProblems());
}

namespace {
template <class T> T checked(T loaded, const char* what, const std::string& path) {
    if (!loaded) RuntimeError(std::string("Cannot load ") + what + ": " + path);
    return loaded;
}
} // namespace

ImageRef MustLoadImage(const std::string& path, int flags) {
    return checked(LoadImage(path, flags), "image", path);
}

ImageRef MustUploadImage(const ImageRef& prepared, const std::string& path, bool strip) {
    return UploadImage(checked(prepared, strip ? "image strip" : "image", path));
}

ImageRef MustLoadAnimImage(const std::string& path, int cellWidth, int cellHeight, int first,
                           int count, int flags) {
    return checked(LoadAnimImage(path, cellWidth, cellHeight, first, count, flags), "image strip",
                   path);
}

SoundRef MustLoadSound(const std::string& path, int flags) {
    return MustHaveLoadedSound(LoadSound(path, flags), path);
}

SoundRef MustHaveLoadedSound(SoundRef loaded, const std::string& path) {
    return checked(std::move(loaded), "sound", path);
}

TextureRef MustLoadTexture(const std::string& path, int flags) {
    return checked(LoadTexture(path, flags), "texture", path);
}

TextureRef MustLoadPreparedTexture(PreparedTextureRef prepared, const std::string& path,
                                   int flags) {
    if (!prepared) return MustLoadTexture(path, flags);
    return checked(LoadPreparedTexture(prepared), "texture", path);
}

BrushRef MustLoadPreparedBrush(PreparedTextureRef prepared, const std::string& path, int flags) {
    BrushRef brush = CreateBrush(255, 255, 255);
    BrushTexture(brush, MustLoadPreparedTexture(std::move(prepared), path, flags), 0);
    return brush;
}

StreamRef MustOpenFile(const std::string& path) {
    return checked(OpenFile(path, true, false), "file", path);
}
