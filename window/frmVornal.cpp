#include "window/frmVornal.h"

#include "chrome/TitleBarPictures.h"
#include "log/HistoryCommands.h"
#include "log/OperationLog.h"
#include "operations/Recovery.h"
#include "platform/ProgramFolder.h"
#include "platform/RunError.h"
#include "tools/Help.h"
#include "tools/modSysInfo.h"
#include "window/FileDisplay.h"
#include "window/FileDrop.h"
#include "window/FileLists.h"
#include "window/FilePaths.h"
#include "window/ImageButton.h"
#include "window/Modes.h"
#include "window/RecoveryDialog.h"
#include "window/TitleBar.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTimer>

namespace vornal {

namespace {

// The elapsed time as the progress panel shows it.
QString elapsedCaption(float seconds) {
    QString text =
        QStringLiteral("Elapsed time: ") + QString::fromStdU16String(elapsedText(seconds));
    if (seconds < 60) {
        text += QLatin1Char('s');
    }
    return text;
}

// The key code the key boxes' handlers see.
int keyCode(const QKeyEvent& event) {
    switch (event.key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return kKeyEnter;
    case Qt::Key_Backspace:
        return kKeyBackspace;
    default:
        return event.key();
    }
}

double screenDpi() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen != nullptr ? screen->logicalDotsPerInch() : 96.0;
}

} // namespace

frmVornal::frmVornal(FormServices services)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint), s_(std::move(services)),
      journal_(journalFolder(s_.programFolder)),
      model_(s_.messages, [this](int ms) { s_.pauser.pause(*this, ms); }), scale_(screenDpi()),
      c_(buildControls(*this, scale_)),
      folders_(*c_.DriveList, *c_.DirList, s_.drives, s_.files, s_.programFolder) {
    setObjectName(QStringLiteral("frmVornal"));
    setAccessibleName(QString::fromStdU16String(kWindowCaption));
    setWindowIcon(TitleBarPictures::windowIcon());
    setFixedSize(scale_.rect(kDesignWindow).size());
    mirror_ = std::make_unique<ControlMirror>(model_, c_);
    model_.addObserver(*mirror_);
    mirror_->onTimerRunning([this](bool running) {
        c_.lblElapsed->setText(elapsedCaption(state_.ElapsedSeconds));
        c_.lblElapsed->setVisible(running);
    });
    titleBar_ = std::make_unique<TitleBar>(
        *this, c_, scale_,
        TitleBar::Commands{[this] { Image2_Click(); }, [this] { Image3_Click(); }});
    // A file dropped on the window, or on its path or key boxes, loads as a file picked in
    // the lists does, with the direction its content asks for, while the window is idle in
    // file mode. Text dropped on a text box stays the box's own.
    drops_ = std::make_unique<DropTarget>(
        [this] { return state_.FileMode && !runner_.running(); },
        [this](const DroppedFile& dropped) {
            if (!dropped.refusal.empty()) {
                model_.FlashFailure(dropped.refusal);
            } else {
                loadFile(model_, s_.files, {dropped.path.toStdU16String(), std::nullopt, true});
            }
        });
    setAcceptDrops(true);
    for (QWidget* box : {static_cast<QWidget*>(c_.filepath), static_cast<QWidget*>(c_.txtPass1),
                         static_cast<QWidget*>(c_.txtPass2), c_.stringpath->viewport()}) {
        box->installEventFilter(drops_.get());
    }
    connectControls();
    folders_.fillDrives();
    folders_.startInCurrentFolder();
}

frmVornal::~frmVornal() = default;

void frmVornal::connectControls() {
    // An option's handler runs whenever the option becomes selected, whatever selected it: a
    // click, the keyboard, assistive technology or the model. The model learns the
    // selection first, unless it made it.
    const auto option = [this](QRadioButton* button, Ctl ctl, void (frmVornal::*handler)()) {
        connect(button, &QAbstractButton::toggled, this, [this, ctl, handler](bool on) {
            if (!on) {
                return;
            }
            if (model_.value(ctl) == 0) {
                selectOption(model_, ctl);
            }
            (this->*handler)();
        });
    };
    option(c_.optFile, Ctl::optFile, &frmVornal::optFile_Click);
    option(c_.optString, Ctl::optString, &frmVornal::optString_Click);
    option(c_.encryption, Ctl::encryption, &frmVornal::encryption_Click);
    option(c_.decryption, Ctl::decryption, &frmVornal::decryption_Click);

    connect(c_.DriveList, &DriveListBox::changed, this, &frmVornal::DriveList_Change);
    connect(c_.DriveList, &DriveListBox::aboutToPopup, this, [this] { folders_.fillDrives(); });
    connect(c_.DirList, &DirListBox::changed, this, &frmVornal::DirList_Change);
    connect(c_.DirList, &DirListBox::clickedInList, this, &frmVornal::DirList_Click);
    connect(c_.FileList, &FileListBox::fileClicked, this, &frmVornal::FileList_Click);
    connect(c_.ElapsedTimer, &QTimer::timeout, this, &frmVornal::ElapsedTimer_Timer);
    connect(c_.Command4, &QPushButton::clicked, this, &frmVornal::Command4_Click);
    connect(c_.btnAbout, &QPushButton::clicked, this, &frmVornal::btnAbout_Click);
    connect(c_.view_file, &QPushButton::clicked, this, &frmVornal::view_file_Click);
    connect(c_.btnHelp, &QPushButton::clicked, this, &frmVornal::btnHelp_Click);
    connect(c_.btnViewHistory, &QPushButton::clicked, this, &frmVornal::btnViewHistory_Click);
    connect(c_.btnClearHis, &QPushButton::clicked, this, &frmVornal::btnClearHis_Click);
    connect(c_.btnSTART, &QPushButton::clicked, this, &frmVornal::btnSTART_Click);
    // While an operation runs the start button still takes the pointer: its "Cancel" asks.
    c_.btnSTART->setProperty(kLiveWhileRunningProperty, true);
    c_.txtPass1->installEventFilter(this);
    c_.txtPass2->installEventFilter(this);
}

