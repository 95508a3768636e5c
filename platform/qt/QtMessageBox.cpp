#include "platform/qt/QtMessageBox.h"

#include <QMessageBox>

namespace vornal {

namespace {

QMessageBox::Icon iconOf(MsgIcon icon) {
    switch (icon) {
    case MsgIcon::Critical:
        return QMessageBox::Critical;
    case MsgIcon::Exclamation:
        return QMessageBox::Warning;
    case MsgIcon::Information:
        return QMessageBox::Information;
    case MsgIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

} // namespace

MsgAnswer QtMessageBox::messageBox(const std::u16string& prompt, const std::u16string& title,
                                   MsgButtons buttons, MsgIcon icon) {
    QMessageBox box(
        iconOf(icon), QString::fromStdU16String(title), QString::fromStdU16String(prompt),
        buttons == MsgButtons::OkCancel ? QMessageBox::Ok | QMessageBox::Cancel : QMessageBox::Ok,
        parent_);
    box.setDefaultButton(QMessageBox::Ok);
    return box.exec() == QMessageBox::Ok ? MsgAnswer::Ok : MsgAnswer::Cancel;
}

} // namespace vornal
