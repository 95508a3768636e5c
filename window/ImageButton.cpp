#include "window/ImageButton.h"

#include <QLinearGradient>
#include <QPainter>
#include <QStyleOptionFocusRect>
#include <QStylePainter>

namespace vornal {

namespace {

struct FaceColours {
    QColor top;
    QColor bottom;
    QColor edge;
};

void paintFace(QPainter& p, const QRectF& r, const FaceColours& c) {
    const QRectF face = r.adjusted(0.5, 0.5, -0.5, -0.5);
    QLinearGradient g(face.topLeft(), face.bottomLeft());
    g.setColorAt(0, c.top);
    g.setColorAt(1, c.bottom);
    p.setPen(QPen(c.edge, 1));
    p.setBrush(g);
    p.drawRoundedRect(face, 3, 3);
    // A soft highlight on the upper half reads as a raised face.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 60));
    p.drawRoundedRect(face.adjusted(1.5, 1.5, -1.5, -face.height() / 2), 2, 2);
}

void paintNormal(QPainter& p, const QRectF& r) {
    paintFace(p, r, {QColor(0xf5, 0xf8, 0xfc), QColor(0xc9, 0xd5, 0xe4), QColor(0x4f, 0x66, 0x86)});
}
void paintHot(QPainter& p, const QRectF& r) {
    paintFace(p, r, {QColor(0xff, 0xff, 0xff), QColor(0xd6, 0xe5, 0xf7), QColor(0x2f, 0x6f, 0xb5)});
}
void paintPressed(QPainter& p, const QRectF& r) {
    paintFace(p, r, {QColor(0xb9, 0xc7, 0xd9), QColor(0xe4, 0xea, 0xf2), QColor(0x2f, 0x4f, 0x7a)});
}
void paintDisabled(QPainter& p, const QRectF& r) {
    paintFace(p, r, {QColor(0xf0, 0xf0, 0xf0), QColor(0xdc, 0xdc, 0xdc), QColor(0xa8, 0xa8, 0xa8)});
}

} // namespace

ImageButton::ImageButton(const QString& caption, QWidget* parent) : QPushButton(caption, parent) {
    setAttribute(Qt::WA_Hover);
    setAutoDefault(false);
}

ImageButton::Look ImageButton::look() const {
    if (!isEnabled()) {
        return Look::Disabled;
    }
    if (isDown()) {
        return Look::Pressed;
    }
    return underMouse() ? Look::Hot : Look::Normal;
}

Picture ImageButton::face(Look look) {
    switch (look) {
    case Look::Hot:
        return {QStringLiteral("button, hot"), paintHot};
    case Look::Pressed:
        return {QStringLiteral("button, pressed"), paintPressed};
    case Look::Disabled:
        return {QStringLiteral("button, disabled"), paintDisabled};
    case Look::Normal:
        break;
    }
    return {QStringLiteral("button"), paintNormal};
}

QSize ImageButton::sizeHint() const {
    const QFontMetrics metrics(font());
    return {metrics.horizontalAdvance(text()) + 16, metrics.height() + 10};
}

void ImageButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const Look current = look();
    face(current).paint(p, QRectF(rect()));
    const int shift = current == Look::Pressed ? 1 : 0;
    p.setPen(current == Look::Disabled ? QColor(0x8c, 0x8c, 0x8c) : QColor(0x10, 0x24, 0x3e));
    p.setFont(font());
    p.drawText(rect().translated(shift, shift), Qt::AlignCenter | Qt::TextShowMnemonic, text());
    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = rect().adjusted(3, 3, -3, -3);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &p, this);
    }
}

} // namespace vornal
