#include "demo/logo.h"

#include "demo/float_math.h"
#include "platform/image2d.h"

#include <memory>

tlogoRef tlogo::crea(const ImageRef& imagen) {
    auto made = std::make_shared<tlogo>();
    made->imagen = imagen;
    return made;
}

int tlogo::zoomin() {
    escala = EaseF(escala, 1.0f, 0.011f);
    alfa = EaseF(alfa, 1.0f, 0.011f);
    dibuja(escala, alfa);
    return 0;
}

int tlogo::zoomout() {
    escala = EaseF(escala, 0.0f, 0.009f);
    alfa = EaseF(alfa, 0.0f, 0.009f);
    dibuja(escala, alfa);
    return 0;
}

int tlogo::rebota() {
    escala = EaseF(escala, 1.0f, 0.1f);
    dibuja(escala, 1.0f);
    return 0;
}

int tlogo::pinta() {
    dibuja(1.0f, 1.0f);
    return 0;
}

void tlogo::dibuja(float s, float a) const {
    SetBlend(ALPHABLEND);
    SetRotation(0);
    SetScale(s, s);
    SetAlpha(a);
    DrawImage(imagen, float(x), float(y), 0);
}
