#pragma once

#include "platform/FileSystem.h"
#include "platform/RunJournal.h"

#include <QDialog>
#include <vector>

class QListWidget;
class QPushButton;

namespace vornal {

// Lists the runs that were interrupted before they ended and offers to put each file's
// original back; each row then tells what came of it.
class RecoveryDialog : public QDialog {
    Q_OBJECT
public:
    RecoveryDialog(FileSystem& files, RunJournal& journal, std::vector<RunRecord> runs,
                   QWidget* parent);

    // Puts back the files whose rows are checked.
    void putBack();

private:
    FileSystem& files_;
    RunJournal& journal_;
    std::vector<RunRecord> runs_;
    QListWidget* list_;
    QPushButton* putBack_;
    QPushButton* later_;
};

} // namespace vornal
