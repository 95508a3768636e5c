// The encrypt operation run against the window: the file is rewritten and the window ends
// as the user would see it.
#include "log/OperationLog.h"
#include "operations/FileDisplay.h"
#include "operations/FileFormat.h"
#include "operations/Operations.h"
#include "tests/support/FixedClock.h"
#include "tests/window/FormFixture.h"

namespace vornal::test {
namespace {

class OperationInWindow : public FormFixture {
protected:
    FixedClock clock;
    HtmlLog log{files, clock, home.file("log.html")};
};

TEST_F(OperationInWindow, EncryptsThePickedFileAndEndsReady) {
    writeFile(drive.file("plain.txt"), "attack at dawn");
    load();
    driveList()->setCurrentIndex(1);
    emit driveList()->activated(1);
    clickFile(QStringLiteral("plain.txt"));
    QTest::keyClicks(get<QLineEdit>("txtPass1"), QStringLiteral("correct horse"));
    QTest::keyClicks(get<QLineEdit>("txtPass2"), QStringLiteral("correct horse"));

    form->state().ElapsedStopped = false;
    OperationContext ctx{form->state(), form->window(), files, log};
    EncryptCurrent(ctx);

    const std::string encrypted = readFile(drive.file("plain.txt"));
    EXPECT_EQ(encrypted.find("attack"), std::string::npos);
    EXPECT_TRUE(encrypted.ends_with(kMarkerLine));
    EXPECT_FALSE(fileExists(drive.file("plain.txt.bak")));

    EXPECT_EQ(pauser.looks,
              std::vector<RecordingWindow::Look>{successLook(u"File successfully Encrypted.")});
    EXPECT_EQ(text("Status"), "Ready.");
    EXPECT_EQ(get<QProgressBar>("ProgressBar2")->value(), 0);
    EXPECT_FALSE(form->findChild<QTimer*>(QStringLiteral("ElapsedTimer"))->isActive());
    EXPECT_EQ(text("labelFileSize").toStdString(), utf16ToUtf8(fileSizeText(encrypted.size())));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    // The probe marks the run; the start command puts the caption back afterwards.
    EXPECT_EQ(text("btnSTART"), "Cancel");
    EXPECT_NE(readFile(home.file("log.html")).find("Success"), std::string::npos);
}

} // namespace
} // namespace vornal::test
