#include "window/ControlMirror.h"

#include "window/FileLists.h"
#include "window/ImageButton.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <cmath>

namespace vornal {

namespace {

constexpr int kStringLimit = 10000;

QString qt(const std::u16string& text) {
    return QString::fromStdU16String(text);
}

void setRole(QWidget* w, QPalette::ColorRole role, const QColor& colour) {
    QPalette palette = w->palette();
    palette.setColor(role, colour);
    w->setPalette(palette);
}

// A label's text as a name for the box below it: without the closing colon.
QString nameFromLabel(QString text) {
    text = text.trimmed();
    if (text.endsWith(QLatin1Char(':'))) {
        text.chop(1);
    }
    return text;
}

} // namespace

ControlMirror::ControlMirror(WindowModel& model, Controls& controls) : model_(model), c_(controls) {
    for (std::size_t i = 0; i < static_cast<std::size_t>(Ctl::Count); ++i) {
        const auto c = static_cast<Ctl>(i);
        for (Prop p : {Prop::Text, Prop::Enabled, Prop::Visible, Prop::Back, Prop::Fore, Prop::Max,
                       Prop::Value, Prop::Interval}) {
            changed(c, p);
        }
    }
    connectEdits();
}

ControlMirror::~ControlMirror() {
    if (busy_) {
        QApplication::restoreOverrideCursor();
    }
}

QWidget* ControlMirror::widget(Ctl c) const {
    switch (c) {
    case Ctl::filepath:
        return c_.filepath;
    case Ctl::stringpath:
        return c_.stringpath;
    case Ctl::txtPass1:
        return c_.txtPass1;
    case Ctl::txtPass2:
        return c_.txtPass2;
    case Ctl::btnSTART:
        return c_.btnSTART;
    case Ctl::view_file:
        return c_.view_file;
    case Ctl::Command4:
        return c_.Command4;
    case Ctl::btnAbout:
        return c_.btnAbout;
    case Ctl::btnHelp:
        return c_.btnHelp;
    case Ctl::btnViewHistory:
        return c_.btnViewHistory;
    case Ctl::btnClearHis:
        return c_.btnClearHis;
    case Ctl::ProgressBar2:
        return c_.ProgressBar2;
    case Ctl::pgKey:
        return c_.pgKey;
    case Ctl::StatusBox:
        return c_.StatusBox;
    case Ctl::Status:
        return c_.Status;
    case Ctl::labelFileSize:
        return c_.labelFileSize;
    case Ctl::Label3:
        return c_.Label3;
    case Ctl::Label4:
        return c_.Label4;
    case Ctl::optFile:
        return c_.optFile;
    case Ctl::optString:
        return c_.optString;
    case Ctl::encryption:
        return c_.encryption;
    case Ctl::decryption:
        return c_.decryption;
    case Ctl::Frame3:
        return c_.Frame3;
    case Ctl::Frame4:
        return c_.Frame4;
    case Ctl::DriveList:
        return c_.DriveList;
    case Ctl::DirList:
        return c_.DirList;
    case Ctl::FileList:
        return c_.FileList;
    case Ctl::ElapsedTimer:
    case Ctl::Count:
        break;
    }
    return nullptr;
}

QColor ControlMirror::colour(Colour c) {
    switch (c) {
    case Colour::Neutral:
        return {192, 192, 192};
    case Colour::Failure:
        return {255, 0, 0};
    case Colour::Success:
        return {0, 150, 0};
    case Colour::Light:
        return {255, 255, 255};
    case Colour::Dark:
        return {0, 0, 0};
    case Colour::ButtonFace:
        break;
    }
    return QApplication::palette().color(QPalette::Active, QPalette::Button);
}

void ControlMirror::changed(Ctl c, Prop p) {
    // A handler run by what is shown here may change the model again.
    const bool outer = applying_;
    applying_ = true;
    switch (p) {
    case Prop::Text:
        showText(c);
        break;
    case Prop::Enabled:
    case Prop::Interval:
        if (c == Ctl::ElapsedTimer) {
            syncTimer();
        } else if (QWidget* w = widget(c); w && p == Prop::Enabled) {
            w->setEnabled(model_.state(c).enabled);
        }
        break;
    case Prop::Visible:
        if (QWidget* w = widget(c)) {
            w->setVisible(model_.state(c).visible);
        }
        break;
    case Prop::Back:
    case Prop::Fore:
        showColour(c, p);
        break;
    case Prop::Value:
    case Prop::Max:
        showNumber(c);
        break;
    }
    applying_ = outer;
}

void ControlMirror::showText(Ctl c) {
    const QString text = qt(model_.state(c).text);
    QWidget* w = widget(c);
    if (auto* edit = qobject_cast<QLineEdit*>(w)) {
        if (edit->text() != text) {
            edit->setText(text);
        }
    } else if (auto* box = qobject_cast<QPlainTextEdit*>(w)) {
        if (box->toPlainText() != text) {
            box->setPlainText(text);
        }
    } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
        button->setText(text);
    } else if (auto* label = qobject_cast<QLabel*>(w)) {
        label->setText(text);
        if (c == Ctl::Status) {
            label->adjustSize(); // the status text sizes itself to its text
        }
        if (c == Ctl::Label3) {
            c_.stringpath->setAccessibleName(nameFromLabel(text));
        }
    } else if (auto* frame = qobject_cast<QGroupBox*>(w)) {
        frame->setTitle(text);
    }
}

