#include "window/RecoveryDialog.h"

#include "operations/Recovery.h"
#include "operations/RunMessages.h"
#include "platform/Text.h"
#include "window/LocalPaths.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace vornal {

namespace {

QString outcomeText(const RecoveryResult& r) {
    switch (r.outcome) {
    case Recovered::PutBack:
        return QStringLiteral("put back");
    case Recovered::NothingToDo:
        return QStringLiteral("nothing needed putting back");
    case Recovered::Busy:
        return QString::fromStdU16String(kBusyMessage);
    case Recovered::Failed:
        break;
    }
    return QStringLiteral("could not be put back: ") + QString::fromStdString(r.detail);
}

} // namespace

RecoveryDialog::RecoveryDialog(FileSystem& files, RunJournal& journal, std::vector<RunRecord> runs,
                               QWidget* parent)
    : QDialog(parent), files_(files), journal_(journal), runs_(std::move(runs)),
      list_(new QListWidget(this)), putBack_(new QPushButton(QStringLiteral("Put back"), this)),
      later_(new QPushButton(QStringLiteral("Later"), this)) {
    setObjectName(QStringLiteral("RecoveryDialog"));
    setWindowTitle(QStringLiteral("Vornal Encryption"));
    auto* text = new QLabel(QStringLiteral("These files were left unfinished when Vornal "
                                           "Encryption was stopped during its work. Put "
                                           "the original files back?"),
                            this);
    text->setWordWrap(true);
    for (const RunRecord& run : runs_) {
        auto* item = new QListWidgetItem(
            decodePath(run.target) +
                (run.encrypt ? QStringLiteral(" (encrypting)") : QStringLiteral(" (decrypting)")),
            list_);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Checked);
    }
    putBack_->setObjectName(QStringLiteral("PutBack"));
    later_->setObjectName(QStringLiteral("Later"));
    putBack_->setDefault(true);
    connect(putBack_, &QPushButton::clicked, this, &RecoveryDialog::putBack);
    connect(later_, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(putBack_);
    buttons->addWidget(later_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addWidget(list_);
    layout->addLayout(buttons);
    resize(520, 240);
}

void RecoveryDialog::putBack() {
    for (std::size_t i = 0; i < runs_.size(); ++i) {
        QListWidgetItem* item = list_->item(static_cast<int>(i));
        if (item->checkState() != Qt::Checked) {
            continue;
        }
        const RecoveryResult result = recoverRun(files_, journal_, runs_[i]);
        item->setText(decodePath(runs_[i].target) + QStringLiteral(": ") + outcomeText(result));
        item->setFlags(item->flags() & ~Qt::ItemIsUserCheckable);
        item->setData(Qt::CheckStateRole, QVariant());
    }
    putBack_->setEnabled(false);
    later_->setText(QStringLiteral("Close"));
}

} // namespace vornal