bool frmVornal::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const int code = keyCode(static_cast<QKeyEvent&>(*event));
        if (watched == c_.txtPass1) {
            txtPass1_KeyDown(code);
        } else if (watched == c_.txtPass2) {
            return txtPass2_KeyDown(code);
        }
    }
    return false;
}

OperationContext frmVornal::operationContext() {
    return {state_, model_, {s_.files, s_.log, journal_}, runner_, s_.engine};
}

StartCommandHooks frmVornal::startHooks() {
    StartCommandHooks hooks;
    hooks.LockInputs = [this] { LockInputs(model_); };
    hooks.UnlockInputs = [this] { UnlockInputs(model_); };
    hooks.run = [this](Operation op, OperationContext& ctx) {
        op(ctx);
        if (endRequested_) {
            // The run has put its file back; the exit command does not run.
            s_.processExit.exitNow();
            return false;
        }
        if (sessionEnding_) {
            Command4_Click(); // the run has put its file back
            return false;
        }
        if (closePending_) {
            closePending_ = false;
            QTimer::singleShot(0, this, [this] { close(); });
        }
        // A file an interrupted run left, or that this run could not put back.
        if (!state_.CurrentPath.empty()) {
            offerRecovery(pathFromText(state_.CurrentPath));
        }
        return true;
    };
    hooks.endProgram = [this] {
        endRequested_ = true;
        if (runner_.running()) {
            runner_.requestCancel(); // the program ends once the file is back
        } else {
            s_.processExit.exitNow();
        }
    };
    return hooks;
}

void frmVornal::btnSTART_Click() {
    // Until the run has found its file there is nothing to cancel.
    if (runner_.running() && model_.text(Ctl::btnSTART) != u"Cancel") {
        return;
    }
    OperationContext ctx = operationContext();
    vornal::btnSTART_Click(ctx, startHooks());
}

void frmVornal::txtPass1_KeyDown(int code) {
    OperationContext ctx = operationContext();
    vornal::txtPass1_KeyDown(ctx, startHooks(), code);
}

bool frmVornal::txtPass2_KeyDown(int code) {
    OperationContext ctx = operationContext();
    return vornal::txtPass2_KeyDown(ctx, startHooks(), code);
}

void frmVornal::Image2_Click() {
    if (model_.text(Ctl::btnSTART) == u"Cancel") {
        btnSTART_Click();
    } else {
        close();
    }
}

void frmVornal::Image3_Click() {
    setWindowState(windowState() | Qt::WindowMinimized);
}

void frmVornal::btnAbout_Click() {
    if (s_.tools) {
        vornal::btnAbout_Click(model_, s_.tools->desktop);
    }
}

void frmVornal::view_file_Click() {
    if (s_.tools) {
        vornal::view_file_Click(model_, s_.tools->desktop);
    }
}

void frmVornal::btnHelp_Click() {
    if (s_.tools) {
        vornal::btnHelp_Click(model_, s_.tools->registry, s_.tools->launcher,
                              {[this] { LockInputs(model_); }, [this] { UnlockInputs(model_); }});
    }
}

void frmVornal::btnViewHistory_Click() {
    if (s_.tools) {
        vornal::btnViewHistory_Click(model_, s_.tools->log, s_.tools->shell);
    }
}

void frmVornal::btnClearHis_Click() {
    if (s_.tools) {
        vornal::btnClearHis_Click(model_, s_.tools->log);
    }
}

