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

// A click, or a screen reader's toggle action: the option's handler runs either way.
TEST_F(Modes, Label3AndTheSourceFollowEveryCombinationHoweverChosen) {
    EXPECT_TRUE(get<QRadioButton>("optFile")->isChecked());
    EXPECT_TRUE(get<QRadioButton>("encryption")->isChecked());
    EXPECT_EQ(label3(), "Enter path of file to encrypt:");
    EXPECT_TRUE(form->state().FileMode);
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
        choose("encryption");
        EXPECT_EQ(label3(), "Enter string to encrypt:");
        choose("optFile");
        EXPECT_EQ(label3(), "Enter path of file to encrypt:");
        EXPECT_TRUE(form->state().FileMode);
    }
}

TEST_F(Modes, DirectionSetsTheStartCaptionOnly) {
    QTest::keyClicks(get<QLineEdit>("filepath"), QStringLiteral("/tmp/a.txt"));
    EXPECT_EQ(text("btnSTART"), "Encrypt!");
    click("decryption");
    EXPECT_EQ(text("btnSTART"), "Decrypt!");
    EXPECT_EQ(text("Label4"), "Enter encryption key:");
    EXPECT_EQ(text("filepath"), "/tmp/a.txt");
    EXPECT_TRUE(get<QRadioButton>("optFile")->isChecked());
    EXPECT_FALSE(get<QRadioButton>("encryption")->isChecked());
    EXPECT_TRUE(form->window().value(Ctl::decryption) != 0);
    click("encryption");
    EXPECT_EQ(text("btnSTART"), "Encrypt!");
    EXPECT_TRUE(form->window().value(Ctl::encryption) != 0);
    EXPECT_TRUE(form->window().value(Ctl::decryption) == 0);
}

// String mode empties the path, greys the lists and shows the string box; file mode puts
// back all but the path. The string box keeps its text across the switches.
TEST_F(Modes, SwitchingTheSourceSwapsTheBoxesAndGreysTheLists) {
    QTest::keyClicks(get<QLineEdit>("filepath"), QStringLiteral("/tmp/plain.txt"));
    for (const bool stringMode : {true, false, true}) {
        SCOPED_TRACE(stringMode ? "string" : "file");
        click(stringMode ? "optString" : "optFile");
        EXPECT_EQ(form->state().FileMode, !stringMode);
        EXPECT_EQ(text("filepath"), "");
        EXPECT_EQ(form->window().text(Ctl::filepath), u"");
        for (const char* name : {"filepath", "view_file", "labelFileSize"}) {
            EXPECT_EQ(shown(name), !stringMode) << name;
        }
        EXPECT_EQ(shown("stringpath"), stringMode);
        for (const char* list : {"DriveList", "DirList", "FileList"}) {
            EXPECT_EQ(get(list)->isEnabled(), !stringMode) << list;
            EXPECT_EQ(base(list), stringMode ? face() : white()) << list;
        }
        if (stringMode && get<QPlainTextEdit>("stringpath")->toPlainText().isEmpty()) {
            QTest::keyClicks(get<QPlainTextEdit>("stringpath"), QStringLiteral("attack at dawn"));
        }
    }
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

// The lock greys the key boxes and freezes the options but leaves path and lists; the
// unlock restores what the lock changed and what the start command disabled.
TEST_F(Modes, InputLockAndUnlock) {
    const auto expectEnabled = [this](std::initializer_list<const char*> names, bool enabled) {
        for (const char* name : names) {
            EXPECT_EQ(get(name)->isEnabled(), enabled) << name;
        }
    };
    QTest::keyClicks(get<QLineEdit>("filepath"), QStringLiteral("/tmp/a"));
    LockInputs(form->window());
    expectEnabled({"Frame3", "Frame4", "txtPass1", "txtPass2", "optFile", "optString", "encryption",
                   "decryption"},
                  false);
    EXPECT_EQ(base("txtPass1"), face());
    EXPECT_EQ(base("txtPass2"), face());
    expectEnabled({"filepath", "btnHelp", "btnAbout", "DriveList", "DirList", "FileList"}, true);
    EXPECT_EQ(text("filepath"), "/tmp/a");
    click("decryption"); // a click on a locked option changes nothing
    EXPECT_TRUE(get<QRadioButton>("encryption")->isChecked());
    EXPECT_EQ(text("btnSTART"), "Encrypt!");

    for (Ctl c : {Ctl::filepath, Ctl::btnHelp, Ctl::btnAbout}) {
        form->window().setEnabled(c, false);
    }
    UnlockInputs(form->window());
    expectEnabled({"Frame3", "Frame4", "txtPass1", "txtPass2", "optFile", "optString", "encryption",
                   "decryption", "filepath", "btnHelp", "btnAbout"},
                  true);
    EXPECT_EQ(base("txtPass1"), white());
    EXPECT_EQ(base("txtPass2"), white());
}

} // namespace
} // namespace vornal::test
