// The mirror-sphere room that phases 5 and 7 share: the fifteen pieces orbiting the sphere,
// their beat kick, the sky cube centred on the camera, the sphere's face renders and the
// closing 2D pass.
#include "demo/phases.h"

#include "demo/backdrops.h"
#include "demo/flash.h"
#include "demo/float_math.h"
#include "demo/globals.h"
#include "demo/phases_steps.h"
#include "demo/tcubemap.h"
#include "demo/tcubo.h"
#include "demo/tpieza.h"
#include "engine/camera.h"
#include "engine/commands.h"
#include "engine/pivot.h"
#include "platform/random.h"

#include <iterator>

void CreaPiezasOrbita() {
    for (int i = 0; i <= 14; ++i) {
        const float a = float(double(i) * 22.5);
        tpieza::crea(Rand(0, 6), float(i * 2 + 5), 0, 0, a, a, a, 0, 1, nullptr);
        cubopiezasang[i][0] = float(double(i) * 45.5);
        cubopiezasang[i][1] = a;
        cubopiezasang[i][2] = 0.0f;
    }
}

void PateaPiezasOrbita() {
    if (!tpieza::lista_piezas) return;
    for (const tpiezaRef& p : *tpieza::lista_piezas) {
        if (!p) continue;
        p->velroll = AddF(p->velroll, Rnd(-15, 15));
        p->velyaw = AddF(p->velyaw, Rnd(-15, 15));
        p->velpitch = AddF(p->velpitch, Rnd(-15, 15));
    }
}

void ColocaEnOrbita(tpieza& p, const float (&angulos)[3]) {
    PositionEntity(p.pivote, 0, 0, 0, 0);
    RotateEntity(p.pivote, angulos[0], angulos[1], angulos[2], 0);
    MoveEntity(p.pivote, 0, 0, kRadioOrbita);
    p.x = EntityX(p.pivote, 0);
    p.y = EntityY(p.pivote, 0);
    p.z = EntityZ(p.pivote, 0);
}

void OrbitaPiezas(float paso0, float paso1, float paso2, float giro) {
    if (!tpieza::lista_piezas) return;
    std::size_t i = 0;
    for (const tpiezaRef& p : *tpieza::lista_piezas) {
        // A piece beyond the table's rows has no orbit: it is left where it is.
        if (!p || i >= std::size(cubopiezasang)) break;
        float(&fila)[3] = cubopiezasang[i++];
        fila[0] = AddF(fila[0], paso0);
        fila[1] = AddF(fila[1], paso1);
        fila[2] = AddF(fila[2], paso2);
        ColocaEnOrbita(*p, fila);
        if (giro != 0) {
            p->pitch = AddF(p->pitch, giro);
            p->yaw = AddF(p->yaw, giro);
        }
        p->actualiza();
    }
}

void CentraCubo(float pitch, float yaw, float roll) {
    if (!cubo) return;
    RotateEntity(cubo->pivote, pitch, yaw, roll, 0);
    PositionEntity(cubo->pivote, EntityX(camara, 0), EntityY(camara, 0), EntityZ(camara, 0), 0);
}

void FondoEspejo() {
    // Under a sky cube that covers the whole view with opaque texels the background cannot
    // show: it is left out (a full-screen blend cheaper).
    if (cubo && cubo->TapaLaVista(camara)) return;
    Begin2D();
    pon_fondo(0.5f, 255, 255, 255);
    End2D();
}

void ActualizaEspejo(int invertido) {
    if (!cubemap) return;
    // The face renders must go through the sphere's own camera alone.
    HideEntity(camara);
    cubemap->actualiza(invertido, camara);
    ShowEntity(camara);
}

void CierreFaseEspejo(int flashDesde, const ImageRef& disenio, int x, int y) {
    Begin2D();
    if (ticks > float(flashDesde) && flash) flash->activa(1.0f, 0.5f, 0.15f);
    pon_disenio(disenio, x, y);
    if (flash) flash->actualiza();
    pon_fps();
    End2D();
}
