#include "demo/tpiezagigante.h"

#include "demo/float_math.h"
#include "demo/media.h"
#include "demo/tpieza.h"
#include "engine/commands.h"
#include "engine/mesh.h"
#include "engine/pivot.h"
#include "platform/random.h"

TextureRef tpiezagigante::textura;

tpiezagiganteRef tpiezagigante::crea(float x, float y, float z, float pitch, float yaw, float roll,
                                     const PreparedTextureRef& preparada) {
    textura = MustLoadPreparedTexture(preparada, kArchivo, kTextureFlags);
    return creaConTextura(textura, x, y, z, pitch, yaw, roll);
}

tpiezagiganteRef tpiezagigante::creaConTextura(const TextureRef& tex, float x, float y, float z,
                                               float pitch, float yaw, float roll) {
    auto p = std::make_shared<tpiezagigante>();
    p->x = x;
    p->y = y;
    p->z = z;
    p->pitch = pitch;
    p->yaw = yaw;
    p->roll = roll;
    p->pivote = CreatePivot(nullptr); // blocks and offsets start empty and at 0
    p->tipo = Rand(0, 6);
    p->cambiatipo();
    p->brocha = CreateBrush(255, 255, 255);
    BrushTexture(p->brocha, tex, 0);
    BrushShininess(p->brocha, 10.0f);
    for (MeshRef& cubo : p->cubos) {
        cubo = CreateCube(p->pivote);
        PaintEntity(cubo, p->brocha);
    }
    ScaleEntity(p->pivote, kEscala, kEscala, kEscala, 0);
    HideEntity(p->pivote);
    return p;
}

int tpiezagigante::cambiatipo() {
    // A tipo outside the table (written from outside) starts again at shape 0.
    tipo = (tipo < 0 || tipo >= 6) ? 0 : tipo + 1;
    const tpieza::Forma& f = tpieza::formas[std::size_t(tipo)];
    destx = f.x;
    desty = f.y;
    return 0;
}

int tpiezagigante::actualiza() {
    ShowEntity(pivote);
    pitch = EaseF(pitch, destpitch, kSuavizado);
    yaw = AddF(yaw, 0.5);
    roll = EaseF(roll, destroll, kSuavizado);
    PositionEntity(pivote, x, y, z, 1);
    RotateEntity(pivote, pitch, yaw, roll, 1);
    for (std::size_t i = 0; i < 4; ++i) {
        actx[i] = EaseF(actx[i], destx[i], velocidad);
        acty[i] = EaseF(acty[i], desty[i], velocidad);
        PositionEntity(cubos[i], actx[i], acty[i], 0, 0);
    }
    if (cuenta > 0) {
        cuenta -= 1;
    } else {
        cuenta = kFramesPorForma;
        cambiatipo();
    }
    return 0;
}

int tpiezagigante::destruye() {
    FreeEntity(pivote);
    FreeBrush(brocha);
    return 0;
}
