// The greetings field of phase 8: three layers of pieces laid out by the hand-over from phase 7,
// drifting as one body and wrapping round at their layer's edge.
#include "demo/phases.h"

#include "demo/float_math.h"
#include "demo/globals.h"
#include "demo/phases_steps.h"
#include "demo/tpieza.h"
#include "platform/random.h"

namespace {

// Layers, spacing of the pieces and depth of each layer.
constexpr int kCapas = 3;
constexpr int kSeparacion = 11;
constexpr int kFondoCapa = 15;

} // namespace

void CreaCampoSaludos() {
    for (int k = 0; k < kCapas; ++k) {
        for (int i = -1 - k; i <= k + 2; ++i) {
            for (int j = -1 - k; j <= k + 2; ++j) {
                // The creation call's arguments are evaluated last to first.
                const float roll = Rnd(0, 359);
                const float yaw = Rnd(0, 359);
                const float pitch = Rnd(0, 359);
                const int tipo = Rand(0, 6);
                tpieza::crea(tipo, float(j * kSeparacion), float(i * kSeparacion),
                             float(k * kFondoCapa), pitch, yaw, roll, 1, 0, nullptr);
            }
        }
    }
}

float BordeSaludos(float z) {
    return float((2.0 + double(z) / kFondoCapa) * kSeparacion);
}

void MuevePiezaSaludos(tpieza& p) {
    p.roll = AddF(p.roll, 1.0);
    p.yaw = SubF(p.yaw, 1.0);
    p.pitch = SubF(p.pitch, 0.5);
    p.x = AddF(p.x, saludosvelx);
    p.y = AddF(p.y, saludosvely);
    const float borde = BordeSaludos(p.z);
    if (p.x < -borde || p.x > borde) p.x = -p.x;
    if (p.y < -borde || p.y > borde) p.y = -p.y;
}
