// The status panel as the window paints it: every look and how long it is held, with the
// holds recorded instead of waited for; and the real hold, which keeps the window painted
// but acts on no input.
#include "tests/window/FormFixture.h"
#include "window/Pauser.h"

#include <QKeyEvent>
#include <QMouseEvent>

namespace vornal::test {
namespace {

using Look = RecordingWindow::Look;

class StatusPanel : public FormFixture {
protected:
    StatusPanel() { load(); }

    void operationRunning() {
        form->window().SetStatus(u"Encrypting file...");
        form->window().setInterval(Ctl::ElapsedTimer, 100);
        form->window().setValue(Ctl::ProgressBar2, 40);
    }
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

TEST_F(StatusPanel, ReadyAfterStartUp) {
    expectReady();
    EXPECT_TRUE(pauser.looks.empty());
}

TEST_F(StatusPanel, FailureFlashesRedAndButtonFaceThreeTimesThenReady) {
    operationRunning();
    form->window().FlashFailure(u"Unable to find the file specified.");
    EXPECT_EQ(pauser.looks, flashLooks(u"Unable to find the file specified."));
    expectReady();
}

TEST_F(StatusPanel, EmptyFailureMessageFlashesAnEmptyPanel) {
    form->window().FlashFailure(u"");
    EXPECT_EQ(pauser.looks, flashLooks(u""));
    expectReady();
}

TEST_F(StatusPanel, SuccessShowsGreenFor1200MsThenReady) {
    operationRunning();
    form->window().ShowSuccess(u"File successfully Encrypted.");
    EXPECT_EQ(pauser.looks, std::vector<Look>{successLook(u"File successfully Encrypted.")});
    expectReady();
}

TEST_F(StatusPanel, StatusTextSizesItselfToItsText) {
    auto* status = get<QLabel>("Status");
    form->window().SetStatus(u"A much longer status text than the panel started with");
    EXPECT_GE(status->width(), status->fontMetrics().horizontalAdvance(status->text()));
}

// The real hold: it runs the event loop, so pass 0 ms and let the events posted beforehand
// arrive during it.
class RealHold : public StatusPanel {};

TEST_F(RealHold, DropsKeysAndClicksMeantForTheWindow) {
    auto* box = get<QLineEdit>("filepath");
    box->setFocus();
    QApplication::postEvent(
        box, new QKeyEvent(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a")));
    auto* option = get<QRadioButton>("optString");
    const QPointF at(6, option->height() / 2.0);
    QApplication::postEvent(option,
                            new QMouseEvent(QEvent::MouseButtonPress, at, option->mapToGlobal(at),
                                            Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
    QApplication::postEvent(option,
                            new QMouseEvent(QEvent::MouseButtonRelease, at, option->mapToGlobal(at),
                                            Qt::LeftButton, Qt::NoButton, Qt::NoModifier));
    EventLoopPauser hold;
    hold.pause(*form, 0);
    QApplication::processEvents();
    EXPECT_EQ(box->text(), "");
    EXPECT_FALSE(option->isChecked());
    // Afterwards input works again.
    QTest::keyClick(box, Qt::Key_B);
    EXPECT_EQ(box->text(), "b");
}

TEST_F(RealHold, LetsThePointerReachTheDragHandles) {
    auto* strip = get("Image1");
    ASSERT_TRUE(strip->property(kDragHandleProperty).toBool());
    int presses = 0;
    QObject::connect(get<ImageElement>("Image1"), &ImageElement::pressed, [&] { ++presses; });
    const QPointF at(40, 10);
    QApplication::postEvent(strip,
                            new QMouseEvent(QEvent::MouseButtonPress, at, strip->mapToGlobal(at),
                                            Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
    EventLoopPauser hold;
    hold.pause(*form, 0);
    EXPECT_EQ(presses, 1);
}

TEST_F(RealHold, CarriesOutACloseRequestAfterwards) {
    QApplication::postEvent(form.get(), new QCloseEvent);
    EventLoopPauser hold;
    hold.pause(*form, 0);
    EXPECT_EQ(processExit.calls, 0);
    QApplication::processEvents();
    EXPECT_EQ(processExit.calls, 1);
}

} // namespace
} // namespace vornal::test
