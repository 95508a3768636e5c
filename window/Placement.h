#pragma once

#include <cstdint>

namespace vornal {

// A rectangle in twips (1/1440 inch), relative to its container.
struct TwipRect {
    float left = 0;
    float top = 0;
    float width = 0;
    float height = 0;
    bool operator==(const TwipRect&) const = default;
};

// The window moved to the middle of a screen of the given size, each coordinate rounded
// down to a whole twip; its size is unchanged.
[[nodiscard]] TwipRect CenterWindow(TwipRect window, float screenWidth, float screenHeight);

// The window and the title-bar elements that ArrangeTitleBar lines up.
struct TitleBarParts {
    TwipRect window;
    TwipRect titleLabel; // already sized to the caption it shows
    TwipRect strip;
    TwipRect firstButton;
    TwipRect secondButton;
    TwipRect icon;
    TwipRect border;
};

// Narrows the window by 190, puts the border inside its edge, shifts the strip and the
// buttons and centres the icon and the title on the strip (50 higher than exact), the
// icon at the title offset and the title 300 to its right. The caller has set the title
// label's text to the window caption and sized it, and gives the icon its picture.
void ArrangeTitleBar(TitleBarParts& parts, std::int16_t horizontalShift, std::int16_t verticalShift,
                     std::int16_t titleOffset);

// The shifts and offset start-up passes.
inline constexpr std::int16_t kTitleBarHorizontalShift = -130;
inline constexpr std::int16_t kTitleBarVerticalShift = 90;
inline constexpr std::int16_t kTitleBarTitleOffset = 2500;

// Twips and pixels at a number of dots per inch: 15 twips a pixel at 96.
[[nodiscard]] int twipsToPixels(double twips, double dpi);
[[nodiscard]] double pixelsToTwips(double pixels, double dpi);

} // namespace vornal
