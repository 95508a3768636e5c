#include "window/FileLists.h"

#include "window/LocalPaths.h"

#include <QDir>
#include <QKeyEvent>
#include <QStyle>

namespace vornal {

namespace {

constexpr int kPathRole = Qt::UserRole;

} // namespace

DriveListBox::DriveListBox(QWidget* parent) : QComboBox(parent) {
    connect(this, &QComboBox::activated, this, [this](int index) {
        if (index != current_) {
            current_ = index;
            emit changed();
        }
    });
}

void DriveListBox::setDrives(std::vector<Drive> drives) {
    const std::optional<Drive> before = currentDrive();
    drives_ = std::move(drives);
    const QSignalBlocker quiet(this);
    clear();
    current_ = -1;
    for (std::size_t i = 0; i < drives_.size(); ++i) {
        addItem(decodePath(driveEntryText(drives_[i])));
        if (before && drives_[i].root == before->root) {
            current_ = static_cast<int>(i);
        }
    }
    setCurrentIndex(current_);
}

std::optional<Drive> DriveListBox::currentDrive() const {
    const int index = currentIndex();
    if (index < 0 || static_cast<std::size_t>(index) >= drives_.size()) {
        return std::nullopt;
    }
    return drives_[static_cast<std::size_t>(index)];
}

void DriveListBox::selectQuietly(std::size_t index) {
    const QSignalBlocker quiet(this);
    current_ = static_cast<int>(index);
    setCurrentIndex(current_);
}

void DriveListBox::showPopup() {
    emit aboutToPopup();
    QComboBox::showPopup();
}

DirListBox::DirListBox(QWidget* parent) : QTreeWidget(parent) {
    setHeaderHidden(true);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setExpandsOnDoubleClick(false);
    setIndentation(12);
    connect(this, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item) { open(item); });
    connect(this, &QTreeWidget::itemClicked, this, [this] { emit clickedInList(); });
}

bool DirListBox::setPath(const QString& folder, const QString& root) {
    const QDir dir(folder);
    if (!dir.exists() || !dir.isReadable()) {
        return false;
    }
    const QString path = QDir::cleanPath(dir.absolutePath());
    QString top = QDir::cleanPath(root);
    if (top.isEmpty() || !(path == top || path.startsWith(top.endsWith('/') ? top : top + '/'))) {
        top = QStringLiteral("/");
    }

    clear();
    const QIcon openIcon = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closedIcon = style()->standardIcon(QStyle::SP_DirClosedIcon);
    auto* item = new QTreeWidgetItem(this, QStringList(top));
    item->setIcon(0, openIcon);
    item->setData(0, kPathRole, top);
    QString walked = top;
    const QString below = path.mid(top.size());
    for (const QString& name : below.split('/', Qt::SkipEmptyParts)) {
        walked = walked.endsWith('/') ? walked + name : walked + '/' + name;
        item = new QTreeWidgetItem(item, QStringList(name));
        item->setIcon(0, openIcon);
        item->setData(0, kPathRole, walked);
    }
    QTreeWidgetItem* current = item;
    for (const QString& name :
         dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase)) {
        auto* child = new QTreeWidgetItem(current, QStringList(name));
        child->setIcon(0, closedIcon);
        child->setData(0, kPathRole, walked.endsWith('/') ? walked + name : walked + '/' + name);
    }
    expandAll();
    setCurrentItem(current);
    scrollToItem(current);

    root_ = top;
    if (path != path_) {
        path_ = path;
        emit changed();
    }
    return true;
}

void DirListBox::drawBranches(QPainter*, const QRect&, const QModelIndex&) const {
    // Every folder shown is open already: no expand arrows.
}

void DirListBox::keyPressEvent(QKeyEvent* event) {
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && currentItem()) {
        open(currentItem());
        return;
    }
    QTreeWidget::keyPressEvent(event);
}

void DirListBox::open(QTreeWidgetItem* item) {
    if (item != nullptr) {
        // A folder that cannot be read stays closed.
        (void)setPath(item->data(0, kPathRole).toString(), root_);
    }
}

FileListBox::FileListBox(QWidget* parent) : QListWidget(parent) {
    connect(this, &QListWidget::itemClicked, this, [this] { emit fileClicked(); });
    connect(this, &QListWidget::currentRowChanged, this, [this] {
        if (byKeyboard_) {
            emit fileClicked();
        }
    });
}

void FileListBox::setPath(const QString& folder) {
    path_ = folder;
    clear();
    addItems(
        QDir(folder).entryList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase));
}

QString FileListBox::selectedName() const {
    const QListWidgetItem* item = currentItem();
    return item != nullptr && item->isSelected() ? item->text() : QString();
}

void FileListBox::keyPressEvent(QKeyEvent* event) {
    byKeyboard_ = true;
    QListWidget::keyPressEvent(event);
    byKeyboard_ = false;
}

} // namespace vornal
