// Centring the window and laying out its title bar, in twips and on the window.
#include "window/Placement.h"

#include "tests/window/FormFixture.h"

#include <QScreen>

namespace vornal::test {
namespace {

// Halves round down; a window larger than the screen gets a negative place and keeps its size.
TEST(CenterWindowTwips, PutsTheWindowInTheMiddleRoundingDown) {
    const struct {
        TwipRect window;
        float screenWidth, screenHeight;
        TwipRect centred;
    } cases[] = {
        {{5, 7, 9810, 8265}, 19200, 14400, {4695, 3067, 9810, 8265}},
        {{0, 0, 9810, 8265}, 19201, 14400, {4695, 3067, 9810, 8265}}, // 4695.5
        {{0, 0, 9810, 8265}, 9000, 8000, {-405, -133, 9810, 8265}},   // -132.5
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CenterWindow(c.window, c.screenWidth, c.screenHeight), c.centred)
            << c.screenWidth;
    }
}

// The start-up call gives the design layout. The title sits 50 above the exact centre: half
// the difference of heights, rounded to even, then cut toward zero.
TEST(ArrangeTitleBarTwips, TheStartUpCallGivesTheDesignLayout) {
    for (const auto& [labelHeight, top] : std::vector<std::pair<float, float>>{
             {225, 85},     // h = (435 - 225) / 2 = 105
             {224.5f, 85},  // 210.5 rounds to 210 (even), half 105
             {222.4f, 86},  // 212.6 rounds to 213, half 106.5 cut to 106
             {500, -52}}) { // taller than the strip: -65 rounds, half -32.5 cut to -32
        TitleBarParts p;
        p.window = {100, 200, 9810, 8265};
        p.titleLabel = {0, 0, 2900, labelHeight};
        p.strip = {-2520, 120, 12000, 435};
        p.firstButton = {9060, 165, 300, 300};
        p.secondButton = {8715, 165, 300, 300};
        p.icon = {600, 120, 240, 240};
        ArrangeTitleBar(p, -130, 90, 2500);
        EXPECT_EQ(p.titleLabel, (TwipRect{410, top, 2900, labelHeight})) << labelHeight;
        if (labelHeight == 225) {
            EXPECT_EQ(p.window, (TwipRect{100, 200, 9620, 8265}));
            EXPECT_EQ(p.border, (TwipRect{20, 20, 9595, 8245}));
            EXPECT_EQ(p.strip, (TwipRect{-2390, 30, 12000, 435}));
            EXPECT_EQ(p.firstButton, (TwipRect{9190, 75, 300, 300}));
            EXPECT_EQ(p.secondButton, (TwipRect{8845, 75, 300, 300}));
            EXPECT_EQ(p.icon, (TwipRect{110, 85, 240, 240}));
        }
    }
    EXPECT_EQ(twipsToPixels(9620, 96), 641); // fifteen twips a pixel at 96 dpi
    EXPECT_EQ(twipsToPixels(300, 192), 40);
    EXPECT_DOUBLE_EQ(pixelsToTwips(20, 96), 300);
}

class WindowPlacement : public FormFixture {
protected:
    WindowPlacement() { load(); }
};

// Centred at its design width, then narrowed by the title bar's layout.
TEST_F(WindowPlacement, TheWindowIsCentredAndItsTitleBarLaidOut) {
    EXPECT_EQ(form->windowTitle(), "Vornal Encryption (v2.5a)");
    EXPECT_EQ(text("Label7"), "Vornal Encryption (v2.5a)");
    EXPECT_TRUE(form->windowFlags().testFlag(Qt::FramelessWindowHint));
    const QScreen* screen = QGuiApplication::primaryScreen();
    const double dpi = screen->logicalDotsPerInch();
    const auto px = [dpi](double twips) { return twipsToPixels(twips, dpi); };
    const double screenWidth = pixelsToTwips(screen->geometry().width(), dpi);
    EXPECT_EQ(form->x() - screen->geometry().x(), px(std::floor((screenWidth - 9810) / 2)));
    EXPECT_EQ(form->width(), px(9620));
    EXPECT_EQ(form->height(), px(8265));
    EXPECT_EQ(get("Image2")->pos(), QPoint(px(9190), px(75)));
    EXPECT_EQ(get("Image3")->pos(), QPoint(px(8845), px(75)));
    EXPECT_EQ(get("Image1")->pos(), QPoint(px(-2390), px(30)));
    EXPECT_EQ(get("TitlebarIco")->x(), px(110));
    EXPECT_EQ(get("Label7")->x(), px(410));
    EXPECT_EQ(get("TitlebarIco")->y(), get("Label7")->y());
    // The caption is not cut short.
    auto* title = get<QLabel>("Label7");
    EXPECT_GE(title->width(), title->fontMetrics().horizontalAdvance(title->text()));
}

// Within their containers, frames in frames included.
TEST_F(WindowPlacement, ControlsAreAtTheirDesignPlaces) {
    const double dpi = QGuiApplication::primaryScreen()->logicalDotsPerInch();
    const auto rect = [dpi](double l, double t, double w, double h) {
        const int left = twipsToPixels(l, dpi);
        const int top = twipsToPixels(t, dpi);
        return QRect(left, top, twipsToPixels(l + w, dpi) - left, twipsToPixels(t + h, dpi) - top);
    };
    const struct {
        const char* name;
        const char* container;
        QRect place;
    } cases[] = {
        {"Frame2", "frmVornal", rect(3480, 600, 6015, 5535)},
        {"StatusBox", "frmVornal", rect(120, 7800, 9390, 375)},
        {"FileList", "Frame1", rect(120, 2520, 3015, 2625)},
        {"stringpath", "Frame2", rect(240, 1200, 5535, 615)},
        {"LevelFrame", "Frame2", rect(240, 3480, 5535, 1215)},
        {"pgKey", "LevelFrame", rect(360, 360, 4695, 255)},
        {"optString", "Frame4", {}},
        {"decryption", "Frame3", {}},
        {"ProgressBar2", "indication_frame", rect(2040, 360, 6735, 255)},
        {"Status", "StatusBox", {rect(120, 45, 0, 0).topLeft(), get("Status")->size()}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(get(c.name)->parentWidget()->objectName(), c.container) << c.name;
        if (!c.place.isNull()) {
            EXPECT_EQ(get(c.name)->geometry(), c.place) << c.name;
        }
    }
}

} // namespace
} // namespace vornal::test
