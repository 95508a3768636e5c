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
        if (!s.MinimizeHover) {
            swapHot(window, "Image3", "Image9");
            if (s.CloseHover) {
                swapHot(window, "Image2", "Image10");
            }
            s.MinimizeHover = true;
            s.CloseHover = false;
        }
        break;
    case kOverClose:
        if (!s.CloseHover) {
            swapHot(window, "Image2", "Image10");
            if (s.MinimizeHover) {
                swapHot(window, "Image3", "Image9");
            }
            s.CloseHover = true;
            s.MinimizeHover = false;
        }
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
