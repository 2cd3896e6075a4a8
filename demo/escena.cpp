#include "demo/escena.h"

#include "platform/mathfn.h"

RegistroEscena LeeRegistroEscena(const StreamRef& escenario) {
    RegistroEscena r;
    r.tipo = TruncToInt(ReadFloat(escenario), kTipoSinForma);
    r.x = ReadFloat(escenario);
    r.y = ReadFloat(escenario);
    r.z = ReadFloat(escenario);
    r.pitch = ReadFloat(escenario);
    r.yaw = ReadFloat(escenario);
    r.roll = ReadFloat(escenario);
    return r;
}
