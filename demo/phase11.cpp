// Phase 11, the end screen: a picture in three layers with fireworks, a wave scroller and
// the bobbing group logo between them, and its own song repeating, until Escape.
#include "demo/phase11.h"

#include "demo/backdrops.h"
#include "demo/flash.h"
#include "demo/float_math.h"
#include "demo/globals.h"
#include "demo/phase9.h"
#include "demo/phases.h"
#include "demo/tfuegoestela.h"
#include "demo/tpieza.h"
#include "engine/commands.h"
#include "platform/audio.h"
#include "platform/error.h"
#include "platform/image2d.h"
#include "platform/input.h"
#include "platform/mathfn.h"
#include "platform/random.h"

namespace {

// The layers of the end-screen picture, by frame of `kolumoimage`.
constexpr int kFondoKolumo = 0;
constexpr int kFrenteKolumo = 1;
constexpr int kMedioKolumo = 2;

// Rockets start here, at a random x between these.
constexpr float kSalidaFuegoY = 500.0f;

constexpr int kColumnasKolumo = 200;

// The group logo is kicked up whenever it is lower than this.
constexpr float kSueloHalvren = 550.0f;

// One layer of the picture stretched over the screen, opaque, untinted, alpha-blended.
void CapaKolumo(int frame) {
    SetAlpha(1.0f);
    SetRotation(0);
    SetColor(255, 255, 255);
    SetScale(1, 1);
    SetBlend(ALPHABLEND);
    DrawImageRect(kolumoimage, 0, 0, 800, 600, frame);
}

} // namespace

void entra_parte11() {
    if (musica) musica->stop();
    tpieza::destruyetodo();
    poscreditos = 0.0f;
    // The channel is not kept: the song repeats until the program ends.
    const ChannelRef c = PlaySound(kolumomusic, nullptr);
    SetChannelVolume(c, 1.0f);
}

void LanzaFuegos() {
    if (frecuenciafuegos > 0) {
        --frecuenciafuegos;
        return;
    }
    frecuenciafuegos = Rand(15, 60);
    const int* color = kColoresFuego[Rand(1, 4) - 1];
    // The creation call's arguments are evaluated last to first.
    const int vida = Rand(90, 120);
    const float vy = Rnd(-4.0f, -2.0f);
    const float vx = Rnd(-2.0f, 2.0f);
    const float x = Rnd(200.0f, 600.0f);
    tfuegoestela::crea(x, kSalidaFuegoY, vx, vy, float(vida), color[0], color[1], color[2], 1);
}

void OlaKolumo() {
    SetBlend(ALPHABLEND);
    SetRotation(0);
    SetScale(4, 4);
    SetAlpha(1.0f);
    int p = TruncToInt(poscreditos, 0);
    angcreditos = ang2creditos;
    for (int c = 0; c < kColumnasKolumo; ++c) {
        const float x = float(4 * c);
        const float y = float(280.0 + Cos(angcreditos) * 50.0);
        // p is never negative while poscreditos only grows from 0; the guard keeps a negative
        // start value inside the strip as well.
        const int cuadro = ((p % kCuadrosKolumo) + kCuadrosKolumo) % kCuadrosKolumo;
        SetColor(0, 0, 0);
        DrawImage(scrollkolumo, x + 3, y + 3, cuadro);
        SetColor(250, 160, 0);
        DrawImage(scrollkolumo, x, y, cuadro);
        angcreditos = AddF(angcreditos, 2.3f);
        if (p < 2147483647) ++p;
    }
    ang2creditos = float(double(ang2creditos) + Sin(angcreditos) * 10.0);
    poscreditos += 2.0f;
}

void RebotaHalvren() {
    SetAlpha(1.0f);
    SetRotation(0);
    SetScale(1, 2);
    SetBlend(ALPHABLEND);
    if (halvreny > kSueloHalvren) halvrenvy = -2.0f;
    halvreny += halvrenvy;
    halvrenvy = AddF(halvrenvy, 0.1f);
    DrawImage(halvren, 410, halvreny, 0);
}

void parte11() {
    Begin2D();
    CapaKolumo(kFondoKolumo);
    End2D();
    RenderWorld();

    Begin2D();
    LanzaFuegos();
    tfuegoestela::actualiza();
    CapaKolumo(kMedioKolumo);
    OlaKolumo();
    RebotaHalvren();
    CapaKolumo(kFrenteKolumo);
    pon_fps();
    End2D();
    // Before the flip: the frame loop's own test comes after it.
    if (KeyHit(Key::Escape) != 0) End();
}
