#pragma once

#include "platform/Drives.h"

#include <QComboBox>
#include <QListWidget>
#include <QTreeWidget>
#include <optional>
#include <vector>

namespace vornal {

// The drive list: one entry per drive. Changed() is the user choosing another entry;
// entries set by the program change nothing else.
class DriveListBox : public QComboBox {
    Q_OBJECT
public:
    explicit DriveListBox(QWidget* parent = nullptr);

    // Fills the list, keeping the current drive when it is still there.
    void setDrives(std::vector<Drive> drives);
    [[nodiscard]] const std::vector<Drive>& drives() const noexcept { return drives_; }
    [[nodiscard]] std::optional<Drive> currentDrive() const;
    // Makes index the current entry without telling anyone.
    void selectQuietly(std::size_t index);
    void showPopup() override;

signals:
    void changed();
    // The list is about to open: a chance to bring its entries up to date.
    void aboutToPopup();

private:
    std::vector<Drive> drives_;
    int current_ = -1;
};

// The folder list: the folders from its root down to the current folder, and the
// folders in it. Opening an entry (double-click or Enter) makes it the current folder; a
// single click only selects it.
class DirListBox : public QTreeWidget {
    Q_OBJECT
public:
    explicit DirListBox(QWidget* parent = nullptr);

    // Shows folder, which lies under root; answers false and changes nothing when the
    // folder cannot be read. Changed() follows when the current folder is another one.
    bool setPath(const QString& folder, const QString& root);
    [[nodiscard]] const QString& path() const noexcept { return path_; }
    [[nodiscard]] const QString& root() const noexcept { return root_; }

signals:
    void changed();
    void clickedInList();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void drawBranches(QPainter* painter, const QRect& rect,
                      const QModelIndex& index) const override;

private:
    void open(QTreeWidgetItem* item);

    QString path_;
    QString root_;
};

// The file list: the files of one folder, hidden files left out. FileClicked() is a click
// on a file or a move onto one with the keyboard.
class FileListBox : public QListWidget {
    Q_OBJECT
public:
    explicit FileListBox(QWidget* parent = nullptr);

    // Shows the files of folder, read again now.
    void setPath(const QString& folder);
    [[nodiscard]] const QString& path() const noexcept { return path_; }
    // The selected file's name, without folder; empty when none is selected.
    [[nodiscard]] QString selectedName() const;

signals:
    void fileClicked();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QString path_;
    bool byKeyboard_ = false;
};

} // namespace vornal
