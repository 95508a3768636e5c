#include "window/TitleBar.h"

#include "chrome/ImageElement.h"
#include "chrome/TitleBarPictures.h"
#include "window/Pauser.h"

#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QWindow>

namespace vornal {

namespace {

using namespace GeneralControlModule;

// The mouse buttons held, as the title bar's handlers count them: 1 left, 2 right, 4 middle.
std::int16_t heldButtons(const QMouseEvent& event) {
    const Qt::MouseButtons held = event.buttons();
    return static_cast<std::int16_t>((held.testFlag(Qt::LeftButton) ? 1 : 0) |
                                     (held.testFlag(Qt::RightButton) ? 2 : 0) |
                                     (held.testFlag(Qt::MiddleButton) ? 4 : 0));
}

// Wayland does not let a window place itself; there the compositor moves it on request.
bool windowMovesItself() {
    return !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

} // namespace

TitleBar::TitleBar(QWidget& window, const Controls& controls, const TwipScale& scale,
                   Commands commands)
    : window_(window), c_(controls), scale_(scale), commands_(std::move(commands)) {
    // While an operation runs the bar still takes the pointer, so that the window can be
    // moved, minimised and asked to cancel; the window's own area clears a hot button.
    for (QWidget* live :
         {&window_, static_cast<QWidget*>(c_.Image1), static_cast<QWidget*>(c_.Label7),
          static_cast<QWidget*>(c_.Image2), static_cast<QWidget*>(c_.Image3),
          static_cast<QWidget*>(c_.TitlebarIco), static_cast<QWidget*>(c_.Image8)}) {
        live->setProperty(kLiveWhileRunningProperty, true);
    }
    window_.setMouseTracking(true);
    window_.installEventFilter(this);
    c_.Label7->installEventFilter(this);

    connect(c_.Image1, &ImageElement::pressed, this,
            [this](QMouseEvent* e) { dragHandlePressed(*e); });
    connect(c_.Image1, &ImageElement::moved, this, [this](QMouseEvent* e) {
        dragHandleMoved(*e);
        hover(kOverNeither); // which is also all the window's own pointer-move handling does
    });
    connectButton(c_.Image2, c_.Image6, kOverClose, commands_.close);
    connectButton(c_.Image3, c_.Image5, kOverMinimize, commands_.minimise);
    connect(c_.Image8, &ImageElement::moved, this, [this] { hover(kOverNeither); });
    connect(c_.TitlebarIco, &ImageElement::doubleClicked, this, [this] { commands_.close(); });
}

// The pressed picture is in while any mouse button is down; a left click acts.
void TitleBar::connectButton(ImageElement* button, ImageElement* pressedPicture,
                             std::int16_t hoverMode, const std::function<void()>& click) {
    connect(button, &ImageElement::pressed, this,
            [this, button, pressedPicture] { SwapPictures(*button, *pressedPicture, *c_.Image7); });
    connect(button, &ImageElement::released, this,
            [this, button, pressedPicture, click](QMouseEvent* e) {
                SwapPictures(*button, *pressedPicture, *c_.Image7);
                if (e->button() == Qt::LeftButton &&
                    button->rect().contains(e->position().toPoint())) {
                    click();
                }
            });
    connect(button, &ImageElement::moved, this, [this, hoverMode] { hover(hoverMode); });
}

void TitleBar::hover(std::int16_t mode) {
    UpdateHoverImages(state_, mode, window_);
}

void TitleBar::dragHandlePressed(const QMouseEvent& event) {
    const QPointF at = event.position();
    StartDrag(state_, static_cast<float>(scale_.twips(at.x())),
              static_cast<float>(scale_.twips(at.y())));
    if (event.button() == Qt::LeftButton && !windowMovesItself() &&
        window_.windowHandle() != nullptr) {
        window_.windowHandle()->startSystemMove();
    }
}

void TitleBar::dragHandleMoved(const QMouseEvent& event) {
    const QPointF at = event.position();
    WindowPosition position{static_cast<float>(scale_.twips(window_.x())),
                            static_cast<float>(scale_.twips(window_.y()))};
    const WindowPosition before = position;
    DragWindow(state_, position, static_cast<float>(scale_.twips(at.x())),
               static_cast<float>(scale_.twips(at.y())), heldButtons(event));
    if (position.left != before.left || position.top != before.top) {
        window_.move(scale_.px(position.left), scale_.px(position.top));
    }
}

bool TitleBar::eventFilter(QObject* watched, QEvent* event) {
    if (watched == c_.Label7) {
        if (event->type() == QEvent::MouseButtonPress) {
            dragHandlePressed(static_cast<QMouseEvent&>(*event));
        } else if (event->type() == QEvent::MouseMove) {
            dragHandleMoved(static_cast<QMouseEvent&>(*event));
        }
    } else if (watched == &window_) {
        switch (event->type()) {
        case QEvent::MouseMove:
            // Moves over other controls reach the window too; only its own area clears.
            if (window_.childAt(static_cast<QMouseEvent*>(event)->position().toPoint()) ==
                nullptr) {
                hover(kOverNeither);
            }
            break;
        case QEvent::Resize:
        case QEvent::WindowStateChange: // minimising and restoring count as resizes
            hover(kOverNeither);
            break;
        default:
            break;
        }
    }
    return false;
}

TitleBarParts TitleBar::arrange(const TwipRect& window) {
    // The caption label takes the window's caption and sizes itself to it first.
    c_.Label7->setText(window_.windowTitle());
    c_.Label7->adjustSize();
    TitleBarParts parts;
    parts.window = window;
    parts.titleLabel = scale_.twipRect(c_.Label7->geometry());
    const TitleBarDesign design;
    parts.strip = design.strip;
    parts.firstButton = design.closeButton;
    parts.secondButton = design.secondButton;
    parts.icon = design.icon;
    ArrangeTitleBar(parts, kTitleBarHorizontalShift, kTitleBarVerticalShift, kTitleBarTitleOffset);
    c_.Image1->setGeometry(scale_.rect(parts.strip));
    c_.Image2->setGeometry(scale_.rect(parts.firstButton));
    c_.Image3->setGeometry(scale_.rect(parts.secondButton));
    c_.TitlebarIco->setGeometry(scale_.rect(parts.icon));
    c_.TitlebarIco->setPicture(TitleBarPictures::icon());
    c_.Label7->move(scale_.px(parts.titleLabel.left), scale_.px(parts.titleLabel.top));
    return parts;
}

} // namespace vornal
