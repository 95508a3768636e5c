#pragma once

#include "operations/Engine.h"
#include "platform/Drives.h"
#include "platform/FileSystem.h"
#include "platform/MessageBox.h"
#include "platform/ProcessExit.h"
#include "platform/RunJournal.h"
#include "platform/SettingsStore.h"
#include "window/ControlMirror.h"
#include "window/FolderLists.h"
#include "window/FormDesign.h"
#include "window/FormModel.h"
#include "window/OperationRunner.h"
#include "window/Pauser.h"
#include "window/StartCommand.h"
#include "window/Startup.h"
#include "window/State.h"

#include <QWidget>
#include <memory>
#include <string>
#include <vector>

namespace vornal {

class DropTarget;
class HtmlLog;
class Launcher;
class OperationLog;
class Registry;
class Shell;
class TitleBar;
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
    OperationLog& log;
    FirstRunSteps firstRun;
    std::string programFolder;
    ToolServices* tools = nullptr;
    EngineOptions engine = {};
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
    // folder; then the window is shown and the command line (the arguments after the
    // program name) applied, so that a failure flashes where the user sees it.
    void Form_Load(const std::vector<std::u16string>& arguments);

    // What the operations run against, and the program-wide state they share.
    [[nodiscard]] WindowModel& window() noexcept { return model_; }
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
    // The start command, and the key boxes' key-down handlers (the confirmation box's
    // answers whether the key is spent).
    void btnSTART_Click();
    void txtPass1_KeyDown(int keyCode);
    bool txtPass2_KeyDown(int keyCode);
    // The title bar's close command: the exit command, or while a run shows "Cancel" the
    // start command's question.
    void Image2_Click();
    // The title bar's minimise command.
    void Image3_Click();
    // The desktop session ends (logout, SIGTERM): a close request that asks nothing. Idle,
    // the exit command runs; during a run, the run stops as a confirmed cancellation stops
    // it, its file put back, and then the exit command runs.
    void endSession();

protected:
    // Form_QueryUnload: every close request runs the exit command.
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    // A file dropped on the window loads as a file picked in the lists does.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    OperationContext operationContext();
    StartCommandHooks startHooks();
    void connectControls();
    void CenterWindow();
    void ArrangeTitleBar();
    void applyCommandLine(const std::vector<std::u16string>& arguments);
    // Offers to put back the files of interrupted runs (only that at path, when given).
    void offerRecovery(const std::string& path = {});

    FormServices s_;
    RunJournal journal_; // the runs under way, in the program folder
    ProcessState state_;
    FormModel model_;
    TwipScale scale_;
    Controls c_;
    std::unique_ptr<ControlMirror> mirror_;
    std::unique_ptr<TitleBar> titleBar_;
    std::unique_ptr<DropTarget> drops_;
    FolderLists folders_;
    TwipRect geometryTwips_ = kDesignWindow;
    QRect border_;
    OperationRunner runner_{*this, model_};
    bool endRequested_ = false;  // the user confirmed ending the program mid-run
    bool closePending_ = false;  // a close request waits for the run to end
    bool sessionEnding_ = false; // the session ends: the run stops, then the exit command
};

} // namespace vornal
