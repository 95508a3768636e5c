#include "window/frmVornal.h"

#include "chrome/ImageElement.h"
#include "chrome/TitleBarPictures.h"
#include "log/HistoryCommands.h"
#include "log/OperationLog.h"
#include "operations/FileDisplay.h"
#include "platform/RunError.h"
#include "tools/Help.h"
#include "tools/modSysInfo.h"
#include "window/FileLists.h"
#include "window/FilePaths.h"
#include "window/ImageButton.h"
#include "window/Modes.h"

#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTimer>

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

double screenDpi() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen != nullptr ? screen->logicalDotsPerInch() : 96.0;
}

} // namespace

frmVornal::frmVornal(FormServices services)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint), s_(std::move(services)),
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
    connectControls();
    fillDrives();
    startInCurrentFolder();
}

frmVornal::~frmVornal() = default;

void frmVornal::connectControls() {
    // Options: the model learns the selection first, then the option's handler runs.
    const auto option = [this](QRadioButton* button, Ctl ctl, void (frmVornal::*handler)()) {
        connect(button, &QRadioButton::clicked, this, [this, ctl, handler] {
            selectOption(model_, ctl);
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

void frmVornal::Form_Load(const std::u16string& commandLine) {
    runFirstStart(s_.settings, s_.files, s_.programFolder, s_.firstRun);
    state_.FileMode = true;
    CenterWindow();
    model_.SetStatus(u"Ready.");
    setWindowTitle(QString::fromStdU16String(kWindowCaption));
    ArrangeTitleBar();
    RestorePreviousFolder();
    show();
    applyCommandLine(commandLine);
}

void frmVornal::applyCommandLine(const std::u16string& commandLine) {
    const std::optional<StartupFile> file = parseCommandLine(commandLine);
    if (!file) {
        return;
    }
    model_.setText(Ctl::filepath, file->path);
    if (!FileExists(s_.files, pathFromText(file->path))) {
        model_.FlashFailure(u"The file you selected could not be found.");
        return;
    }
    if (file->direction == u'e') {
        selectOption(model_, Ctl::encryption);
        encryption_Click();
    } else if (file->direction == u'd') {
        selectOption(model_, Ctl::decryption);
        decryption_Click();
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
        createFolders(s_.files, s_.programFolder);
        writePreviousFolder(s_.files, s_.programFolder, encodePath(c_.DirList->path()));
    } catch (const RunError&) {
        // The program ends all the same.
    }
    s_.processExit.exitNow();
}

void frmVornal::closeEvent(QCloseEvent* event) {
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
