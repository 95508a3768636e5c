// The home-made title bar: hot and pressed pictures, dragging, close and minimise.
#include "chrome/TitleBarPictures.h"
#include "tests/window/FormFixture.h"

#include <QMouseEvent>

namespace vornal::test {
namespace {

namespace pictures = TitleBarPictures;

class TitleBar : public FormFixture {
protected:
    void SetUp() override { load(); }

    ImageElement* image(const char* name) { return get<ImageElement>(name); }
    Picture picture(const char* name) { return image(name)->picture(); }
    void send(const char* name, QEvent::Type type, QPoint at, Qt::MouseButton button,
              Qt::MouseButtons held) {
        QWidget* w = get(name);
        QMouseEvent e(type, QPointF(at), w->mapToGlobal(QPointF(at)), button, held, Qt::NoModifier);
        QApplication::sendEvent(w, &e);
    }
    void moveOver(const char* name, Qt::MouseButtons held = Qt::NoButton, QPoint at = {3, 3}) {
        send(name, QEvent::MouseMove, at, Qt::NoButton, held);
    }
    void press(const char* name, Qt::MouseButton button = Qt::LeftButton, QPoint at = {3, 3}) {
        send(name, QEvent::MouseButtonPress, at, button, button);
    }
    void release(const char* name, Qt::MouseButton button = Qt::LeftButton, QPoint at = {3, 3}) {
        send(name, QEvent::MouseButtonRelease, at, button, Qt::NoButton);
    }
    // The pictures the two buttons show.
    std::pair<Picture, Picture> shown() { return {picture("Image2"), picture("Image3")}; }
    std::pair<Picture, Picture> normal() {
        return {pictures::closeNormal(), pictures::minimiseNormal()};
    }
};

TEST_F(TitleBar, HoveringMakesOneButtonHotAndLeavingPutsItBack) {
    moveOver("Image2");
    EXPECT_EQ(shown(), std::pair(pictures::closeHot(), pictures::minimiseNormal()));
    EXPECT_EQ(picture("Image10"), pictures::closeNormal()); // parked, not lost
    moveOver("Image3");
    EXPECT_EQ(shown(), std::pair(pictures::closeNormal(), pictures::minimiseHot()));
    for (int i = 0; i < 5; ++i) {
        moveOver("Image3", Qt::NoButton, {1 + i, 2});
    }
    EXPECT_EQ(shown(), std::pair(pictures::closeNormal(), pictures::minimiseHot()));
    moveOver("Label7");
    EXPECT_EQ(picture("Image3"), pictures::minimiseHot()); // the caption does not clear it
    moveOver("Image1");
    EXPECT_EQ(shown(), normal());
    moveOver("Image2");
    moveOver("Image8");
    EXPECT_EQ(shown(), normal());
    moveOver("Image3");
    const QPoint corner(form->width() - 2, form->height() - 2); // the window's own area
    QMouseEvent e(QEvent::MouseMove, corner, form->mapToGlobal(corner), Qt::NoButton, Qt::NoButton,
                  Qt::NoModifier);
    QApplication::sendEvent(form.get(), &e);
    EXPECT_EQ(shown(), normal());
    EXPECT_EQ(picture("Image9"), pictures::minimiseHot());
    EXPECT_EQ(picture("Image10"), pictures::closeHot());
}

TEST_F(TitleBar, PressedWhileHeldByAnyButtonAndNeitherHotAfterMinimising) {
    press("Image2", Qt::RightButton);
    EXPECT_EQ(picture("Image2"), pictures::closePressed());
    release("Image2", Qt::RightButton);
    EXPECT_EQ(picture("Image2"), pictures::closeNormal());
    EXPECT_EQ(processExit.calls, 0); // only a left click closes

    moveOver("Image3");
    press("Image3");
    EXPECT_EQ(picture("Image3"), pictures::minimisePressed());
    release("Image3", Qt::LeftButton, {-5, -5}); // let go outside: no click
    EXPECT_EQ(picture("Image3"), pictures::minimiseHot());
    EXPECT_FALSE(form->isMinimized());

    // Minimising and restoring leaves neither button hot.
    press("Image3");
    release("Image3");
    EXPECT_TRUE(form->windowState().testFlag(Qt::WindowMinimized));
    form->setWindowState(Qt::WindowNoState);
    EXPECT_EQ(shown(), normal());
    EXPECT_EQ(picture("Image5"), pictures::minimisePressed());
}

TEST_F(TitleBar, TheLeftButtonDragsTheWindowByTheStripOrTheCaption) {
    const QPoint start = form->pos();
    press("Image1", Qt::LeftButton, {10, 5});
    moveOver("Image1", Qt::LeftButton, {30, 12});
    EXPECT_EQ(form->pos(), start + QPoint(20, 7));
    moveOver("Image1", Qt::RightButton, {50, 50});
    moveOver("Image1", Qt::LeftButton | Qt::RightButton, {50, 50});
    moveOver("Image1", Qt::NoButton, {50, 50});
    EXPECT_EQ(form->pos(), start + QPoint(20, 7));

    // By the caption, which leaves a hot button hot; the strip clears it.
    moveOver("Image2");
    press("Label7", Qt::LeftButton, {4, 4});
    moveOver("Label7", Qt::LeftButton, {1, 10});
    EXPECT_EQ(form->pos(), start + QPoint(17, 13));
    EXPECT_EQ(picture("Image2"), pictures::closeHot());
    press("Label7", Qt::RightButton, {4, 4});
    moveOver("Label7", Qt::RightButton, {40, 40});
    EXPECT_EQ(form->pos(), start + QPoint(17, 13));
    press("Image1", Qt::LeftButton, {10, 5});
    moveOver("Image1", Qt::LeftButton, {10, 5});
    EXPECT_EQ(form->pos(), start + QPoint(17, 13));
    EXPECT_EQ(picture("Image2"), pictures::closeNormal());
}

TEST_F(TitleBar, TheCloseImageAndTheIconRunTheExitCommandUnlessARunShowsCancel) {
    form->window().setText(Ctl::btnSTART, u"Cancel");
    messages.answers = {MsgAnswer::Cancel};
    press("Image2");
    release("Image2");
    ASSERT_EQ(messages.boxes.size(), 1u);
    EXPECT_EQ(messages.boxes[0].title, u"User Cancellation");
    EXPECT_EQ(processExit.calls, 0);
    EXPECT_TRUE(form->isVisible());

    form->window().setText(Ctl::btnSTART, u"Encrypt!");
    send("TitlebarIco", QEvent::MouseButtonDblClick, {3, 3}, Qt::LeftButton, Qt::LeftButton);
    EXPECT_EQ(processExit.calls, 1);
    EXPECT_TRUE(fileExists(home.file("prevdir.tmp"))); // the exit command saved the folder
    EXPECT_EQ(messages.boxes.size(), 1u);
}

} // namespace
} // namespace vornal::test
