// vornal: the main window.
#include "log/OperationLog.h"
#include "platform/Environment.h"
#include "platform/FileSystem.h"
#include "platform/Launcher.h"
#include "platform/ProcessExit.h"
#include "platform/ProgramFolder.h"
#include "platform/Secrets.h"
#include "platform/qt/QtDrives.h"
#include "platform/qt/QtMessageBox.h"
#include "platform/qt/QtSettingsStore.h"
#include "platform/qt/QtShell.h"
#include "tools/DesktopHandlers.h"
#include "tools/modMakeFiles.h"
#include "tools/modSysInfo.h"
#include "window/Pauser.h"
#include "window/SessionEnd.h"
#include "window/Startup.h"
#include "window/frmVornal.h"

#include <QApplication>
#include <QStyleFactory>
#include <vector>

int main(int argc, char** argv) {
    // Before any key is typed.
    vornal::forbidCoreDumps();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vornal Encryption"));
    QGuiApplication::setDesktopFileName(QStringLiteral(VORNAL_APP_ID));
    // Fusion paints the colours the window gives its panel, boxes and lists.
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));

    // The arguments after the program name; Qt's own options are already taken out.
    std::vector<std::u16string> arguments;
    for (int i = 1; i < argc; ++i) {
        arguments.push_back(QString::fromLocal8Bit(argv[i]).toStdU16String());
    }

    vornal::PosixFileSystem files;
    vornal::QtSettingsStore settings;
    vornal::QtDrives drives;
    vornal::QtMessageBox messages;
    vornal::EventLoopPauser pauser;
    vornal::SystemProcessExit processExit;
    const std::string folder = vornal::programFolder();
    vornal::FirstRunSteps firstRun{
        [&] { vornal::modMakeFiles::WriteReadmeFile(files, folder); },
        [&] { vornal::modMakeFiles::WriteAboutFile(files, folder); },
    };

    vornal::SystemEnvironment environment;
    vornal::PosixLauncher launcher(environment);
    vornal::Desktop desktop{launcher, files, environment,
                            QCoreApplication::applicationFilePath().toStdString()};
    const auto registry = vornal::modSysInfo::systemRegistry(files, environment, launcher);
    vornal::SystemClock clock;
    vornal::HtmlLog log(files, clock, vornal::logPath());
    vornal::QtShell shell;
    vornal::ToolServices tools{desktop, *registry, launcher, log, shell};

    vornal::frmVornal form(
        {files, settings, drives, messages, pauser, processExit, log, firstRun, folder, &tools});
    messages.setParent(&form);
    // A logout or SIGTERM is a close request: the exit command, after any run is undone.
    vornal::SessionEnd sessionEnd([&form] { form.endSession(); });
    form.Form_Load(arguments);
    return QApplication::exec();
}
