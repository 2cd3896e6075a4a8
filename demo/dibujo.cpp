#include "demo/dibujo.h"

#include "demo/globals.h"
#include "demo/media.h"
#include "demo/tpluma.h"
#include "platform/random.h"
#include "platform/stream.h"

PuntoDibujo LeePuntoDibujo(const StreamRef& archivo, int bytes) {
    if (bytes == kBytesTrazo) {
        ReadInt(archivo); // where the pen came from: not drawn
        ReadInt(archivo);
    }
    PuntoDibujo p;
    p.x = ReadInt(archivo);
    p.y = ReadInt(archivo);
    return p;
}

std::string ProblemaPuntoDibujo(const PuntoDibujo& p) {
    if (p.x >= 0 && p.x < kAnchoDibujo && p.y >= 0 && p.y < kAltoDibujo) return "";
    return "point (" + std::to_string(p.x) + ", " + std::to_string(p.y) + ") off the " +
           std::to_string(kAnchoDibujo) + " x " + std::to_string(kAltoDibujo) + " screen";
}

namespace {

// Reads one trail point from `pen` and stamps it, with the glow on it.
void PuntoEstela(const StreamRef& pen) {
    if (Eof(pen)) return;
    const PuntoDibujo p = LeePuntoDibujo(pen, kBytesPunto);
    const auto& c = kColoresEstela[std::size_t(Rand(0, 6))];
    tlapiz::crea(p.x, p.y, lapiz, c[0], c[1], c[2]);
    tlapiz::pintaflare(flare, p.x, p.y);
}

} // namespace

int lee_dibujo_scroll() {
    if (scrollpausa > 0) {
        --scrollpausa;
        return 0;
    }
    if (scrolldibujo == 5) tlapiz::borratodo(tlapiz::kSalto);
    if (!Eof(dibujo)) {
        const PuntoDibujo p = LeePuntoDibujo(dibujo, kBytesTrazo);
        tlapiz::crea(p.x, p.y, lapiz, scrollr, scrollg, scrollb);
        return 0;
    }
    CloseFile(dibujo);
    ++scrolldibujo;
    if (scrolldibujo >= 2 && scrolldibujo <= 4) {
        const DibujoScroll& d = kDibujosScroll[std::size_t(scrolldibujo - 1)];
        dibujo = MustOpenFile(d.archivo);
        scrollr = d.r;
        scrollg = d.g;
        scrollb = d.b;
        scrollpausa = kPausaDibujo;
    } else if (scrolldibujo == 5) {
        scrollpausa = kPausaFinal;
    }
    return 0;
}

int paso_estelas() {
    PuntoEstela(dibujo);
    PuntoEstela(dibujo2);
    if (estelaborrado > 0) {
        --estelaborrado;
    } else {
        estelaborrado = kBorradoEstela;
        tlapiz::borratodo(tlapiz::kSalto);
    }
    tlapiz::actualiza(ALPHABLEND, 1.0f);
    return 0;
}

std::string ArchivoSaludo(int n) {
    return "media/saludo" + std::to_string(n) + ".lap";
}

int cambia_saludo() {
    CloseFile(dibujo);
    dibujo = MustOpenFile(ArchivoSaludo(saludosnumero));
    if (saludosnumero < kUltimoSaludo) ++saludosnumero;
    tlapiz::borratodo(tlapiz::kEstallido);
    return 0;
}

int lee_saludo() {
    while (!Eof(dibujo)) {
        const PuntoDibujo p = LeePuntoDibujo(dibujo, kBytesPunto);
        tlapiz::crea(p.x, p.y, flare, 255, 255, 255);
    }
    tlapiz::actualiza(LIGHTBLEND, 1.0f);
    return 0;
}
