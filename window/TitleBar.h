#pragma once

#include "chrome/GeneralControlModule.h"
#include "window/FormDesign.h"

#include <QObject>
#include <functional>

class QMouseEvent;

namespace vornal {

// The window's own title bar: dragging the window by the strip or the caption, the hot and
// pressed pictures of the close and minimise buttons, and the bar's layout.
class TitleBar : public QObject {
public:
    // What the buttons do: close (also a double click on the icon) and minimise.
    struct Commands {
        std::function<void()> close;
        std::function<void()> minimise;
    };

    TitleBar(QWidget& window, const Controls& controls, const TwipScale& scale, Commands commands);

    // Lines the bar up on a window of that place and size, with the window's caption, and
    // answers the window narrowed and its border.
    [[nodiscard]] TitleBarParts arrange(const TwipRect& window);

protected:
    // Dragging by the caption; on the window itself, moves over its own area, resizes and
    // state changes (minimising, restoring) leave neither button hot.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void connectButton(ImageElement* button, ImageElement* pressedPicture, std::int16_t hoverMode,
                       const std::function<void()>& click);
    void hover(std::int16_t mode);
    void dragHandlePressed(const QMouseEvent& event);
    void dragHandleMoved(const QMouseEvent& event);

    QWidget& window_;
    const Controls& c_;
    const TwipScale& scale_;
    Commands commands_;
    GeneralControlModule::TitleBarState state_;
};

} // namespace vornal
