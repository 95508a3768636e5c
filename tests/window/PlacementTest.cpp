// Centring the window and laying out its title bar, in twips and on the window.
#include "window/Placement.h"

#include "tests/window/FormFixture.h"

#include <QScreen>

namespace vornal::test {
namespace {

TEST(CenterWindowTwips, PutsTheWindowInTheMiddleRoundingDown) {
    const TwipRect w = CenterWindow({5, 7, 9810, 8265}, 19200, 14400);
    EXPECT_EQ(w, (TwipRect{4695, 3067, 9810, 8265}));
    // (19201 - 9810) / 2 = 4695.5 rounds down.
    EXPECT_EQ(CenterWindow({0, 0, 9810, 8265}, 19201, 14400).left, 4695);
}

TEST(CenterWindowTwips, AWindowLargerThanTheScreenGetsANegativePlaceAndKeepsItsSize) {
    const TwipRect w = CenterWindow({0, 0, 9810, 8265}, 9000, 8000);
    EXPECT_EQ(w.left, -405);
    EXPECT_EQ(w.top, -133); // -132.5 rounds down
    EXPECT_EQ(w.width, 9810);
    EXPECT_EQ(w.height, 8265);
}

TitleBarParts designParts(float labelHeight) {
    TitleBarParts p;
    p.window = {100, 200, 9810, 8265};
    p.titleLabel = {0, 0, 2900, labelHeight};
    p.strip = {-2520, 120, 12000, 435};
    p.firstButton = {9060, 165, 300, 300};
    p.secondButton = {8715, 165, 300, 300};
    p.icon = {600, 120, 240, 240};
    return p;
}

TEST(ArrangeTitleBarTwips, TheStartUpCallGivesTheDesignLayout) {
    TitleBarParts p = designParts(225);
    ArrangeTitleBar(p, -130, 90, 2500);
    EXPECT_EQ(p.window, (TwipRect{100, 200, 9620, 8265}));
    EXPECT_EQ(p.border, (TwipRect{20, 20, 9595, 8245}));
    EXPECT_EQ(p.strip, (TwipRect{-2390, 30, 12000, 435}));
    EXPECT_EQ(p.firstButton, (TwipRect{9190, 75, 300, 300}));
    EXPECT_EQ(p.secondButton, (TwipRect{8845, 75, 300, 300}));
    // h = (435 - 225) / 2 = 105; 50 above the exact centre.
    EXPECT_EQ(p.titleLabel, (TwipRect{410, 85, 2900, 225}));
    EXPECT_EQ(p.icon, (TwipRect{110, 85, 240, 240}));
}

TEST(ArrangeTitleBarTwips, TheHalfIsTakenOfTheRoundedDifferenceTowardZero) {
    TitleBarParts p = designParts(224.5f); // 210.5 rounds to 210 (even), half 105
    ArrangeTitleBar(p, -130, 90, 2500);
    EXPECT_EQ(p.titleLabel.top, 85);
    p = designParts(222.4f); // 212.6 rounds to 213, half 106.5 cut to 106
    ArrangeTitleBar(p, -130, 90, 2500);
    EXPECT_EQ(p.titleLabel.top, 86);
    p = designParts(500); // a label taller than the strip: -65 rounds, half -32.5 cut to -32
    ArrangeTitleBar(p, -130, 90, 2500);
    EXPECT_EQ(p.titleLabel.top, 30 - 32 - 50);
}

TEST(TwipConversion, FifteenTwipsAPixelAt96Dpi) {
    EXPECT_EQ(twipsToPixels(9620, 96), 641);
    EXPECT_EQ(twipsToPixels(300, 96), 20);
    EXPECT_EQ(twipsToPixels(300, 192), 40);
    EXPECT_DOUBLE_EQ(pixelsToTwips(20, 96), 300);
}

class WindowPlacement : public FormFixture {
protected:
    WindowPlacement() { load(); }
};

TEST_F(WindowPlacement, TheTitleBarShowsTheCaptionAndSitsWhereItsLayoutPutsIt) {
    EXPECT_EQ(form->windowTitle(), "Vornal Encryption (v2.5a)");
    EXPECT_EQ(text("Label7"), "Vornal Encryption (v2.5a)");
    EXPECT_TRUE(form->windowFlags().testFlag(Qt::FramelessWindowHint));
    const double dpi = QGuiApplication::primaryScreen()->logicalDotsPerInch();
    const auto px = [dpi](double twips) { return twipsToPixels(twips, dpi); };
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

TEST_F(WindowPlacement, TheFramesAndTheirControlsAreAtTheirDesignPlaces) {
    const double dpi = QGuiApplication::primaryScreen()->logicalDotsPerInch();
    const auto rect = [dpi](double l, double t, double w, double h) {
        const int left = twipsToPixels(l, dpi);
        const int top = twipsToPixels(t, dpi);
        return QRect(left, top, twipsToPixels(l + w, dpi) - left, twipsToPixels(t + h, dpi) - top);
    };
    EXPECT_EQ(get("Frame1")->geometry(), rect(120, 600, 3255, 5535));
    EXPECT_EQ(get("Frame2")->geometry(), rect(3480, 600, 6015, 5535));
    EXPECT_EQ(get("indication_frame")->geometry(), rect(120, 6240, 9375, 1455));
    EXPECT_EQ(get("StatusBox")->geometry(), rect(120, 7800, 9390, 375));
    EXPECT_EQ(get("DriveList")->geometry(), rect(120, 240, 3015, 330));
    EXPECT_EQ(get("DirList")->geometry(), rect(120, 600, 3015, 1890));
    EXPECT_EQ(get("FileList")->geometry(), rect(120, 2520, 3015, 2625));
    EXPECT_EQ(get("filepath")->geometry(), rect(240, 1200, 4575, 285));
    EXPECT_EQ(get("stringpath")->geometry(), rect(240, 1200, 5535, 615));
    EXPECT_EQ(get("Frame4")->geometry(), rect(240, 1800, 2655, 700));
    EXPECT_EQ(get("Frame3")->geometry(), rect(3120, 1800, 2655, 705));
    EXPECT_EQ(get("txtPass1")->geometry(), rect(240, 3000, 2655, 285));
    EXPECT_EQ(get("txtPass2")->geometry(), rect(3120, 3000, 2655, 285));
    EXPECT_EQ(get("LevelFrame")->geometry(), rect(240, 3480, 5535, 1215));
    EXPECT_EQ(get("pgKey")->geometry(), rect(360, 360, 4695, 255));
    EXPECT_EQ(get("btnSTART")->geometry(), rect(4680, 4800, 1095, 615));
    EXPECT_EQ(get("ProgressBar2")->geometry(), rect(2040, 360, 6735, 255));
    EXPECT_EQ(get("Status")->pos(), rect(120, 45, 0, 0).topLeft());
    // Each control lies in its container.
    for (const char* name : {"DriveList", "DirList", "FileList"}) {
        EXPECT_EQ(get(name)->parentWidget()->objectName(), "Frame1") << name;
    }
    for (const char* name : {"optFile", "optString"}) {
        EXPECT_EQ(get(name)->parentWidget()->objectName(), "Frame4") << name;
    }
    for (const char* name : {"encryption", "decryption"}) {
        EXPECT_EQ(get(name)->parentWidget()->objectName(), "Frame3") << name;
    }
    EXPECT_EQ(get("pgKey")->parentWidget()->objectName(), "LevelFrame");
    EXPECT_EQ(get("ProgressBar2")->parentWidget()->objectName(), "indication_frame");
    EXPECT_EQ(get("Status")->parentWidget()->objectName(), "StatusBox");
}

TEST_F(WindowPlacement, TheWindowIsCentredBeforeItIsNarrowed) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const double dpi = screen->logicalDotsPerInch();
    const double screenWidth = pixelsToTwips(screen->geometry().width(), dpi);
    const int expectedLeft = twipsToPixels(std::floor((screenWidth - 9810) / 2), dpi);
    EXPECT_EQ(form->x() - screen->geometry().x(), expectedLeft);
}

} // namespace
} // namespace vornal::test
