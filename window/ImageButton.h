#pragma once

#include "chrome/ImageElement.h"

#include <QPushButton>

namespace vornal {

// The image button control: a push button drawn from pictures of our own, one per look,
// with the caption on top. Its caption is text(), its enabled state isEnabled(), and its
// action the clicked() signal.
class ImageButton : public QPushButton {
    Q_OBJECT
public:
    enum class Look { Normal, Hot, Pressed, Disabled };

    explicit ImageButton(const QString& caption, QWidget* parent = nullptr);

    [[nodiscard]] Look look() const;
    // The face picture of a look.
    [[nodiscard]] static Picture face(Look look);

    [[nodiscard]] QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace vornal
