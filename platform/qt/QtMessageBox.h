#pragma once

#include "platform/MessageBox.h"

class QWidget;

namespace vornal {

// Modal message boxes over a parent window.
class QtMessageBox : public MessageBoxHook {
public:
    explicit QtMessageBox(QWidget* parent = nullptr) : parent_(parent) {}
    void setParent(QWidget* parent) { parent_ = parent; }

    MsgAnswer messageBox(const std::u16string& prompt, const std::u16string& title,
                         MsgButtons buttons, MsgIcon icon) override;

private:
    QWidget* parent_;
};

} // namespace vornal
