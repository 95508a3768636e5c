// vornal: the main window.
#include "platform/FileSystem.h"
#include "platform/ProcessExit.h"
#include "platform/ProgramFolder.h"
#include "platform/qt/QtDrives.h"
#include "platform/qt/QtMessageBox.h"
#include "platform/qt/QtSettingsStore.h"
#include "tools/modMakeFiles.h"
#include "window/Pauser.h"
#include "window/Startup.h"
#include "window/frmVornal.h"

#include <QApplication>
#include <QStyleFactory>
#include <vector>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vornal Encryption"));
    // Fusion paints the colours the window gives its panel, boxes and lists.
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));

    // The argument text after the program name; Qt's own options are already taken out.
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

    vornal::frmVornal form(
        {files, settings, drives, messages, pauser, processExit, firstRun, folder});
    messages.setParent(&form);
    form.Form_Load(vornal::commandLineText(arguments));
    return QApplication::exec();
}