void ControlMirror::showColour(Ctl c, Prop p) {
    QWidget* w = widget(c);
    if (w == nullptr) {
        return;
    }
    const ControlState s = model_.state(c);
    switch (c) {
    case Ctl::StatusBox:
        if (p == Prop::Back) {
            setRole(w, QPalette::Window, colour(s.back));
        }
        break;
    case Ctl::Status:
        if (p == Prop::Fore) {
            setRole(w, QPalette::WindowText, colour(s.fore));
        }
        break;
    case Ctl::filepath:
    case Ctl::stringpath:
    case Ctl::txtPass1:
    case Ctl::txtPass2:
    case Ctl::DriveList:
    case Ctl::DirList:
    case Ctl::FileList:
        setRole(w, p == Prop::Back ? QPalette::Base : QPalette::Text,
                colour(p == Prop::Back ? s.back : s.fore));
        break;
    default:
        break; // the other controls keep the look of their kind
    }
}

void ControlMirror::showNumber(Ctl c) {
    const ControlState s = model_.state(c);
    if (auto* bar = qobject_cast<QProgressBar*>(widget(c))) {
        const double fraction = s.max > 0 ? std::clamp(s.value / s.max, 0.0, 1.0) : 0.0;
        bar->setValue(static_cast<int>(std::lround(fraction * bar->maximum())));
    } else if (auto* option = qobject_cast<QRadioButton*>(widget(c))) {
        const bool on = s.value != 0;
        if (option->isChecked() != on) {
            // An exclusive option cannot be cleared by itself; the model may clear it first.
            option->setAutoExclusive(false);
            option->setChecked(on);
            option->setAutoExclusive(true);
        }
    }
}

void ControlMirror::syncTimer() {
    const ControlState s = model_.state(Ctl::ElapsedTimer);
    QTimer* timer = c_.ElapsedTimer;
    const bool run = s.enabled && s.interval > 0;
    const bool wasRunning = timer->isActive();
    if (run && (!wasRunning || timer->interval() != s.interval)) {
        timer->start(s.interval);
    } else if (!run) {
        timer->stop();
    }
    if (run != wasRunning && timerListener_) {
        timerListener_(run);
    }
}

void ControlMirror::pointerChanged(Pointer p) {
    const bool busy = p == Pointer::Busy;
    if (busy && !busy_) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else if (!busy && busy_) {
        QApplication::restoreOverrideCursor();
    }
    busy_ = busy;
}

void ControlMirror::focusChanged(Ctl c) {
    if (QWidget* w = widget(c)) {
        w->setFocus(Qt::OtherFocusReason);
    }
}

void ControlMirror::connectEdits() {
    for (auto [c, edit] :
         {std::pair{Ctl::filepath, c_.filepath}, std::pair{Ctl::txtPass1, c_.txtPass1},
          std::pair{Ctl::txtPass2, c_.txtPass2}}) {
        // Whatever changed the text (typing, an input method, assistive technology, code),
        // the model holds what the box shows; what the model itself shows is already there.
        QObject::connect(edit, &QLineEdit::textChanged, edit, [this, c = c](const QString& text) {
            if (!applying_) {
                model_.setText(c, text.toStdU16String());
            }
        });
    }
    QObject::connect(c_.stringpath, &QPlainTextEdit::textChanged, c_.stringpath, [this] {
        if (applying_) {
            return;
        }
        QString text = c_.stringpath->toPlainText();
        if (text.size() > kStringLimit) {
            // Typing and pasting stop at the limit; text the program puts there does not.
            text.truncate(kStringLimit);
            c_.stringpath->setPlainText(text);
            c_.stringpath->moveCursor(QTextCursor::End);
            return;
        }
        model_.setText(Ctl::stringpath, text.toStdU16String());
    });
}

} // namespace vornal
