#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <string>

class QDragMoveEvent;
class QDropEvent;
class QMimeData;

namespace vornal {

// What the window says when it does not take what was dropped on it.
inline constexpr const char16_t* kDropFolderMessage = u"Please drop a file, not a folder.";
inline constexpr const char16_t* kDropSeveralMessage = u"Please drop one file at a time.";
inline constexpr const char16_t* kDropRemoteMessage =
    u"Please drop a file stored on this computer.";

// What a drop of places named by URL gives the window: the path of the one local file it
// carries, or why it is refused.
struct DroppedFile {
    QString path;
    std::u16string refusal; // empty when the path is taken
};
[[nodiscard]] DroppedFile droppedFile(const QMimeData& data);

// Takes drops of files (anything named by URL) on the window, and on the text boxes it
// watches, where a dropped file is not text to insert. A drop is taken while taking()
// answers true, and handed on once it is over, so that a message flashing does not hold up
// the program it came from. The window takes a path and moves nothing: a drop is a copy,
// never a move that its source would finish by deleting its file.
class DropTarget : public QObject {
public:
    DropTarget(std::function<bool()> taking, std::function<void(const DroppedFile&)> dropped)
        : taking_(std::move(taking)), dropped_(std::move(dropped)) {}

    // Accepts a drag the window takes, and refuses any other.
    void answerDrag(QDragMoveEvent& event) const;
    void drop(QDropEvent& event);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    [[nodiscard]] bool takes(const QDropEvent& event) const;

    std::function<bool()> taking_;
    std::function<void(const DroppedFile&)> dropped_;
};

} // namespace vornal
