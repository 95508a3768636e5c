#pragma once

#include <QAccessible>
#include <QPixmap>
#include <QString>
#include <QWidget>

class QPainter;

namespace vornal {

// A design picture of our own, drawn with QPainter at whatever size and pixel ratio it is
// shown, so it is as crisp at 2x as at 1x. A default picture is no picture.
class Picture {
public:
    using Painter = void (*)(QPainter&, const QRectF&);

    Picture() = default;
    Picture(QString name, Painter painter) : name_(std::move(name)), painter_(painter) {}

    [[nodiscard]] bool isNull() const noexcept { return painter_ == nullptr; }
    [[nodiscard]] const QString& name() const noexcept { return name_; }
    void paint(QPainter& painter, const QRectF& rect) const;
    // The picture at size logical pixels, rendered for a device pixel ratio.
    [[nodiscard]] QPixmap pixmap(QSize size, qreal devicePixelRatio) const;

    bool operator==(const Picture& other) const noexcept { return painter_ == other.painter_; }

private:
    QString name_;
    Painter painter_ = nullptr;
};

// An image element of the window: it shows one picture (or none) and tells the pointer's
// moves and presses to whoever listens.
class ImageElement : public QWidget {
    Q_OBJECT
public:
    explicit ImageElement(QWidget* parent = nullptr);

    void setPicture(Picture picture);
    [[nodiscard]] const Picture& picture() const noexcept { return picture_; }

    // The role assistive technology announces: a graphic unless it acts as a button.
    void setAccessibleRole(QAccessible::Role role) { role_ = role; }
    [[nodiscard]] QAccessible::Role accessibleRole() const noexcept { return role_; }

    // Makes assistive technology use accessibleRole() for every image element.
    static void installAccessibility();

signals:
    void pressed(QMouseEvent* event);
    void released(QMouseEvent* event);
    void moved(QMouseEvent* event);
    void doubleClicked(QMouseEvent* event);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    Picture picture_;
    QAccessible::Role role_ = QAccessible::Graphic;
};

} // namespace vornal
