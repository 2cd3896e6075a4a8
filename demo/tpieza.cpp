#include "demo/tpieza.h"

#include "demo/float_math.h"
#include "demo/media.h"
#include "engine/commands.h"
#include "engine/mesh.h"
#include "engine/pivot.h"

const std::array<tpieza::Forma, tpieza::kFormas> tpieza::formas = {{
    {{0, -2, 2, 4}, {0, 0, 0, 0}, 200, 0, 0},   // straight row of four
    {{0, 0, 2, 2}, {0, 2, 0, 2}, 0, 0, 200},    // 2 x 2 square
    {{0, -2, 0, 0}, {0, 0, 2, 4}, 200, 200, 0}, // column of three, foot to the left
    {{0, 2, 0, 0}, {0, 0, 2, 4}, 200, 0, 200},  // column of three, foot to the right
    {{0, -2, 0, 2}, {0, 0, 2, 2}, 0, 200, 200}, // two rows of two, upper row shifted right
    {{0, 2, 0, -2}, {0, 0, 2, 2}, 200, 100, 0}, // two rows of two, upper row shifted left
    {{0, -2, 2, 0}, {0, 0, 0, 2}, 0, 200, 0},   // row of three, one block above the middle
}};

std::shared_ptr<TList<tpiezaRef>> tpieza::lista_piezas = CreateList<tpiezaRef>();
TextureRef tpieza::textura;

tpiezaRef tpieza::crea(int tipo, float x, float y, float z, float pitch, float yaw, float roll,
                       int modo, int contorno, const EntityRef& padre) {
    // The engine hands back the texture it already loaded for this file and these flags.
    textura = MustLoadTexture("media/pieza.png", COLORTEXTURE);
    return creaConTextura(textura, tipo, x, y, z, pitch, yaw, roll, modo, contorno, padre);
}

tpiezaRef tpieza::creaConTextura(const TextureRef& tex, int tipo, float x, float y, float z,
                                 float pitch, float yaw, float roll, int modo, int contorno,
                                 const EntityRef& padre) {
    auto p = std::make_shared<tpieza>();
    p->tipo = tipo;
    p->x = x;
    p->y = y;
    p->z = z;
    p->pitch = pitch;
    p->yaw = yaw;
    p->roll = roll;
    p->pivote = CreatePivot(padre);
    p->cubos = {};
    p->contornos = {};
    p->actx = {};
    p->acty = {};
    p->destx = {};
    p->desty = {};
    if (tipo >= 0 && tipo < kFormas) {
        const Forma& f = formas[std::size_t(tipo)];
        p->destx = f.x;
        p->desty = f.y;
        p->brocha = CreateBrush(f.red, f.green, f.blue);
        BrushTexture(p->brocha, tex, 0);
        BrushShininess(p->brocha, 2.0f);
        p->brochacontorno = CreateBrush(0, 0, 0);
        for (std::size_t i = 0; i < 4; ++i) {
            p->cubos[i] = CreateCube(p->pivote);
            PaintEntity(p->cubos[i], p->brocha);
            if (contorno != 0) {
                // An inverted hull: mirrored through its centre, so back-face culling keeps
                // only the faces that look away, which show as a rim around the block.
                p->contornos[i] = CreateCube(p->cubos[i]);
                ScaleEntity(p->contornos[i], -1.05f, -1.05f, -1.05f, 0);
                PaintEntity(p->contornos[i], p->brochacontorno);
            }
        }
    }
    p->modo = modo;
    ListAddLast(lista_piezas, p);
    return p;
}

int tpieza::actualiza() {
    if (modo != 0 && modo != 1) return 0;
    // The turn uses this frame's undamped spin.
    pitch = AddF(pitch, velpitch);
    yaw = AddF(yaw, velyaw);
    velpitch = MulF(velpitch, friccion);
    velyaw = MulF(velyaw, friccion);
    PositionEntity(pivote, x, y, z, 1);
    RotateEntity(pivote, pitch, yaw, roll, 1);
    for (std::size_t i = 0; i < 4; ++i) {
        if (modo == 0) {
            actx[i] = EaseF(actx[i], destx[i], velocidad);
            acty[i] = EaseF(acty[i], desty[i], velocidad);
            PositionEntity(cubos[i], actx[i], acty[i], 0, 0);
        } else {
            PositionEntity(cubos[i], destx[i], desty[i], 0, 0);
        }
    }
    return 0;
}

int tpieza::destruye() {
    FreeEntity(pivote);
    FreeBrush(brocha);
    FreeBrush(brochacontorno);
    return 0;
}

int tpieza::destruyetodo() {
    if (!lista_piezas) return 0;
    for (const tpiezaRef& p : *lista_piezas) {
        if (p) p->destruye();
    }
    ClearList(lista_piezas);
    return 0;
}
