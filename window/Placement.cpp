#include "window/Placement.h"

#include <cmath>
#include <initializer_list>

namespace vornal {

TwipRect CenterWindow(TwipRect window, float screenWidth, float screenHeight) {
    window.left = std::floor((screenWidth - window.width) / 2);
    window.top = std::floor((screenHeight - window.height) / 2);
    return window;
}

void ArrangeTitleBar(TitleBarParts& p, std::int16_t horizontalShift, std::int16_t verticalShift,
                     std::int16_t titleOffset) {
    p.window.width -= 190;
    p.border = {20, 20, p.window.width - 25, p.window.height - 20};
    for (TwipRect* r : {&p.strip, &p.firstButton, &p.secondButton}) {
        r->top -= verticalShift;
        r->left -= horizontalShift;
    }
    // Rounded to the nearest whole number (halves to even), then halved toward zero.
    const float h = std::trunc(std::nearbyint(p.strip.height - p.titleLabel.height) / 2);
    p.titleLabel.top = p.strip.top + h - 50;
    p.titleLabel.left = p.strip.left + titleOffset;
    p.icon.left = p.titleLabel.left;
    p.icon.top = p.titleLabel.top;
    p.titleLabel.left += 300;
}

int twipsToPixels(double twips, double dpi) {
    return static_cast<int>(std::lround(twips * dpi / 1440.0));
}

double pixelsToTwips(double pixels, double dpi) {
    return pixels * 1440.0 / dpi;
}

} // namespace vornal
