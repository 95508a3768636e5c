#include "chrome/ImageElement.h"

#include <QAccessibleWidget>
#include <QMouseEvent>
#include <QPainter>

namespace vornal {

void Picture::paint(QPainter& painter, const QRectF& rect) const {
    if (painter_ != nullptr) {
        painter.save();
        painter.setRenderHint(QPainter::Antialiasing);
        painter_(painter, rect);
        painter.restore();
    }
}

QPixmap Picture::pixmap(QSize size, qreal devicePixelRatio) const {
    QPixmap pixmap(size * devicePixelRatio);
    pixmap.setDevicePixelRatio(devicePixelRatio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    paint(painter, QRectF(QPointF(0, 0), QSizeF(size)));
    return pixmap;
}

ImageElement::ImageElement(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TranslucentBackground);
    setMouseTracking(true);
}

void ImageElement::setPicture(Picture picture) {
    picture_ = std::move(picture);
    update();
}

void ImageElement::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    picture_.paint(painter, QRectF(rect()));
}

void ImageElement::mousePressEvent(QMouseEvent* event) {
    emit pressed(event);
}

void ImageElement::mouseReleaseEvent(QMouseEvent* event) {
    emit released(event);
}

void ImageElement::mouseMoveEvent(QMouseEvent* event) {
    emit moved(event);
}

void ImageElement::mouseDoubleClickEvent(QMouseEvent* event) {
    emit doubleClicked(event);
}

namespace {

// Asks the element for its role each time: the interface may be made before the role is set.
class AccessibleImageElement : public QAccessibleWidget {
public:
    explicit AccessibleImageElement(ImageElement* element) : QAccessibleWidget(element) {}
    QAccessible::Role role() const override {
        return static_cast<const ImageElement*>(object())->accessibleRole();
    }
};

QAccessibleInterface* imageElementAccessible(const QString& className, QObject* object) {
    if (className == QLatin1String(ImageElement::staticMetaObject.className())) {
        return new AccessibleImageElement(static_cast<ImageElement*>(object));
    }
    return nullptr;
}

} // namespace

void ImageElement::installAccessibility() {
    static bool installed = false;
    if (!installed) {
        QAccessible::installFactory(imageElementAccessible);
        installed = true;
    }
}

} // namespace vornal
