#include "window/frmVornal.h"

#include "chrome/GeneralControlModule.h"
#include "chrome/ImageElement.h"
#include "chrome/TitleBarPictures.h"
#include "log/HistoryCommands.h"
#include "log/OperationLog.h"
#include "operations/Recovery.h"
#include "platform/ProgramFolder.h"
#include "platform/RunError.h"
#include "tools/Help.h"
#include "tools/modSysInfo.h"
#include "window/FileDisplay.h"
#include "window/FileLists.h"
#include "window/FilePaths.h"
#include "window/ImageButton.h"
#include "window/Modes.h"
#include "window/RecoveryDialog.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTimer>
#include <QWindow>

namespace vornal {

namespace {

QString decodePath(const std::string& path) {
    return QFile::decodeName(QByteArray::fromStdString(path));
}

std::string encodePath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

// The elapsed time as the progress panel shows it.
QString elapsedCaption(float seconds) {
    QString text =
        QStringLiteral("Elapsed time: ") + QString::fromStdU16String(elapsedText(seconds));
    if (seconds < 60) {
        text += QLatin1Char('s');
    }
    return text;
}

// The mouse buttons held, as the title bar's handlers count them: 1 left, 2 right, 4 middle.
std::int16_t heldButtons(const QMouseEvent& event) {
    const Qt::MouseButtons held = event.buttons();
    return static_cast<std::int16_t>((held.testFlag(Qt::LeftButton) ? 1 : 0) |
                                     (held.testFlag(Qt::RightButton) ? 2 : 0) |
                                     (held.testFlag(Qt::MiddleButton) ? 4 : 0));
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

// Wayland does not let a window place itself; there the compositor moves it on request.
bool windowMovesItself() {
    return !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
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
      c_(buildControls(*this, scale_)) {
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
    setMouseTracking(true);
    connectControls();
    connectTitleBar();
    fillDrives();
    startInCurrentFolder();
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
    connect(c_.DriveList, &DriveListBox::aboutToPopup, this, &frmVornal::fillDrives);
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
    c_.txtPass1->installEventFilter(this);
    c_.txtPass2->installEventFilter(this);
}

void frmVornal::connectTitleBar() {
    using namespace GeneralControlModule;
    // While an operation runs these still take the pointer, so that the window can be
    // moved, minimised and asked to cancel.
    for (QWidget* live : {static_cast<QWidget*>(this), static_cast<QWidget*>(c_.Image1),
                          static_cast<QWidget*>(c_.Label7), static_cast<QWidget*>(c_.Image2),
                          static_cast<QWidget*>(c_.Image3), static_cast<QWidget*>(c_.TitlebarIco),
                          static_cast<QWidget*>(c_.Image8), static_cast<QWidget*>(c_.btnSTART)}) {
        live->setProperty(kLiveWhileRunningProperty, true);
    }
    connect(c_.Image1, &ImageElement::pressed, this,
            [this](QMouseEvent* e) { dragHandlePressed(*e); });
    connect(c_.Image1, &ImageElement::moved, this, [this](QMouseEvent* e) {
        dragHandleMoved(*e);
        hover(kOverNeither); // which is also all the window's own pointer-move handling does
    });
    c_.Label7->installEventFilter(this);

    // The pressed picture is in while any button is down; a left click acts.
    const auto button = [this](ImageElement* image, ImageElement* pressedPicture,
                               std::int16_t hoverMode, void (frmVornal::*click)()) {
        connect(image, &ImageElement::pressed, this, [this, image, pressedPicture] {
            SwapPictures(*image, *pressedPicture, *c_.Image7);
        });
        connect(image, &ImageElement::released, this,
                [this, image, pressedPicture, click](QMouseEvent* e) {
                    SwapPictures(*image, *pressedPicture, *c_.Image7);
                    if (e->button() == Qt::LeftButton &&
                        image->rect().contains(e->position().toPoint())) {
                        (this->*click)();
                    }
                });
        connect(image, &ImageElement::moved, this, [this, hoverMode] { hover(hoverMode); });
    };
    button(c_.Image2, c_.Image6, kOverClose, &frmVornal::Image2_Click);
    button(c_.Image3, c_.Image5, kOverMinimize, &frmVornal::Image3_Click);
    connect(c_.Image8, &ImageElement::moved, this, [this] { hover(kOverNeither); });
    connect(c_.TitlebarIco, &ImageElement::doubleClicked, this, &frmVornal::Image2_Click);
}

void frmVornal::hover(std::int16_t mode) {
    GeneralControlModule::UpdateHoverImages(titleBar_, mode, *this);
}

void frmVornal::dragHandlePressed(const QMouseEvent& event) {
    const QPointF at = event.position();
    GeneralControlModule::StartDrag(titleBar_, static_cast<float>(scale_.twips(at.x())),
                                    static_cast<float>(scale_.twips(at.y())));
    if (event.button() == Qt::LeftButton && !windowMovesItself() && windowHandle() != nullptr) {
        windowHandle()->startSystemMove();
    }
}

void frmVornal::dragHandleMoved(const QMouseEvent& event) {
    const QPointF at = event.position();
    GeneralControlModule::WindowPosition position{static_cast<float>(scale_.twips(x())),
                                                  static_cast<float>(scale_.twips(y()))};
    const GeneralControlModule::WindowPosition before = position;
    GeneralControlModule::DragWindow(titleBar_, position, static_cast<float>(scale_.twips(at.x())),
                                     static_cast<float>(scale_.twips(at.y())), heldButtons(event));
    if (position.left != before.left || position.top != before.top) {
        move(scale_.px(position.left), scale_.px(position.top));
    }
}

bool frmVornal::eventFilter(QObject* watched, QEvent* event) {
    if (watched == c_.Label7) {
        if (event->type() == QEvent::MouseButtonPress) {
            dragHandlePressed(static_cast<QMouseEvent&>(*event));
        } else if (event->type() == QEvent::MouseMove) {
            dragHandleMoved(static_cast<QMouseEvent&>(*event));
        }
        return false;
    }
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

void frmVornal::mouseMoveEvent(QMouseEvent* event) {
    // Moves over other controls reach here too; only the window's own area clears.
    if (childAt(event->position().toPoint()) == nullptr) {
        hover(GeneralControlModule::kOverNeither);
    }
}

void frmVornal::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    hover(GeneralControlModule::kOverNeither);
}

void frmVornal::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    // Minimising and restoring count as resizes.
    if (event->type() == QEvent::WindowStateChange) {
        hover(GeneralControlModule::kOverNeither);
    }
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
    if (!file) {
        return;
    }
    model_.setText(Ctl::filepath, file->path);
    const std::string path = pathFromText(typedPath(s_.files, file->path));
    if (!FileExists(s_.files, path)) {
        model_.FlashFailure(u"The file you selected could not be found.");
        return;
    }
    std::optional<char16_t> direction = file->direction;
    if (file->plainPath) {
        direction = endsEncrypted(path) ? u'd' : u'e';
    }
    // Selecting an option runs its handler; one already selected shows its texts already.
    if (direction == u'e') {
        selectOption(model_, Ctl::encryption);
    } else if (direction == u'd') {
        selectOption(model_, Ctl::decryption);
    }
    showFileSizeOrDenied();
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

void frmVornal::fillDrives() {
    c_.DriveList->setDrives(s_.drives.drives());
}

void frmVornal::startInCurrentFolder() {
    const QString folder = QDir::currentPath();
    const auto drives = c_.DriveList->drives();
    const auto index = driveOfFolder(drives, encodePath(folder));
    const QString root = index ? decodePath(drives[*index].root) : QStringLiteral("/");
    if (!c_.DirList->setPath(folder, root)) {
        (void)c_.DirList->setPath(root, root);
    }
    selectDriveOf(c_.DirList->path());
}

void frmVornal::selectDriveOf(const QString& folder) {
    const auto& drives = c_.DriveList->drives();
    // The drive the folder list is on, else the one that holds the folder.
    for (std::size_t i = 0; i < drives.size(); ++i) {
        if (decodePath(drives[i].root) == c_.DirList->root()) {
            c_.DriveList->selectQuietly(i);
            return;
        }
    }
    if (const auto index = driveOfFolder(drives, encodePath(folder))) {
        c_.DriveList->selectQuietly(*index);
    }
}

void frmVornal::DriveList_Change() {
    const std::optional<Drive> drive = c_.DriveList->currentDrive();
    if (!drive) {
        return;
    }
    const QString root = decodePath(drive->root);
    const auto remembered = driveFolders_.find(root);
    const bool moved =
        (remembered != driveFolders_.end() && c_.DirList->setPath(remembered->second, root)) ||
        c_.DirList->setPath(root, root);
    if (!moved) {
        model_.FlashFailure(u"Selected device/resource (" +
                            c_.DriveList->currentText().toStdU16String() + u") is unavailable.");
        selectDriveOf(c_.DirList->path());
    }
}

void frmVornal::DirList_Change() {
    driveFolders_[c_.DirList->root()] = c_.DirList->path();
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
    showFileSizeOrDenied();
}

void frmVornal::showFileSizeOrDenied() {
    try {
        ShowFileSize(model_, s_.files);
    } catch (const RunError&) {
        model_.setText(Ctl::labelFileSize, u"File size: N/A");
        model_.FlashFailure(u"Error: Access to file is denied.");
    }
}

void frmVornal::ElapsedTimer_Timer() {
    vornal::ElapsedTimer_Timer(state_, model_);
    c_.lblElapsed->setText(elapsedCaption(state_.ElapsedSeconds));
}

void frmVornal::RestorePreviousFolder() {
    const std::optional<std::string> saved = readPreviousFolder(s_.files, s_.programFolder);
    if (!saved || saved->empty() || saved->front() != '/') {
        return;
    }
    const auto& drives = c_.DriveList->drives();
    const auto index = driveOfFolder(drives, *saved);
    if (!index || !c_.DirList->setPath(decodePath(*saved), decodePath(drives[*index].root))) {
        return; // a folder that is gone leaves the lists as they are
    }
    c_.DriveList->selectQuietly(*index);
}

void frmVornal::Command4_Click() {
    try {
        makePrivateFolder(s_.files, s_.programFolder);
        writePreviousFolder(s_.files, s_.programFolder, encodePath(c_.DirList->path()));
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
    // The title label takes the caption and sizes itself to it first.
    c_.Label7->setText(windowTitle());
    c_.Label7->adjustSize();
    TitleBarParts parts;
    parts.window = geometryTwips_;
    parts.titleLabel = scale_.twipRect(c_.Label7->geometry());
    const TitleBarDesign design;
    parts.strip = design.strip;
    parts.firstButton = design.closeButton;
    parts.secondButton = design.secondButton;
    parts.icon = design.icon;
    vornal::ArrangeTitleBar(parts, kTitleBarHorizontalShift, kTitleBarVerticalShift,
                            kTitleBarTitleOffset);
    geometryTwips_ = parts.window;
    setFixedSize(scale_.rect(parts.window).size());
    border_ = scale_.rect(parts.border);
    c_.Image1->setGeometry(scale_.rect(parts.strip));
    c_.Image2->setGeometry(scale_.rect(parts.firstButton));
    c_.Image3->setGeometry(scale_.rect(parts.secondButton));
    c_.TitlebarIco->setGeometry(scale_.rect(parts.icon));
    c_.TitlebarIco->setPicture(TitleBarPictures::icon());
    c_.Label7->move(scale_.px(parts.titleLabel.left), scale_.px(parts.titleLabel.top));
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
