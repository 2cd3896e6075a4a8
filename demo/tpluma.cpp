#include "demo/tpluma.h"

#include "demo/float_math.h"
#include "platform/mathfn.h"
#include "platform/random.h"

std::shared_ptr<TList<tlapizRef>> tlapiz::lista_lapiz = CreateList<tlapizRef>();

int tlapiz::crea(int x, int y, const ImageRef& imagen, int r, int g, int b) {
    auto d = std::make_shared<tlapiz>();
    d->imagen = imagen;
    d->x = x;
    d->y = y;
    d->estado = kEstampado;
    d->r = std::uint8_t(r & 0xff);
    d->g = std::uint8_t(g & 0xff);
    d->b = std::uint8_t(b & 0xff);
    ListAddLast(lista_lapiz, d);
    return 0;
}

int tlapiz::actualiza(int blend, float factor) {
    if (!lista_lapiz) return 0;
    for (auto it = lista_lapiz->begin(); it != lista_lapiz->end(); ++it) {
        tlapiz* d = it->get();
        if (!d) continue;
        switch (d->estado) {
        case kEstampado:
            d->alfa = Rnd(0.75f, 1.0f);
            d->escala = Rnd(0.12f, 0.6f);
            d->pinta(blend, factor);
            break;
        case kSalto:
            d->vely = Rnd(-3.0f, -2.0f);
            d->velx = Rnd(-1.0f, 1.0f);
            d->estado = kVuelo;
            d->pinta(blend, factor);
            break;
        case kEstallido:
            d->vely = Rnd(-6.0f, 6.0f);
            d->velx = Rnd(-6.0f, 6.0f);
            d->estado = kVuelo;
            d->pinta(blend, factor);
            break;
        case kVuelo:
            d->alfa = SubF(d->alfa, 0.005f);
            d->vely = AddF(d->vely, 0.2f);
            d->y = TruncToIntClamped(double(d->y) + double(d->vely));
            d->x = TruncToIntClamped(double(d->x) + double(d->velx));
            d->escala = Rnd(0.12f, 0.6f);
            if (d->alfa >= 0.0f) {
                d->pinta(blend, factor);
            } else {
                // The enumeration has its own hold on the link and steps past it.
                lista_lapiz->RemoveLink(it.link());
            }
            break;
        default:
            break;
        }
    }
    return 0;
}

int tlapiz::borratodo(int modo) {
    if (!lista_lapiz) return 0;
    for (const tlapizRef& d : *lista_lapiz) {
        if (d && d->estado == kEstampado) d->estado = std::uint8_t(modo & 0xff);
    }
    return 0;
}

int tlapiz::destruyetodo() {
    if (!lista_lapiz) return 0;
    for (auto it = lista_lapiz->begin(); it != lista_lapiz->end(); ++it)
        lista_lapiz->RemoveLink(it.link());
    return 0;
}

int tlapiz::pinta(int blend, float factor) {
    SetColor(r, g, b);
    SetBlend(blend);
    SetRotation(0);
    SetAlpha(alfa);
    const float s = MulF(escala, factor);
    SetScale(s, s);
    const float dy = Rnd(-3.0f, 3.0f);
    const float dx = Rnd(-3.0f, 3.0f);
    DrawImage(imagen, AddF(x, dx), AddF(y, dy), 0);
    return 0;
}

int tlapiz::pintaflare(const ImageRef& imagen, int x, int y) {
    SetBlend(LIGHTBLEND);
    SetScale(1, 1);
    SetRotation(0);
    SetAlpha(1);
    SetColor(255, 255, 255);
    DrawImage(imagen, float(x), float(y), 0);
    return 0;
}
