#include "demo/escena.h"

#include "demo/tpieza.h"
#include "platform/mathfn.h"

#include <cmath>
#include <initializer_list>

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

std::string ProblemaRegistroEscena(const RegistroEscena& r) {
    if (r.tipo < 0 || r.tipo >= tpieza::kFormas) return "a shape that is not one of 0 to 6";
    for (const float v : {r.x, r.y, r.z, r.pitch, r.yaw, r.roll})
        if (!std::isfinite(v)) return "a value that is not a finite number";
    for (const float v : {r.x, r.y, r.z})
        if (std::fabs(v) > kAlcanceEscena)
            return "a position beyond " + std::to_string(int(kAlcanceEscena)) + " units";
    for (const float v : {r.pitch, r.yaw, r.roll})
        if (std::fabs(v) > 360.0f) return "an angle beyond a whole turn";
    return "";
}
