// The source and direction options, the texts that follow them, and the input lock, as
// the user sees them on the window.
#include "window/Modes.h"

#include "tests/window/FormFixture.h"

#include <QAccessible>
#include <functional>

namespace vornal::test {
namespace {

class Modes : public FormFixture {
protected:
    Modes() { load(); }

    // A click on the option's circle.
    void click(const char* option) {
        auto* button = get<QRadioButton>(option);
        QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
    }
    std::string label3() { return text("Label3").toStdString(); }
    bool shown(const char* name) { return get(name)->isVisibleTo(form.get()); }
};

TEST_F(Modes, StartInFileModeEncrypting) {
    EXPECT_TRUE(get<QRadioButton>("optFile")->isChecked());
    EXPECT_TRUE(get<QRadioButton>("encryption")->isChecked());
    EXPECT_EQ(label3(), "Enter path of file to encrypt:");
    EXPECT_EQ(text("Label4"), "Enter encryption key:");
    EXPECT_EQ(text("btnSTART"), "Encrypt!");
    EXPECT_TRUE(form->state().FileMode);
}

// A click, or a screen reader's toggle action: the option's handler runs either way.
TEST_F(Modes, Label3AndTheSourceFollowEveryCombinationHoweverChosen) {
    const std::function<void(const char*)> ways[] = {
        [this](const char* option) { click(option); },
        [this](const char* option) {
            QAccessible::queryAccessibleInterface(get(option))
                ->actionInterface()
                ->doAction(QAccessibleActionInterface::toggleAction());
        },
    };
    for (const auto& choose : ways) {
        choose("decryption");
        EXPECT_EQ(label3(), "Enter path of file to decrypt:");
        choose("optString");
        EXPECT_EQ(label3(), "Enter string to decrypt:");
        EXPECT_FALSE(form->state().FileMode);
        EXPECT_TRUE(shown("stringpath"));
        choose("encryption");
        EXPECT_EQ(label3(), "Enter string to encrypt:");
        choose("optFile");
        EXPECT_EQ(label3(), "Enter path of file to encrypt:");
        EXPECT_TRUE(form->state().FileMode);
        EXPECT_TRUE(shown("filepath"));
    }
}

TEST_F(Modes, DirectionSetsTheStartCaptionAndTheKeyPromptOnly) {
    QTest::keyClicks(get<QLineEdit>("filepath"), QStringLiteral("/tmp/a.txt"));
    click("decryption");
    EXPECT_EQ(text("btnSTART"), "Decrypt!");
    EXPECT_EQ(text("Label4"), "Enter encryption key:");
    EXPECT_EQ(text("filepath"), "/tmp/a.txt");
    EXPECT_TRUE(get<QRadioButton>("optFile")->isChecked());
    EXPECT_FALSE(get<QRadioButton>("encryption")->isChecked());
    click("encryption");
    EXPECT_EQ(text("btnSTART"), "Encrypt!");
    EXPECT_TRUE(form->window().value(Ctl::encryption) != 0);
    EXPECT_TRUE(form->window().value(Ctl::decryption) == 0);
}

TEST_F(Modes, StringModeEmptiesThePathGreysTheListsAndShowsTheStringBox) {
    QTest::keyClicks(get<QLineEdit>("filepath"), QStringLiteral("/tmp/plain.txt"));
    ASSERT_EQ(form->window().text(Ctl::filepath), u"/tmp/plain.txt");
    click("optString");
    EXPECT_FALSE(form->state().FileMode);
    EXPECT_EQ(text("filepath"), "");
    EXPECT_EQ(form->window().text(Ctl::filepath), u"");
    EXPECT_FALSE(shown("filepath"));
    EXPECT_FALSE(shown("view_file"));
    EXPECT_FALSE(shown("labelFileSize"));
    EXPECT_TRUE(shown("stringpath"));
    for (const char* list : {"DriveList", "DirList", "FileList"}) {
        EXPECT_FALSE(get(list)->isEnabled()) << list;
        EXPECT_EQ(base(list), face()) << list;
    }
}

TEST_F(Modes, BackToFileModeRestoresTheListsButNotThePath) {
    QTest::keyClicks(get<QLineEdit>("filepath"), QStringLiteral("/tmp/plain.txt"));
    click("optString");
    QTest::keyClicks(get<QPlainTextEdit>("stringpath"), QStringLiteral("attack at dawn"));
    click("optFile");
    EXPECT_TRUE(form->state().FileMode);
    EXPECT_EQ(text("filepath"), "");
    EXPECT_TRUE(shown("filepath"));
    EXPECT_TRUE(shown("view_file"));
    EXPECT_TRUE(shown("labelFileSize"));
    EXPECT_FALSE(shown("stringpath"));
    for (const char* list : {"DriveList", "DirList", "FileList"}) {
        EXPECT_TRUE(get(list)->isEnabled()) << list;
        EXPECT_EQ(base(list), white()) << list;
    }
    // The string box keeps its text across the switches.
    click("optString");
    EXPECT_EQ(get<QPlainTextEdit>("stringpath")->toPlainText(), "attack at dawn");
    EXPECT_EQ(form->window().text(Ctl::stringpath), u"attack at dawn");
}

TEST_F(Modes, TypingInTheStringBoxStopsAt10000Characters) {
    click("optString");
    auto* box = get<QPlainTextEdit>("stringpath");
    box->insertPlainText(QString(9998, QLatin1Char('x')));
    QTest::keyClicks(box, QStringLiteral("abcd"));
    EXPECT_EQ(box->toPlainText().size(), 10000);
    EXPECT_EQ(form->window().text(Ctl::stringpath).size(), 10000u);
    EXPECT_TRUE(box->toPlainText().endsWith(QStringLiteral("ab")));
}

class InputLock : public Modes {};

TEST_F(InputLock, LockGreysTheKeyBoxesAndFreezesTheOptionsButLeavesPathAndLists) {
    QTest::keyClicks(get<QLineEdit>("filepath"), QStringLiteral("/tmp/a"));
    LockInputs(form->window());
    for (const char* name : {"Frame3", "Frame4", "txtPass1", "txtPass2", "optFile", "optString",
                             "encryption", "decryption"}) {
        EXPECT_FALSE(get(name)->isEnabled()) << name;
    }
    EXPECT_EQ(base("txtPass1"), face());
    EXPECT_EQ(base("txtPass2"), face());
    for (const char* name :
         {"filepath", "btnHelp", "btnAbout", "DriveList", "DirList", "FileList"}) {
        EXPECT_TRUE(get(name)->isEnabled()) << name;
    }
    EXPECT_EQ(text("filepath"), "/tmp/a");
    // A click on a locked option changes nothing.
    click("decryption");
    EXPECT_TRUE(get<QRadioButton>("encryption")->isChecked());
    EXPECT_EQ(text("btnSTART"), "Encrypt!");
}

TEST_F(InputLock, UnlockRestoresWhatLockChangedAndWhatTheStartCommandDisabled) {
    LockInputs(form->window());
    for (Ctl c : {Ctl::filepath, Ctl::btnHelp, Ctl::btnAbout}) {
        form->window().setEnabled(c, false);
    }
    UnlockInputs(form->window());
    for (const char* name : {"Frame3", "Frame4", "txtPass1", "txtPass2", "optFile", "optString",
                             "encryption", "decryption", "filepath", "btnHelp", "btnAbout"}) {
        EXPECT_TRUE(get(name)->isEnabled()) << name;
    }
    EXPECT_EQ(base("txtPass1"), white());
    EXPECT_EQ(base("txtPass2"), white());
}

} // namespace
} // namespace vornal::test
