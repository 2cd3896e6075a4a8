#include "demo/backdrops.h"

#include "platform/image2d.h"
#include "platform/random.h"

int pon_fondo(float alfa, int r, int g, int b) {
    SetBlend(ALPHABLEND);
    SetScale(1, 1);
    SetColor(r, g, b);
    SetAlpha(alfa);
    SetRotation(0);
    DrawImage(fondo, 400, 300, 0);
    return 0;
}

int pon_marco() {
    SetBlend(ALPHABLEND);
    SetColor(255, 255, 255);
    SetScale(1, 1);
    SetAlpha(1);
    SetRotation(0);
    DrawImage(marco, 400, 300, 0);
    return 0;
}

int pon_disenio(const ImageRef& imagen, int x, int y) {
    SetBlend(ALPHABLEND);
    SetColor(255, 255, 255);
    SetScale(1, 1);
    SetAlpha(Rnd(0.5f, 1.0f));
    SetRotation(0);
    DrawImage(imagen, float(x), float(y), 0);
    return 0;
}

int pon_fps() {
    return 0;
}
