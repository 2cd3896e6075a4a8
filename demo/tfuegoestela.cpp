#include "demo/tfuegoestela.h"

#include "platform/image2d.h"
#include "platform/mathfn.h"
#include "platform/random.h"

#include <cmath>

std::shared_ptr<TList<tfuegoestelaRef>> tfuegoestela::lista_fuegoestela =
    CreateList<tfuegoestelaRef>();

namespace {

// The burst of a spark: 144 sparks at its position in its colour, without bursts of their own.
void estalla(const tfuegoestela& f) {
    for (int anillo = 0; anillo < tfuegoestela::kAnillos; ++anillo) {
        const int desfase = anillo * tfuegoestela::kDesfaseAnillo;
        for (int a = 0; a < 360; a += tfuegoestela::kPasoAnillo) {
            const float v = Rnd(1.0f, 3.0f);
            const double angulo = double(a + desfase);
            const int vida = Rand(30, 90);
            tfuegoestela::crea(f.x, f.y, float(Cos(angulo) * v), float(Sin(angulo) * v),
                               float(vida), f.r, f.g, f.b, 0);
        }
    }
}

void dibuja(const tfuegoestela& f) {
    SetAlpha(1.0f);
    SetScale(4, 4);
    SetRotation(0);
    SetAlpha(Rnd(0.5f, 1.0f)); // the flicker
    SetColor(f.r, f.g, f.b);
    SetBlend(LIGHTBLEND);
    const float temblor = Rnd(-1.0f, 1.0f);
    DrawRect(f.x + temblor, f.y, 1, 1);
}

} // namespace

int tfuegoestela::crea(float x, float y, float vx, float vy, float vida, int r, int g, int b,
                       int explota) {
    auto f = std::make_shared<tfuegoestela>();
    f->x = x;
    f->y = y;
    f->vx = vx;
    f->vy = vy;
    f->vida = TruncToInt(vida, 0);
    f->r = std::uint8_t(r & 0xff);
    f->g = std::uint8_t(g & 0xff);
    f->b = std::uint8_t(b & 0xff);
    f->explota = explota;
    ListAddLast(lista_fuegoestela, f);
    return 0;
}

int tfuegoestela::actualiza() {
    if (!lista_fuegoestela) return 0;
    // The sparks of a burst are appended before the bursting one leaves, so the same pass
    // reaches them: they take their first step in the frame of the burst.
    for (auto it = lista_fuegoestela->begin(); it != lista_fuegoestela->end(); ++it) {
        const tfuegoestelaRef f = *it;
        if (!f) continue;
        if (f->vida > 0) {
            f->vida -= 1;
            f->x += f->vx;
            f->y += f->vy;
            f->vy -= 0.001f; // a very slight pull up the screen
            dibuja(*f);
        } else {
            if (f->explota != 0) estalla(*f);
            it.link()->Remove();
        }
    }
    return 0;
}
