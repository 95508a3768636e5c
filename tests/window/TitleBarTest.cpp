// The home-made title bar (hot and pressed pictures, dragging, minimising) and the
// window's place: centred, its title bar laid out, in twips and on the screen.
#include "chrome/TitleBarPictures.h"
#include "tests/window/FormFixture.h"
#include "window/Placement.h"

#include <QScreen>

namespace vornal::test {
namespace {

namespace pictures = TitleBarPictures;

// Halves round down; a window larger than the screen gets a negative place and keeps its
// size. The title sits 50 above the exact centre of the strip: half the difference of
// heights, rounded to even, then cut toward zero; the icon at its left.
TEST(Placement, CentresTheWindowAndLaysOutItsTitleBar) {
    const struct {
        TwipRect window;
        float screenWidth, screenHeight;
        TwipRect centred;
    } centring[] = {
        {{5, 7, 9810, 8265}, 19200, 14400, {4695, 3067, 9810, 8265}},
        {{0, 0, 9810, 8265}, 19201, 14400, {4695, 3067, 9810, 8265}}, // 4695.5
        {{0, 0, 9810, 8265}, 9000, 8000, {-405, -133, 9810, 8265}},   // -132.5
    };
    for (const auto& c : centring) {
        EXPECT_EQ(CenterWindow(c.window, c.screenWidth, c.screenHeight), c.centred)
            << c.screenWidth;
    }
    const std::pair<float, float> titleTops[] = {
        {225, 85},    // (435 - 225) / 2 = 105
        {224.5f, 85}, // 210.5 rounds to 210 (even), half 105
        {222.4f, 86}, // 212.6 rounds to 213, half 106.5 cut to 106
        {500, -52},   // taller than the strip: -65 rounds, half -32.5 cut to -32
    };
    for (const auto& [labelHeight, top] : titleTops) {
        TitleBarParts p{{100, 200, 9810, 8265},
                        {0, 0, 2900, labelHeight},
                        {-2520, 120, 12000, 435},
                        {9060, 165, 300, 300},
                        {8715, 165, 300, 300},
                        {600, 120, 240, 240},
                        {}};
        ArrangeTitleBar(p, -130, 90, 2500);
        EXPECT_EQ(p.titleLabel, (TwipRect{410, top, 2900, labelHeight})) << labelHeight;
        EXPECT_EQ(p.icon, (TwipRect{110, top, 240, 240}));
        EXPECT_EQ(p.window, (TwipRect{100, 200, 9620, 8265}));
        EXPECT_EQ(p.border, (TwipRect{20, 20, 9595, 8245}));
        EXPECT_EQ(p.strip, (TwipRect{-2390, 30, 12000, 435}));
        EXPECT_EQ(p.firstButton, (TwipRect{9190, 75, 300, 300}));
        EXPECT_EQ(p.secondButton, (TwipRect{8845, 75, 300, 300}));
    }
    EXPECT_EQ(twipsToPixels(9620, 96), 641); // fifteen twips a pixel at 96 dpi
    EXPECT_EQ(twipsToPixels(300, 192), 40);
}

class TitleBar : public FormFixture {
protected:
    void SetUp() override { load(); }
    Picture picture(const char* name) { return get<ImageElement>(name)->picture(); }
};

// On the screen: frameless, centred, the caption not cut short, a title-bar button and a control in
// a frame in a frame at their design places.
TEST_F(TitleBar, TheWindowShowsItsDesignOnTheScreen) {
    EXPECT_TRUE(form->windowFlags().testFlag(Qt::FramelessWindowHint));
    auto* title = get<QLabel>("Label7");
    EXPECT_EQ(title->text(), "Vornal Encryption (v2.5a)");
    EXPECT_GE(title->width(), title->fontMetrics().horizontalAdvance(title->text()));
    const double dpi = QGuiApplication::primaryScreen()->logicalDotsPerInch();
    const auto px = [dpi](double twips) { return twipsToPixels(twips, dpi); };
    EXPECT_EQ(form->width(), px(9620));
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_LE(std::abs(form->geometry().center().y() - screen.center().y()), 1); // centred
    EXPECT_EQ(get("Image2")->pos(), QPoint(px(9190), px(75)));
    EXPECT_EQ(get("pgKey")->parentWidget()->objectName(), "LevelFrame");
    EXPECT_EQ(get("pgKey")->geometry(),
              QRect(px(360), px(360), px(360 + 4695) - px(360), px(360 + 255) - px(360)));
}

// Hovering makes one button hot (the caption leaves it so, the strip, the header and the
// window's own area clear it); any mouse button shows it pressed, only a left click acts;
// the left button drags the window by the strip or the caption.
TEST_F(TitleBar, ThePicturesFollowThePointerAndTheLeftButtonDrags) {
    enum Pic { N, H, P, Any };
    const auto M = QEvent::MouseMove, Press = QEvent::MouseButtonPress,
               Release = QEvent::MouseButtonRelease;
    const Qt::MouseButtons no = Qt::NoButton, L = Qt::LeftButton, R = Qt::RightButton;
    const QPoint corner(form->width() - 2, form->height() - 2);
    const struct {
        const char* on; // nullptr: the window itself
        QEvent::Type type;
        Qt::MouseButtons buttons;
        QPoint at;
        Pic close, minimise;
        QPoint moved;
    } steps[] = {
        {"Image2", M, no, {3, 3}, H, N, {}},        {"Image3", M, no, {3, 3}, N, H, {}},
        {"Label7", M, no, {3, 3}, N, H, {}},        {"Image1", M, no, {3, 3}, N, N, {}},
        {"Image2", M, no, {3, 3}, H, N, {}},        {"Image8", M, no, {3, 3}, N, N, {}},
        {"Image3", M, no, {3, 3}, N, H, {}},        {nullptr, M, no, corner, N, N, {}},
        {"Image2", Press, R, {3, 3}, P, N, {}},     {"Image2", Release, R, {3, 3}, N, N, {}},
        {"Image3", M, no, {3, 3}, N, H, {}},        {"Image3", Press, L, {3, 3}, N, P, {}},
        {"Image3", Release, L, {-5, -5}, N, H, {}}, {"Image1", M, no, {3, 3}, N, N, {}},
        {"Image1", Press, L, {10, 5}, Any, N, {}},  {"Image1", M, L, {30, 12}, N, N, {20, 7}},
        {"Image1", M, R, {50, 50}, N, N, {20, 7}},  {"Image1", M, no, {50, 50}, N, N, {20, 7}},
        {"Image2", M, no, {3, 3}, H, N, {20, 7}},   {"Label7", Press, L, {4, 4}, H, N, {20, 7}},
        {"Label7", M, L, {1, 10}, H, N, {17, 13}},  {"Image1", Press, L, {10, 5}, Any, N, {17, 13}},
        {"Image1", M, L, {10, 5}, N, N, {17, 13}}};
    const Picture close[] = {pictures::closeNormal(), pictures::closeHot(),
                             pictures::closePressed()};
    const Picture minimise[] = {pictures::minimiseNormal(), pictures::minimiseHot(),
                                pictures::minimisePressed()};
    const QPoint start = form->pos();
    for (const auto& s : steps) {
        SCOPED_TRACE(&s - steps);
        QWidget* w = s.on != nullptr ? get(s.on) : form.get();
        const auto button = static_cast<Qt::MouseButton>(s.type == M ? 0 : s.buttons.toInt());
        QMouseEvent e(s.type, QPointF(s.at), w->mapToGlobal(QPointF(s.at)), button,
                      s.type == Release ? no : s.buttons, Qt::NoModifier);
        QApplication::sendEvent(w, &e);
        EXPECT_TRUE(s.close == Any || picture("Image2") == close[s.close]);
        EXPECT_EQ(picture("Image3"), minimise[s.minimise]);
        EXPECT_EQ(form->pos() - start, s.moved);
    }
    EXPECT_EQ(processExit.calls, 0);
    EXPECT_FALSE(form->isMinimized());
    // Minimising and restoring leaves neither button hot.
    mouse("Image3", Press, {3, 3}, Qt::LeftButton, L);
    mouse("Image3", Release, {3, 3}, Qt::LeftButton, no);
    EXPECT_TRUE(form->windowState().testFlag(Qt::WindowMinimized));
    form->setWindowState(Qt::WindowNoState);
    EXPECT_EQ(picture("Image2"), pictures::closeNormal());
    EXPECT_EQ(picture("Image3"), pictures::minimiseNormal());
}

// The window's icon at the theme's sizes. Each look its own picture, drawn at the screen's
// resolution: at 2x twice the pixels, with detail at the finer grid, not a 1x picture
// blown up (every 2x2 block one colour).
TEST_F(TitleBar, EachPictureIsItsOwnAtTheScreensResolution) {
    const QList<QSize> sizes = form->windowIcon().availableSizes();
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        EXPECT_TRUE(sizes.contains(QSize(size, size))) << size;
    }
    const auto image = [](const Picture& p) { return p.pixmap({20, 20}, 1).toImage(); };
    using Look = ImageButton::Look;
    for (auto look : {Look::Hot, Look::Pressed, Look::Disabled}) {
        EXPECT_NE(image(ImageButton::face(look)), image(ImageButton::face(Look::Normal)));
    }
    EXPECT_NE(image(pictures::closeHot()), image(pictures::closeNormal()));
    EXPECT_NE(image(pictures::closePressed()), image(pictures::closeHot()));
    EXPECT_NE(image(pictures::minimisePressed()), image(pictures::minimiseHot()));
    for (const Picture& picture : {ImageButton::face(Look::Normal), pictures::closeNormal(),
                                   pictures::minimiseHot(), pictures::icon()}) {
        const QImage fine = picture.pixmap(QSize(20, 20), 2.0).toImage();
        EXPECT_EQ(fine.size(), QSize(40, 40)) << picture.name().toStdString();
        bool finer = false;
        for (int y = 0; y < 40 && !finer; y += 2) {
            for (int x = 0; x < 40 && !finer; x += 2) {
                finer = fine.pixel(x, y) != fine.pixel(x + 1, y) ||
                        fine.pixel(x, y) != fine.pixel(x, y + 1);
            }
        }
        EXPECT_TRUE(finer) << picture.name().toStdString();
    }
}

} // namespace
} // namespace vornal::test
