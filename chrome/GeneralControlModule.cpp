#include "chrome/GeneralControlModule.h"

#include "chrome/ImageElement.h"

#include <cmath>

namespace vornal::GeneralControlModule {

namespace {

ImageElement& element(QWidget& window, const char* name) {
    auto* e = window.findChild<ImageElement*>(QLatin1String(name));
    Q_ASSERT(e != nullptr);
    return *e;
}

// Every exchange is its own inverse: the first brings the partner's picture in, the
// second puts it back.
void swapHot(QWidget& window, const char* button, const char* partner) {
    SwapPictures(element(window, button), element(window, partner), element(window, "Image7"));
}

// A title-bar button and the hidden element that holds its other picture.
struct HoverPair {
    const char* button;
    const char* partner;
};

// Makes one button hot, once, and gives the other back its normal picture.
void makeHot(QWidget& window, bool& hot, HoverPair mine, bool& otherHot, HoverPair other) {
    if (hot) {
        return;
    }
    swapHot(window, mine.button, mine.partner);
    if (otherHot) {
        swapHot(window, other.button, other.partner);
    }
    hot = true;
    otherHot = false;
}

} // namespace

void StartDrag(TitleBarState& s, float x, float y) {
    // nearbyint rounds in the current mode, which is to nearest with halves to even.
    s.DragOriginX = static_cast<std::int16_t>(std::nearbyint(x));
    s.DragOriginY = static_cast<std::int16_t>(std::nearbyint(y));
}

void DragWindow(const TitleBarState& s, WindowPosition& window, float x, float y,
                std::int16_t button) {
    if (button != 1) {
        return;
    }
    window.top = window.top + y - static_cast<float>(s.DragOriginY);
    window.left = window.left + x - static_cast<float>(s.DragOriginX);
}

void SwapPictures(ImageElement& a, ImageElement& b, ImageElement& scratch) {
    scratch.setPicture(a.picture());
    a.setPicture(b.picture());
    b.setPicture(scratch.picture());
}

void UpdateHoverImages(TitleBarState& s, std::int16_t mode, QWidget& window) {
    switch (mode) {
    case kOverMinimize:
        makeHot(window, s.MinimizeHover, {"Image3", "Image9"}, s.CloseHover, {"Image2", "Image10"});
        break;
    case kOverClose:
        makeHot(window, s.CloseHover, {"Image2", "Image10"}, s.MinimizeHover, {"Image3", "Image9"});
        break;
    case kOverNeither:
        if (s.CloseHover) {
            swapHot(window, "Image2", "Image10");
            s.CloseHover = false;
        }
        if (s.MinimizeHover) {
            swapHot(window, "Image3", "Image9");
            s.MinimizeHover = false;
        }
        break;
    default:
        break;
    }
}

} // namespace vornal::GeneralControlModule
