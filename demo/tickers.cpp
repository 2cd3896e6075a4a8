// The two tickers of phases 6 and 9: one image run right to left above the main view (drawn
// upside down) and left to right below it, each drawn twice so that it wraps without a gap.
#include "demo/phases_steps.h"

#include "demo/float_math.h"
#include "demo/globals.h"
#include "platform/image2d.h"

namespace {

// The tickers hang from these rows; the image is taken as 800 pixels wide.
constexpr float kTickerArriba = 133.0f;
constexpr float kTickerAbajo = 467.0f;
constexpr int kAnchoTicker = 800;

} // namespace

void PintaTickers() {
    SetScale(1, -1);
    const float arriba = SubF(kTickerArriba, tamcreditos);
    DrawImage(ticker, float(tickerx1), arriba, 0);
    DrawImage(ticker, float(tickerx1 + kAnchoTicker), arriba, 0);
    SetScale(1, 1);
    const float abajo = SubF(kTickerAbajo, tamcreditos);
    DrawImage(ticker, float(tickerx2), abajo, 0);
    DrawImage(ticker, float(tickerx2 - kAnchoTicker), abajo, 0);
}

void AvanzaTickers() {
    if (tickerx1 > -kAnchoTicker)
        --tickerx1;
    else
        tickerx1 = 0;
    if (tickerx2 < kAnchoTicker)
        ++tickerx2;
    else
        tickerx2 = 0;
}
