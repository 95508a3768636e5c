// Every control of the window: found by its control name, announced to assistive
// technology with a role and a name, with its design text and initial state; and the
// image button control.
#include "chrome/TitleBarPictures.h"
#include "tests/window/FormFixture.h"

#include <QAccessible>
#include <QSignalSpy>

namespace vornal::test {
namespace {

struct Expected {
    const char* name;
    QAccessible::Role role;
    const char* spoken; // what a screen reader says; nullptr: the current entry
};

const Expected kControls[] = {
    {"Frame1", QAccessible::Grouping, "File Select"},
    {"DriveList", QAccessible::ComboBox, nullptr},
    {"DirList", QAccessible::Tree, "Folders"},
    {"FileList", QAccessible::List, "Files"},
    {"Frame2", QAccessible::Grouping, "Vornal Settings"},
    {"Label6", QAccessible::StaticText, "Vornal Encryption"},
    {"Label3", QAccessible::StaticText, "Enter path of file to encrypt:"},
    {"filepath", QAccessible::EditableText, "Enter path of file to encrypt:"},
    {"stringpath", QAccessible::EditableText, "Enter path of file to encrypt"},
    {"view_file", QAccessible::Button, "View File"},
    {"labelFileSize", QAccessible::StaticText, "File size:"},
    {"Frame4", QAccessible::Grouping, "Source"},
    {"optFile", QAccessible::RadioButton, "File"},
    {"optString", QAccessible::RadioButton, "String"},
    {"Frame3", QAccessible::Grouping, "Direction"},
    {"encryption", QAccessible::RadioButton, "Encryption"},
    {"decryption", QAccessible::RadioButton, "Decryption"},
    {"Label4", QAccessible::StaticText, "Enter encryption key:"},
    {"txtPass1", QAccessible::EditableText, "Enter encryption key:"},
    {"Label8", QAccessible::StaticText, "Re-enter encryption key:"},
    {"txtPass2", QAccessible::EditableText, "Re-enter encryption key:"},
    {"LevelFrame", QAccessible::Grouping, "Encryption Key Strength"},
    {"pgKey", QAccessible::ProgressBar, "Encryption key strength"},
    {"Label5", QAccessible::StaticText, "Low"},
    {"Label9", QAccessible::StaticText, "Average"},
    {"Label11", QAccessible::StaticText, "High"},
    {"btnHelp", QAccessible::Button, "System Info"},
    {"btnViewHistory", QAccessible::Button, "View History"},
    {"btnAbout", QAccessible::Button, "Help"},
    {"btnClearHis", QAccessible::Button, "Clear History"},
    {"btnSTART", QAccessible::Button, "Encrypt!"},
    {"Command4", QAccessible::Button, "Exit"},
    {"indication_frame", QAccessible::Grouping, "Encryption Progress Indication Panel"},
    {"Label2", QAccessible::StaticText, "Total crypto progress"},
    {"ProgressBar2", QAccessible::ProgressBar, "Total crypto progress"},
    {"StatusBox", QAccessible::Client, "Status panel"},
    {"Status", QAccessible::StaticText, "Ready."},
    {"Image1", QAccessible::Graphic, "Title bar"},
    {"Image2", QAccessible::Button, "Close"},
    {"Image3", QAccessible::Button, "Minimise"},
    {"TitlebarIco", QAccessible::Graphic, "Vornal Encryption icon"},
    {"Label7", QAccessible::StaticText, "Vornal Encryption (v2.5a)"},
    {"Image8", QAccessible::Graphic, "Window header"},
    {"Image5", QAccessible::Graphic, "Minimise, pressed picture"},
    {"Image6", QAccessible::Graphic, "Close, pressed picture"},
    {"Image7", QAccessible::Graphic, "Picture exchange"},
    {"Image9", QAccessible::Graphic, "Minimise, hot picture"},
    {"Image10", QAccessible::Graphic, "Close, hot picture"},
};

class Controls : public FormFixture {
protected:
    Controls() { load(); }
    QString spoken(const char* name) {
        return QAccessible::queryAccessibleInterface(get(name))->text(QAccessible::Name);
    }
};

TEST_F(Controls, EveryControlHasItsRoleAndASpokenName) {
    for (const Expected& e : kControls) {
        QWidget* w = form->findChild<QWidget*>(QLatin1String(e.name));
        ASSERT_NE(w, nullptr) << e.name;
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
        ASSERT_NE(a, nullptr) << e.name;
        EXPECT_EQ(a->role(), e.role) << e.name;
        if (e.spoken != nullptr) {
            EXPECT_EQ(a->text(QAccessible::Name).toStdString(), e.spoken) << e.name;
        } else {
            EXPECT_FALSE(a->text(QAccessible::Name).isEmpty()) << e.name;
            EXPECT_FALSE(a->text(QAccessible::Description).isEmpty()) << e.name;
        }
    }
    // The window itself, and the timer, which is no widget.
    EXPECT_EQ(QAccessible::queryAccessibleInterface(form.get())->text(QAccessible::Name),
              "Vornal Encryption (v2.5a)");
    EXPECT_NE(form->findChild<QTimer*>(QStringLiteral("ElapsedTimer")), nullptr);
    // The string box is named after the current prompt.
    get<QRadioButton>("optString")->click();
    EXPECT_EQ(spoken("stringpath"), "Enter string to encrypt");
}

TEST_F(Controls, DesignTextsAndInitialState) {
    EXPECT_EQ(get<QGroupBox>("Frame1")->title(), " File Select: ");
    EXPECT_EQ(get<QGroupBox>("Frame2")->title(), "Vornal Settings ");
    EXPECT_EQ(get<QGroupBox>("indication_frame")->title(), "Encryption Progress Indication Panel ");
    EXPECT_EQ(get<QGroupBox>("LevelFrame")->title(), " Encryption Key Strength");
    EXPECT_EQ(get<QGroupBox>("Frame3")->title(), "");
    for (const char* hidden :
         {"stringpath", "Command4", "Image5", "Image6", "Image7", "Image9", "Image10"}) {
        EXPECT_FALSE(get(hidden)->isVisibleTo(form.get())) << hidden;
    }
    EXPECT_TRUE(get<ImageElement>("Image7")->picture().isNull());
    EXPECT_TRUE(get<ImageElement>("Image8")->picture().isNull());
    for (const char* box : {"txtPass1", "txtPass2"}) {
        auto* edit = get<QLineEdit>(box);
        EXPECT_EQ(edit->echoMode(), QLineEdit::Password) << box;
        EXPECT_EQ(edit->maxLength(), 100) << box;
        EXPECT_EQ(base(box), white()) << box;
    }
    EXPECT_EQ(get<QProgressBar>("pgKey")->value(), 0);
    EXPECT_EQ(get<QProgressBar>("ProgressBar2")->value(), 0);
    EXPECT_EQ(get("StatusBox")->palette().color(QPalette::Window), QColor(192, 192, 192));
    EXPECT_EQ(get<QLabel>("Label6")->font().pointSizeF(), 18);
    EXPECT_TRUE(get<QLabel>("Label6")->font().bold());
    EXPECT_EQ(get<QLabel>("Label3")->font().pointSizeF(), 8.25);
    EXPECT_EQ(get("DriveList")->font().pointSizeF(), 9);
    EXPECT_EQ(get<QLabel>("Label10")->font().pointSizeF(), 6.75);
    EXPECT_FALSE(get<QLabel>("Label10")->text().isEmpty());
}

// The progress bar scaled to the model's maximum, the busy pointer, the buttons' captions
// and enabled state.
TEST_F(Controls, TheModelReachesTheWidgets) {
    auto* bar = get<QProgressBar>("ProgressBar2");
    form->window().setMax(Ctl::ProgressBar2, 210);
    form->window().setValue(Ctl::ProgressBar2, 105);
    EXPECT_EQ(bar->value(), bar->maximum() / 2);
    form->window().setValue(Ctl::ProgressBar2, 400);
    EXPECT_EQ(bar->value(), bar->maximum());

    form->window().setPointer(Pointer::Busy);
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    form->window().setPointer(Pointer::Default);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    form->window().setText(Ctl::btnSTART, u"Cancel");
    EXPECT_EQ(text("btnSTART"), "Cancel");
    EXPECT_EQ(form->window().text(Ctl::btnSTART), u"Cancel");

    // A disabled image button keeps its caption and ignores clicks.
    auto* button = get<ImageButton>("btnClearHis");
    QSignalSpy clicks(button, &QAbstractButton::clicked);
    form->window().setEnabled(Ctl::btnClearHis, false);
    EXPECT_EQ(button->look(), ImageButton::Look::Disabled);
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(clicks.count(), 0);
    form->window().setEnabled(Ctl::btnClearHis, true);
    EXPECT_EQ(button->text(), "Clear History");
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(clicks.count(), 1);
}

TEST_F(Controls, TheWindowsIconIsTheApplicationIconAtTheThemesSizes) {
    const QList<QSize> sizes = form->windowIcon().availableSizes();
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        EXPECT_TRUE(sizes.contains(QSize(size, size))) << size;
    }
}

// Each look its own picture, drawn at the screen's resolution: at 2x twice the pixels, with
// detail at the finer grid, not a 1x picture blown up (every 2x2 block one colour).
TEST(ButtonPictures, EachLookItsOwnPictureAtTheScreensResolution) {
    const auto image = [](const Picture& p) { return p.pixmap({20, 20}, 1).toImage(); };
    for (auto look :
         {ImageButton::Look::Hot, ImageButton::Look::Pressed, ImageButton::Look::Disabled}) {
        EXPECT_NE(image(ImageButton::face(look)),
                  image(ImageButton::face(ImageButton::Look::Normal)));
    }
    EXPECT_NE(image(TitleBarPictures::closeHot()), image(TitleBarPictures::closeNormal()));
    EXPECT_NE(image(TitleBarPictures::closePressed()), image(TitleBarPictures::closeHot()));
    EXPECT_NE(image(TitleBarPictures::minimisePressed()), image(TitleBarPictures::minimiseHot()));
    for (const Picture& picture :
         {ImageButton::face(ImageButton::Look::Normal), TitleBarPictures::closeNormal(),
          TitleBarPictures::minimiseHot(), TitleBarPictures::icon()}) {
        const QImage fine = picture.pixmap(QSize(20, 20), 2.0).toImage();
        EXPECT_EQ(fine.size(), QSize(40, 40)) << picture.name().toStdString();
        bool finer = false;
        for (int y = 0; y < 40 && !finer; y += 2) {
            for (int x = 0; x < 40 && !finer; x += 2) {
                finer = fine.pixel(x, y) != fine.pixel(x + 1, y) ||
                        fine.pixel(x, y) != fine.pixel(x, y + 1);
            }
        }
        EXPECT_TRUE(finer) << picture.name().toStdString();
    }
}

} // namespace
} // namespace vornal::test
