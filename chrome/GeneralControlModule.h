#pragma once

#include <cstdint>

class QWidget;

namespace vornal {

class ImageElement;

namespace GeneralControlModule {

// Where a drag began and which title-bar button shows its hot picture. At most one of the
// two hover flags is set.
struct TitleBarState {
    std::int16_t DragOriginX = 0; // twips within the drag handle
    std::int16_t DragOriginY = 0;
    bool CloseHover = false;    // Image2 shows the hot picture; its own waits in Image10
    bool MinimizeHover = false; // Image3 shows the hot picture; its own waits in Image9
};

// A window's position in twips.
struct WindowPosition {
    float left = 0;
    float top = 0;
};

// The modes of UpdateHoverImages.
inline constexpr std::int16_t kOverMinimize = 1;
inline constexpr std::int16_t kOverClose = 2;
inline constexpr std::int16_t kOverNeither = 3;

// Records the pointer's place within the drag handle, rounded to whole twips (halves to
// even).
void StartDrag(TitleBarState& s, float x, float y);

// With the left button alone held (button 1), moves the window by the pointer's travel
// since StartDrag, so that the grabbed point stays under the pointer.
void DragWindow(const TitleBarState& s, WindowPosition& window, float x, float y,
                std::int16_t button);

// a and b exchange pictures; scratch keeps a copy of a's former one.
void SwapPictures(ImageElement& a, ImageElement& b, ImageElement& scratch);

// Mode kOverMinimize or kOverClose makes that button hot and the other normal;
// kOverNeither makes both normal. The elements are found in window by name.
void UpdateHoverImages(TitleBarState& s, std::int16_t mode, QWidget& window);

} // namespace GeneralControlModule
} // namespace vornal
