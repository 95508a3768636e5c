#include "window/FileDrop.h"

#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>

namespace vornal {

DroppedFile droppedFile(const QMimeData& data) {
    const QList<QUrl> urls = data.urls();
    if (urls.size() > 1) {
        return {{}, kDropSeveralMessage};
    }
    if (urls.empty() || !urls.front().isLocalFile()) {
        return {{}, kDropRemoteMessage};
    }
    const QString path = urls.front().toLocalFile();
    if (QFileInfo(path).isDir()) {
        return {{}, kDropFolderMessage};
    }
    return {path, {}};
}

bool DropTarget::takes(const QDropEvent& event) const {
    return event.mimeData()->hasUrls() && event.possibleActions().testFlag(Qt::CopyAction) &&
           taking_();
}

void DropTarget::answerDrag(QDragMoveEvent& event) const {
    if (takes(event)) {
        event.setDropAction(Qt::CopyAction);
        event.accept();
    } else {
        event.ignore();
    }
}

void DropTarget::drop(QDropEvent& event) {
    if (!takes(event)) {
        event.ignore();
        return;
    }
    event.setDropAction(Qt::CopyAction);
    event.accept();
    QMetaObject::invokeMethod(
        this, [this, dropped = droppedFile(*event.mimeData())] { dropped_(dropped); },
        Qt::QueuedConnection);
}

bool DropTarget::eventFilter(QObject*, QEvent* event) {
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
        // Dropped text stays the box's own.
        if (!static_cast<QDropEvent*>(event)->mimeData()->hasUrls()) {
            return false;
        }
        if (event->type() == QEvent::Drop) {
            drop(static_cast<QDropEvent&>(*event));
        } else {
            answerDrag(static_cast<QDragMoveEvent&>(*event));
        }
        return true;
    default:
        return false;
    }
}

} // namespace vornal
