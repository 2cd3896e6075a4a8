#include "demo/flash.h"

#include "platform/image2d.h"

#include <memory>

tflashRef tflash::crea() {
    return std::make_shared<tflash>();
}

int tflash::activa(float maximo_, float subida_, float bajada_) {
    estado = 1;
    maximo = maximo_;
    subida = subida_;
    bajada = bajada_;
    return 0;
}

int tflash::actualiza() {
    switch (estado) {
    case 1:
        if (alfa >= maximo) {
            estado = 2;
        } else {
            alfa += subida;
            if (alfa > 1.0f) alfa = 1.0f;
        }
        break;
    case 2:
        if (alfa <= 0.0f) {
            estado = 0;
        } else {
            alfa -= bajada;
            if (alfa < 0.0f) alfa = 0.0f;
        }
        break;
    default:
        return 0;
    }
    pinta();
    return 0;
}

int tflash::pinta() {
    SetBlend(ALPHABLEND);
    SetScale(1, 1);
    SetRotation(0);
    SetAlpha(alfa);
    SetColor(255, 255, 255);
    DrawRect(0, 0, 800, 600);
    return 0;
}