void frmVornal::Form_Load(const std::vector<std::u16string>& arguments) {
    runFirstStart(s_.settings, s_.files, s_.programFolder, s_.firstRun);
    state_.FileMode = true;
    CenterWindow();
    model_.SetStatus(u"Ready.");
    setWindowTitle(QString::fromStdU16String(kWindowCaption));
    ArrangeTitleBar();
    RestorePreviousFolder();
    show();
    offerRecovery();
    applyCommandLine(arguments);
}

void frmVornal::offerRecovery(const std::string& path) {
    std::vector<RunRecord> runs =
        path.empty() ? journal_.records() : recordsFor(s_.files, journal_, path);
    std::erase_if(runs, [this](const RunRecord& r) { return runIsLive(s_.files, r); });
    if (runs.empty()) {
        return;
    }
    auto* dialog = new RecoveryDialog(s_.files, journal_, std::move(runs), this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->open();
}

void frmVornal::applyCommandLine(const std::vector<std::u16string>& arguments) {
    const std::optional<StartupFile> file =
        parseCommandLine(arguments, [this](const std::u16string& path) {
            return FileExists(s_.files, pathFromText(path));
        });
    if (file) {
        loadFile(model_, s_.files, *file);
    }
}

void frmVornal::optFile_Click() {
    vornal::optFile_Click(model_, state_);
}

void frmVornal::optString_Click() {
    vornal::optString_Click(model_, state_);
}

void frmVornal::encryption_Click() {
    vornal::encryption_Click(model_);
}

void frmVornal::decryption_Click() {
    vornal::decryption_Click(model_);
}

void frmVornal::DriveList_Change() {
    if (!folders_.showChosenDrive()) {
        model_.FlashFailure(u"Selected device/resource (" +
                            c_.DriveList->currentText().toStdU16String() + u") is unavailable.");
        folders_.selectShownDrive();
    }
}

void frmVornal::DirList_Change() {
    folders_.rememberFolder();
    model_.setText(Ctl::DirList, c_.DirList->path().toStdU16String());
    c_.FileList->setPath(c_.DirList->path());
}

void frmVornal::DirList_Click() {
    c_.FileList->setPath(c_.DirList->path());
}

void frmVornal::FileList_Click() {
    const QString name = c_.FileList->selectedName();
    if (name.isEmpty()) {
        return;
    }
    model_.setText(Ctl::filepath,
                   composeFilePath(c_.FileList->path().toStdU16String(), name.toStdU16String()));
    showFileSizeOrDenied(model_, s_.files);
}

void frmVornal::dragEnterEvent(QDragEnterEvent* event) {
    drops_->answerDrag(*event);
}

void frmVornal::dropEvent(QDropEvent* event) {
    drops_->drop(*event);
}

void frmVornal::ElapsedTimer_Timer() {
    vornal::ElapsedTimer_Timer(state_, model_);
    c_.lblElapsed->setText(elapsedCaption(state_.ElapsedSeconds));
}

void frmVornal::RestorePreviousFolder() {
    folders_.restoreSavedFolder();
}

void frmVornal::Command4_Click() {
    try {
        folders_.saveFolder();
    } catch (const RunError&) {
        // The program ends all the same.
    }
    s_.processExit.exitNow();
}

void frmVornal::endSession() {
    if (!runner_.running()) {
        Command4_Click();
        return;
    }
    sessionEnding_ = true;
    runner_.requestCancel();
    // A question open now must not hold the run: closing it answers as Escape would.
    if (QWidget* box = QApplication::activeModalWidget()) {
        box->close();
    }
}

void frmVornal::closeEvent(QCloseEvent* event) {
    if (runner_.running()) {
        // A run is never cut off by a close: it asks first, or the close waits for it.
        event->ignore();
        if (model_.text(Ctl::btnSTART) == u"Cancel") {
            btnSTART_Click();
        } else {
            closePending_ = true;
        }
        return;
    }
    Command4_Click();
    event->accept();
}

void frmVornal::CenterWindow() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect area = screen != nullptr ? screen->geometry() : QRect(0, 0, 1024, 768);
    const TwipRect centred =
        vornal::CenterWindow(geometryTwips_, static_cast<float>(scale_.twips(area.width())),
                             static_cast<float>(scale_.twips(area.height())));
    geometryTwips_ = centred;
    move(area.topLeft() + QPoint(scale_.px(centred.left), scale_.px(centred.top)));
}

void frmVornal::ArrangeTitleBar() {
    const TitleBarParts parts = titleBar_->arrange(geometryTwips_);
    geometryTwips_ = parts.window;
    setFixedSize(scale_.rect(parts.window).size());
    border_ = scale_.rect(parts.border);
    update();
}

void frmVornal::paintEvent(QPaintEvent*) {
    if (border_.isNull()) {
        return;
    }
    QPainter p(this);
    // A 2-pixel line inside the border rectangle.
    p.setPen(QPen(QColor(0x0c, 0x26, 0x4d), 2));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(border_).adjusted(1, 1, -1, -1));
}

} // namespace vornal
