#include "chrome/TitleBarPictures.h"

#include <QDir>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace vornal::TitleBarPictures {

namespace {

void paintStrip(QPainter& p, const QRectF& r) {
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0.0, QColor(0x2a, 0x5c, 0xa3));
    g.setColorAt(0.45, QColor(0x17, 0x3f, 0x78));
    g.setColorAt(1.0, QColor(0x0c, 0x26, 0x4d));
    p.fillRect(r, g);
    // A highlight along the top edge and a dark line along the bottom.
    const qreal line = qMax<qreal>(1.0, r.height() / 29);
    p.fillRect(QRectF(r.left(), r.top(), r.width(), line), QColor(0x7f, 0xa9, 0xe6, 160));
    p.fillRect(QRectF(r.left(), r.bottom() - line, r.width(), line), QColor(0x06, 0x14, 0x2b));
}

void paintIcon(QPainter& p, const QRectF& r) {
    const qreal s = qMin(r.width(), r.height());
    const QRectF box(r.center().x() - s / 2, r.center().y() - s / 2, s, s);
    // Shackle.
    QPen shackle(QColor(0xd9, 0xdf, 0xe8), s * 0.13);
    shackle.setCapStyle(Qt::FlatCap);
    p.setPen(shackle);
    p.setBrush(Qt::NoBrush);
    const QRectF arc(box.left() + s * 0.27, box.top() + s * 0.08, s * 0.46, s * 0.5);
    QPainterPath path;
    path.moveTo(arc.left(), box.top() + s * 0.5);
    path.lineTo(arc.left(), arc.center().y());
    path.arcTo(arc, 180, -180);
    path.lineTo(arc.right(), box.top() + s * 0.5);
    p.drawPath(path);
    // Body.
    const QRectF body(box.left() + s * 0.14, box.top() + s * 0.44, s * 0.72, s * 0.5);
    QLinearGradient g(body.topLeft(), body.bottomLeft());
    g.setColorAt(0, QColor(0xff, 0xd8, 0x6b));
    g.setColorAt(1, QColor(0xd9, 0x9a, 0x1e));
    p.setPen(QPen(QColor(0x7a, 0x52, 0x08), qMax<qreal>(1.0, s / 16)));
    p.setBrush(g);
    p.drawRoundedRect(body, s * 0.08, s * 0.08);
    // Keyhole.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x4a, 0x31, 0x05));
    p.drawEllipse(QPointF(body.center().x(), body.top() + body.height() * 0.4), s * 0.07, s * 0.07);
    p.drawRect(QRectF(body.center().x() - s * 0.03, body.top() + body.height() * 0.4, s * 0.06,
                      body.height() * 0.38));
}

struct ButtonColours {
    QColor top;
    QColor bottom;
    QColor edge;
};

// A rounded button face; the glyph is drawn on top by the caller.
QRectF paintFace(QPainter& p, const QRectF& r, const ButtonColours& c, bool pressed) {
    const qreal s = qMin(r.width(), r.height());
    const qreal inset = s / 20;
    const QRectF face = r.adjusted(inset, inset, -inset, -inset);
    QLinearGradient g(face.topLeft(), face.bottomLeft());
    g.setColorAt(0, pressed ? c.bottom : c.top);
    g.setColorAt(1, pressed ? c.top : c.bottom);
    p.setPen(QPen(c.edge, qMax<qreal>(1.0, s / 20)));
    p.setBrush(g);
    p.drawRoundedRect(face, s * 0.18, s * 0.18);
    // The glyph moves down and right a little while pressed.
    const qreal shift = pressed ? s / 20 : 0;
    return face.translated(shift, shift);
}

QPen glyphPen(const QRectF& face) {
    QPen pen(Qt::white, qMax<qreal>(1.5, face.width() * 0.14));
    pen.setCapStyle(Qt::RoundCap);
    return pen;
}

void paintCross(QPainter& p, const QRectF& face) {
    const qreal m = face.width() * 0.3;
    const QRectF g = face.adjusted(m, m, -m, -m);
    p.setPen(glyphPen(face));
    p.drawLine(g.topLeft(), g.bottomRight());
    p.drawLine(g.topRight(), g.bottomLeft());
}

void paintBar(QPainter& p, const QRectF& face) {
    const qreal m = face.width() * 0.28;
    const qreal y = face.top() + face.height() * 0.66;
    p.setPen(glyphPen(face));
    p.drawLine(QPointF(face.left() + m, y), QPointF(face.right() - m, y));
}

const ButtonColours kBlue{QColor(0x3d, 0x70, 0xb8), QColor(0x1a, 0x3f, 0x75),
                          QColor(0x0a, 0x22, 0x45)};
const ButtonColours kBlueHot{QColor(0x6b, 0x9d, 0xe3), QColor(0x2d, 0x5d, 0xa0),
                             QColor(0x0a, 0x22, 0x45)};
const ButtonColours kRedHot{QColor(0xec, 0x5f, 0x55), QColor(0xb3, 0x26, 0x1e),
                            QColor(0x5c, 0x0f, 0x0a)};

void paintCloseNormal(QPainter& p, const QRectF& r) {
    paintCross(p, paintFace(p, r, kBlue, false));
}
void paintCloseHot(QPainter& p, const QRectF& r) {
    paintCross(p, paintFace(p, r, kRedHot, false));
}
void paintClosePressed(QPainter& p, const QRectF& r) {
    paintCross(p, paintFace(p, r, kRedHot, true));
}
void paintMinimiseNormal(QPainter& p, const QRectF& r) {
    paintBar(p, paintFace(p, r, kBlue, false));
}
void paintMinimiseHot(QPainter& p, const QRectF& r) {
    paintBar(p, paintFace(p, r, kBlueHot, false));
}
void paintMinimisePressed(QPainter& p, const QRectF& r) {
    paintBar(p, paintFace(p, r, kBlueHot, true));
}

} // namespace

Picture strip() {
    return {QStringLiteral("title-bar strip"), paintStrip};
}
Picture icon() {
    return {QStringLiteral("padlock"), paintIcon};
}
Picture closeNormal() {
    return {QStringLiteral("close"), paintCloseNormal};
}
Picture closeHot() {
    return {QStringLiteral("close, hot"), paintCloseHot};
}
Picture closePressed() {
    return {QStringLiteral("close, pressed"), paintClosePressed};
}
Picture minimiseNormal() {
    return {QStringLiteral("minimise"), paintMinimiseNormal};
}
Picture minimiseHot() {
    return {QStringLiteral("minimise, hot"), paintMinimiseHot};
}
Picture minimisePressed() {
    return {QStringLiteral("minimise, pressed"), paintMinimisePressed};
}

QIcon windowIcon() {
    // The sizes compiled in, one picture each (chrome/CMakeLists.txt).
    QIcon result;
    const QDir folder(QStringLiteral(":/icon"));
    for (const QString& name : folder.entryList(QDir::Files)) {
        result.addFile(folder.filePath(name));
    }
    return result;
}

} // namespace vornal::TitleBarPictures
