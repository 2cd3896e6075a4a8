// Phase 6, the credits, with its hand-over from phase 5.
//
// The hand-over hides the mirror-sphere room and opens the trail files. The credits text runs
// right to left as a wave of thin columns with a drop shadow; the giant piece turns in the main
// view and again in a column of six small views that scrolls up without end; two tickers run in
// opposite directions above and below the main view and two pens draw comet trails over
// everything. A beat gives the whole picture a downward jolt that eases back.
#include "demo/phases.h"

#include "demo/backdrops.h"
#include "demo/dibujo.h"
#include "demo/flash.h"
#include "demo/float_math.h"
#include "demo/globals.h"
#include "demo/media.h"
#include "demo/phases_steps.h"
#include "demo/sequencer.h"
#include "demo/tcubemap.h"
#include "demo/tcubo.h"
#include "demo/tpieza.h"
#include "demo/tpiezagigante.h"
#include "demo/tpluma.h"
#include "engine/camera.h"
#include "engine/commands.h"
#include "engine/light.h"
#include "engine/pivot.h"
#include "platform/mathfn.h"
#include "platform/random.h"
#include "platform/stream.h"

namespace {

// How far a column is drawn: 4 pixels wide and 8 times its 36 rows.
constexpr float kAnchoColumna = 4.0f;
constexpr float kAltoColumna = 8.0f;
constexpr int kSombra = 6; // the grey shadow's offset right and down
// The wave: mid height, amplitude, angle step per column.
constexpr float kAlturaOla = 350.0f;
constexpr float kAmplitudOla = 50.0f;
constexpr float kPasoAngulo = 2.3f;
constexpr float kAvanceTexto = 2.1f; // text columns per frame
constexpr float kSalto = -24.0f;     // the jolt of a sincHamPow beat
constexpr float kRetorno = 0.05f;    // share of the jolt eased back per frame
// The split views.
constexpr int kVistas = 6;
constexpr int kPasoVistas = 120;
// From this tick the flash is held up until the phase ends.
constexpr int kFlashFinal = 2630;

} // namespace

std::array<ColumnaCreditos, kColumnasCreditos> AvanzaOlaCreditos() {
    tamcreditos = EaseF(tamcreditos, 0.0, kRetorno);
    const long long c = TruncToIntClamped(double(poscreditos));
    angcreditos = ang2creditos;
    std::array<ColumnaCreditos, kColumnasCreditos> columnas{};
    for (int j = 0; j < kColumnasCreditos; ++j) {
        ColumnaCreditos& col = columnas[std::size_t(j)];
        col.x = float(j) * kAnchoColumna;
        col.y = (double(kAlturaOla) - double(tamcreditos)) +
                Cos(double(angcreditos)) * double(kAmplitudOla);
        // The strip repeats: column numbers wrap into 0 .. 2599 (also from a negative start).
        col.cuadro = int(((c + j) % kCuadrosCreditos + kCuadrosCreditos) % kCuadrosCreditos);
        angcreditos = AddF(angcreditos, kPasoAngulo);
    }
    ang2creditos = float(double(ang2creditos) + Sin(double(angcreditos)) * 10.0);
    poscreditos = AddF(poscreditos, kAvanceTexto);
    return columnas;
}

int ArribaVistaPrincipal() {
    return TruncToIntClamped(32.0 - double(tamcreditos));
}

int ArribaVistaLateral(int i) {
    return TruncToIntClamped(double(rendersscroll) + double(i) * kPasoVistas - double(tamcreditos));
}

void AvanzaVistasLaterales() {
    if (rendersscroll > float(-kPasoVistas))
        rendersscroll = SubF(rendersscroll, 1.0);
    else
        rendersscroll = 0.0f;
}

void parte6() {
    Begin2D();
    pon_fondo(0.8f, 255, 255, 255);
    SetBlend(ALPHABLEND);
    SetRotation(0);
    SetScale(kAnchoColumna, kAltoColumna);
    SetAlpha(1);
    for (const ColumnaCreditos& col : AvanzaOlaCreditos()) {
        SetColor(150, 150, 150);
        DrawImage(creditos, col.x + kSombra, float(col.y + kSombra), col.cuadro);
        SetColor(240, 120, 0);
        DrawImage(creditos, col.x, float(col.y), col.cuadro);
    }
    End2D();

    if (BeatHit(sincHamClap, sinchamclap_pos)) {
        if (flash) flash->activa(0.7f, 0.125f, 0.06125f);
        if (piezagigante) piezagigante->destpitch = AddF(piezagigante->destpitch, 45);
    }
    if (BeatHit(sincHamPow, sinchamPow_pos)) {
        if (piezagigante) piezagigante->destpitch = AddF(piezagigante->destpitch, 45);
        tamcreditos = kSalto;
    }
    if (piezagigante) piezagigante->actualiza();

    PositionEntity(camara, 10, 0, 0, 0);
    CameraViewport(camara, 0, ArribaVistaPrincipal(), 800, 536);
    RenderWorld();
    for (int i = 0; i < kVistas; ++i) {
        PositionEntity(camara, 20, 0, 0, 0);
        CameraViewport(camara, 10, ArribaVistaLateral(i), 160, 119);
        RenderWorld();
    }
    AvanzaVistasLaterales();

    Begin2D();
    SetBlend(ALPHABLEND);
    SetRotation(0);
    SetAlpha(1);
    SetColor(255, 255, 255);
    PintaTickers();
    AvanzaTickers();
    paso_estelas();
    if (ticks > float(kFlashFinal) && flash) flash->activa(1.0f, 0.5f, 0.15f);
    if (flash) flash->actualiza();
    pon_fps();
    End2D();
}

void entra_parte6() {
    // Room and sphere disappear; they stay built for phase 7.
    if (cubo) HideEntity(cubo->pivote);
    if (cubemap) HideEntity(cubemap->pivote);
    tpieza::destruyetodo();
    CameraZoom(camara, 1);
    PositionEntity(camara, 0, 0, 0, 0);
    RotateEntity(camara, 0, 0, 0, 0);
    dibujo = MustOpenFile("media/estela.lap");
    dibujo2 = MustOpenFile("media/estela2.lap");
    RotateEntity(luz, 0, 0, 0, 0);
}
