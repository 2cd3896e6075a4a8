#include "demo/titulo.h"

#include "platform/image2d.h"
#include "platform/random.h"

#include <memory>

ttituloRef ttitulo::crea(const ImageRef& imagen) {
    auto made = std::make_shared<ttitulo>();
    made->imagen = imagen;
    return made;
}

int ttitulo::pinta() {
    x = 400 + Rand(-2, 2);
    if (alfa < 1.0f) alfa += 0.01f;
    if (escala > 1.0f) escala -= 0.003f;
    SetBlend(ALPHABLEND);
    SetRotation(0);
    SetScale(escala, escala);
    SetAlpha(alfa);
    DrawImage(imagen, float(x), float(y), 0);
    return 0;
}
