// The status panel as the window paints it: every look and how long it is held, with the
// holds recorded instead of waited for; and the real hold, which keeps the window painted
// but acts on no input.
#include "tests/window/FormFixture.h"
#include "window/Pauser.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <functional>

namespace vornal::test {
namespace {

using Look = RecordingWindow::Look;

class StatusPanel : public FormFixture {
protected:
    StatusPanel() { load(); }

    void expectReady() {
        EXPECT_EQ(text("Status"), "Ready.");
        EXPECT_EQ(LookPauser::colourOf(get("StatusBox")->palette().color(QPalette::Window)),
                  Colour::Neutral);
        EXPECT_EQ(LookPauser::colourOf(get("Status")->palette().color(QPalette::WindowText)),
                  Colour::Dark);
        EXPECT_EQ(get<QProgressBar>("ProgressBar2")->value(), 0);
        EXPECT_FALSE(form->findChild<QTimer*>(QStringLiteral("ElapsedTimer"))->isActive());
    }
};

// Failure: red and button face three times, 400 ms each; success: green for 1200 ms; both
// end on the ready panel, as start-up does.
TEST_F(StatusPanel, EachOutcomesLooksAndHoldsThenReady) {
    expectReady();
    EXPECT_TRUE(pauser.looks.empty());
    const struct {
        std::function<void(Window&)> show;
        std::vector<Look> looks;
    } cases[] = {
        {[](Window& w) { w.FlashFailure(u"Unable to find the file specified."); },
         flashLooks(u"Unable to find the file specified.")},
        {[](Window& w) { w.FlashFailure(u""); }, flashLooks(u"")},
        {[](Window& w) { w.ShowSuccess(u"File successfully Encrypted."); },
         {successLook(u"File successfully Encrypted.")}},
    };
    for (const auto& c : cases) {
        pauser.looks.clear();
        form->window().SetStatus(u"Encrypting file...");
        form->window().setInterval(Ctl::ElapsedTimer, 100);
        form->window().setValue(Ctl::ProgressBar2, 40);
        c.show(form->window());
        EXPECT_EQ(pauser.looks, c.looks);
        expectReady();
    }
}

TEST_F(StatusPanel, StatusTextSizesItselfToItsText) {
    auto* status = get<QLabel>("Status");
    form->window().SetStatus(u"A much longer status text than the panel started with");
    EXPECT_GE(status->width(), status->fontMetrics().horizontalAdvance(status->text()));
}

// The real hold runs the event loop, so pass 0 ms and let the events posted beforehand
// arrive during it: keys and clicks meant for the window are dropped, the pointer still
// reaches the drag handles, and a close request is carried out afterwards.
TEST_F(StatusPanel, TheRealHoldActsOnNoInputButDragAndCloseAfterwards) {
    auto* box = get<QLineEdit>("filepath");
    box->setFocus();
    QApplication::postEvent(
        box, new QKeyEvent(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a")));
    const auto post = [](QWidget* w, QEvent::Type type, QPointF at, Qt::MouseButtons held) {
        QApplication::postEvent(
            w, new QMouseEvent(type, at, w->mapToGlobal(at), Qt::LeftButton, held, Qt::NoModifier));
    };
    auto* option = get<QRadioButton>("optString");
    post(option, QEvent::MouseButtonPress, QPointF(6, option->height() / 2.0), Qt::LeftButton);
    post(option, QEvent::MouseButtonRelease, QPointF(6, option->height() / 2.0), Qt::NoButton);
    auto* strip = get("Image1");
    ASSERT_TRUE(strip->property(kDragHandleProperty).toBool());
    int presses = 0;
    QObject::connect(get<ImageElement>("Image1"), &ImageElement::pressed, [&] { ++presses; });
    post(strip, QEvent::MouseButtonPress, QPointF(40, 10), Qt::LeftButton);
    QApplication::postEvent(form.get(), new QCloseEvent);

    EventLoopPauser hold;
    hold.pause(*form, 0);

    EXPECT_EQ(presses, 1);
    EXPECT_EQ(processExit.calls, 0);
    QApplication::processEvents();
    EXPECT_EQ(processExit.calls, 1);
    EXPECT_EQ(box->text(), "");
    EXPECT_FALSE(option->isChecked());
    QTest::keyClick(box, Qt::Key_B); // afterwards input works again
    EXPECT_EQ(box->text(), "b");
}

} // namespace
} // namespace vornal::test
