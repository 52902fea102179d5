#include "dewarp/colour_balance.h"

#include <algorithm>
#include <cmath>
#include <mutex>

namespace orb {
namespace {

struct Curves {
    std::array<double, 256> shadowsAdd, shadowsSub, midtonesAdd, midtonesSub, highlightsAdd, highlightsSub;
};

const Curves& TransferCurves() {
    static const Curves curves = [] {
        Curves c{};
        std::array<double, 256> h{}, p{};
        for (int i = 0; i < 256; ++i) {
            h[i] = 1.075 - 1.0 / (i / 16.0 + 1.0);
            const double q = (i - 127) / 127.0;
            p[i] = 0.667 * (1.0 - q * q);
        }
        for (int j = 0; j < 256; ++j) c.shadowsSub[j] = h[255 - j];
        c.shadowsAdd = p;
        c.midtonesAdd = p;
        c.midtonesSub = p;
        c.highlightsAdd = h;
        c.highlightsSub = p;
        return c;
    }();
    return curves;
}

int Clamp255(double v) { return static_cast<int>(std::clamp(v, 0.0, 255.0)); }

void BalanceChannel(int32_t v, std::array<uint8_t, 256>& table) {
    const Curves& c = TransferCurves();
    const bool add = v > 0;
    const auto& shadows = add ? c.shadowsAdd : c.shadowsSub;
    const auto& midtones = add ? c.midtonesAdd : c.midtonesSub;
    const auto& highlights = add ? c.highlightsAdd : c.highlightsSub;
    for (int i = 0; i < 256; ++i) {
        const int x1 = Clamp255(i + std::trunc(v * shadows[i]));
        const int x2 = Clamp255(x1 + std::trunc(v * midtones[x1]));
        const int x3 = Clamp255(x2 + std::trunc(v * highlights[x2]));
        table[i] = static_cast<uint8_t>(x3);
    }
}

}  // namespace

void BuildColourTables(int32_t b, int32_t c, int32_t cr, int32_t mg, int32_t yb, ColourTables& out) {
    b = std::clamp(b, -127, 127);
    c = std::clamp(c, -127, 127);
    cr = std::clamp(cr, -128, 128);
    mg = std::clamp(mg, -128, 128);
    yb = std::clamp(yb, -128, 128);
    BalanceChannel(cr, out.red);
    BalanceChannel(mg, out.green);
    BalanceChannel(yb, out.blue);

    std::array<int, 256> bright{}, contrast{};
    for (int i = 0; i < 256; ++i) bright[i] = b < 0 ? i * (255 + b) / 255 : i + (255 - i) * b / 255;
    for (int i = 0; i < 256; ++i) {
        int n = i <= 127 ? i : 255 - i;
        double e;
        if (c < 0) {
            e = (c + 127) / 127.0;
            if (n == 0) n = 1;
        } else {
            e = c == 127 ? 127.0 : 127.0 / (127 - c);
        }
        // The identity exponent is taken exactly: a power of 1.0 in floating point can land
        // a hair under the integer and truncate one level down.
        int y = e == 1.0 ? n : static_cast<int>(std::trunc(127.0 * std::pow(n / 127.0, e)));
        y = std::clamp(y, 0, 255);
        contrast[i] = i <= 127 ? y : 255 - y;
    }
    for (int i = 0; i < 256; ++i) out.lut[i] = static_cast<uint8_t>(contrast[bright[i]]);
    for (int i = 0; i < 256; ++i) {
        out.red[i] = out.lut[out.red[i]];
        out.green[i] = out.lut[out.green[i]];
        out.blue[i] = out.lut[out.blue[i]];
    }
}

void LoadColourTables(const CameraRecord& r, ColourTables& out) {
    out.on = r.colourBalanceOn != 0;
    if (out.on)
        BuildColourTables(r.colourShift[3], r.colourShift[4], r.colourShift[0], r.colourShift[1], r.colourShift[2], out);
}

}  // namespace orb
