#include "demo/globals.h"

#include "demo/flash.h"
#include "demo/logo.h"
#include "demo/titulo.h"

#include <algorithm>

// Every global is defined here without a value and given its start value by ResetDemoGlobals,
// which runs once during static initialisation (see the end of this file) and again whenever
// tests or tools ask.

int parte;

tmusicRef musica;
ImageRef portada;
ImageRef fondo;
ImageRef marco;
ImageRef txt_theworld;
ImageRef txt_is;
ImageRef txt_fewordered;
ImageRef txt_blocks;
ImageRef lapiz;
ImageRef flare;
ImageRef kolumoimage;
SoundRef kolumomusic;
ImageRef obel;
ImageRef varnik;
ImageRef ticker;
ImageRef creditos;
ImageRef scrollkolumo;
ImageRef halvren;

tflashRef flash;
tlogoRef logo;
std::array<ttituloRef, 4> titulo;
CameraRef camara;
LightRef luz;
tscrollRef scroll;
tcuboRef cubo;
tcubemapRef cubemap;
float cubopiezasang[32][3];
tpiezagiganteRef piezagigante;
PivotRef constructorpivot;

StreamRef dibujo;
StreamRef dibujo2;
int scrolldibujo;
int scrollpausa;
int scrollr;
int scrollg;
int scrollb;
int estelaborrado;
int saludosnumero;

float scrollcampos;
float scrollcamvel;
float scrollcamposz;

float cuboangx;
float cuboangy;
float cubovelx;
float cubovely;
float zoomcamara;
float zoomcamaradest;

float poscreditos;
float angcreditos;
float ang2creditos;
float tamcreditos;
float rendersscroll;
int tickerx1;
int tickerx2;

float saludosvelx;
float saludosvely;

StreamRef escenario;
float camaraangx;
float camaraangy;
float camaraangyvel;
float camaradist;
int frecuenciafuegos;
float halvreny;
float halvrenvx;
float halvrenvy;

std::vector<int> sincTuntaraTun;
std::vector<int> sincScrollPow;
std::vector<int> sincScrollflash;
std::vector<int> sincScrollclap;
std::vector<int> sincCubeMapRiick;
std::vector<int> sincCubeMapPow;
std::vector<int> sincCubeMapClap;
std::vector<int> sincHamClap;
std::vector<int> sincHamPow;
std::vector<int> sincbolazoom;
std::vector<int> sincbolaflash;
std::vector<int> sincSaludosPow;
std::vector<int> sincSaludosClap;
std::vector<int> sincConstructorClap;
std::vector<int> sincConstructorPow;

int sincTuntaraTun_pos;
int sincScrollPow_pos;
int sincScrollflash_pos;
int sincScrollclap_pos;
int sincCubeMapRiick_pos;
int sincCubeMapPow_pos;
int sincCubeMapClap_pos;
int sinchamclap_pos;
int sinchamPow_pos;
int sincbolazoom_pos;
int sincbolaflash_pos;
int sincSaludosPow_pos;
int sincSaludosClap_pos;
int sincConstructorClap_pos;
int sincConstructorPow_pos;

void ResetDemoGlobals() {
    ticks = 0;
    parte = 1;

    musica = nullptr;
    for (ImageRef* image :
         {&portada, &fondo, &marco, &txt_theworld, &txt_is, &txt_fewordered, &txt_blocks, &lapiz,
          &flare, &kolumoimage, &obel, &varnik, &ticker, &creditos, &scrollkolumo, &halvren})
        *image = nullptr;
    kolumomusic = nullptr;

    flash = nullptr;
    logo = nullptr;
    titulo.fill(nullptr);
    camara = nullptr;
    luz = nullptr;
    scroll = nullptr;
    cubo = nullptr;
    cubemap = nullptr;
    for (auto& row : cubopiezasang) std::fill(std::begin(row), std::end(row), 0.0f);
    piezagigante = nullptr;
    constructorpivot = nullptr;

    dibujo = nullptr;
    dibujo2 = nullptr;
    scrolldibujo = 1;
    scrollpausa = 60;
    scrollr = 0;
    scrollg = 200;
    scrollb = 0;
    estelaborrado = 10;
    saludosnumero = 1;

    scrollcampos = 0.0f;
    scrollcamvel = 0.05f;
    scrollcamposz = 1.0f;

    cuboangx = 0.0f;
    cuboangy = 0.0f;
    cubovelx = 0.125f;
    cubovely = 0.125f;
    zoomcamara = 0.125f;
    zoomcamaradest = 0.75f;

    poscreditos = 0.0f;
    angcreditos = 0.0f;
    ang2creditos = 0.0f;
    tamcreditos = 0.0f;
    rendersscroll = 120.0f;
    tickerx1 = 0;
    tickerx2 = 0;

    saludosvelx = 0.0f;
    saludosvely = 0.0f;

    escenario = nullptr;
    camaraangx = 0.0f;
    camaraangy = 0.0f;
    camaraangyvel = 1.0f;
    camaradist = 15.0f;
    frecuenciafuegos = 60;
    halvreny = 575.0f;
    halvrenvx = 4.0f;
    halvrenvy = -4.0f;

    for (std::vector<int>* table :
         {&sincTuntaraTun, &sincScrollPow, &sincScrollflash, &sincScrollclap, &sincCubeMapRiick,
          &sincCubeMapPow, &sincCubeMapClap, &sincHamClap, &sincHamPow, &sincbolazoom,
          &sincbolaflash, &sincSaludosPow, &sincSaludosClap, &sincConstructorClap,
          &sincConstructorPow})
        table->clear();
    for (int* pos :
         {&sincTuntaraTun_pos, &sincScrollPow_pos, &sincScrollflash_pos, &sincScrollclap_pos,
          &sincCubeMapRiick_pos, &sincCubeMapPow_pos, &sincCubeMapClap_pos, &sinchamclap_pos,
          &sinchamPow_pos, &sincbolazoom_pos, &sincbolaflash_pos, &sincSaludosPow_pos,
          &sincSaludosClap_pos, &sincConstructorClap_pos, &sincConstructorPow_pos})
        *pos = 0;
}

namespace {
// The start values at program start, from the one place that lists them. Defined after every
// global of this file, so it runs after their own (zero) initialisation.
[[maybe_unused]] const bool startValues = (ResetDemoGlobals(), true);
} // namespace
