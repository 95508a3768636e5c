#pragma once

#include "operations/State.h"
#include "platform/Drives.h"
#include "platform/FileSystem.h"
#include "platform/MessageBox.h"
#include "platform/ProcessExit.h"
#include "platform/SettingsStore.h"
#include "window/ControlMirror.h"
#include "window/FormDesign.h"
#include "window/FormModel.h"
#include "window/Pauser.h"
#include "window/Startup.h"

#include <QWidget>
#include <map>
#include <memory>
#include <string>

namespace vornal {

class HtmlLog;
class Launcher;
class Registry;
class Shell;
struct Desktop;

// What the auxiliary buttons work with: the tools and the log. Without them (tests of the
// window alone) those buttons do nothing.
struct ToolServices {
    Desktop& desktop;
    Registry& registry;
    Launcher& launcher;
    HtmlLog& log;
    Shell& shell;
};

// What the main window works with.
struct FormServices {
    FileSystem& files;
    SettingsStore& settings;
    DriveSource& drives;
    MessageBoxHook& messages;
    Pauser& pauser;
    ProcessExit& processExit;
    FirstRunSteps firstRun;
    std::string programFolder;
    ToolServices* tools = nullptr;
};

// The main window: a frameless window whose controls mirror a window model, so that the
// operations run against window() unchanged.
class frmVornal : public QWidget {
    Q_OBJECT
public:
    explicit frmVornal(FormServices services);
    ~frmVornal() override;
    frmVornal(const frmVornal&) = delete;
    frmVornal& operator=(const frmVornal&) = delete;

    // Start-up: first run, modes, placement, "Ready.", caption, title bar and the saved
    // folder; then the window is shown and the command line (the argument text after the
    // program name) applied, so that a failure flashes where the user sees it.
    void Form_Load(const std::u16string& commandLine);

    // What the operations run against, and the program-wide state they share.
    [[nodiscard]] Window& window() noexcept { return model_; }
    [[nodiscard]] ProcessState& state() noexcept { return state_; }

    // The event handlers, as the controls' events run them.
    void optFile_Click();
    void optString_Click();
    void encryption_Click();
    void decryption_Click();
    void DriveList_Change();
    void DirList_Change();
    void DirList_Click();
    void FileList_Click();
    void ElapsedTimer_Timer();
    void RestorePreviousFolder();
    // The exit command: saves the folder list's folder in prevdir.tmp and ends the process.
    void Command4_Click();
    // The auxiliary buttons: Help, View File, System Info, View History, Clear History.
    void btnAbout_Click();
    void view_file_Click();
    void btnHelp_Click();
    void btnViewHistory_Click();
    void btnClearHis_Click();

protected:
    // Form_QueryUnload: every close request runs the exit command.
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void connectControls();
    void fillDrives();
    void startInCurrentFolder();
    void CenterWindow();
    void ArrangeTitleBar();
    void applyCommandLine(const std::u16string& commandLine);
    // ShowFileSize, or "File size: N/A" and the access message when the file cannot be
    // opened for reading and writing.
    void showFileSizeOrDenied();
    void selectDriveOf(const QString& folder);

    FormServices s_;
    ProcessState state_;
    FormModel model_;
    TwipScale scale_;
    Controls c_;
    std::unique_ptr<ControlMirror> mirror_;
    TwipRect geometryTwips_ = kDesignWindow;
    QRect border_;
    // The folder last shown on each drive, by the drive's root.
    std::map<QString, QString> driveFolders_;
};

} // namespace vornal
