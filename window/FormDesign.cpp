#include "window/FormDesign.h"

#include "chrome/ImageElement.h"
#include "chrome/TitleBarPictures.h"
#include "window/FileLists.h"
#include "window/ImageButton.h"
#include "window/Pauser.h"

#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

namespace vornal {

QRect TwipScale::rect(const TwipRect& r) const {
    const int left = px(r.left);
    const int top = px(r.top);
    return {left, top, px(r.left + r.width) - left, px(r.top + r.height) - top};
}

TwipRect TwipScale::twipRect(const QRect& r) const {
    return {static_cast<float>(twips(r.left())), static_cast<float>(twips(r.top())),
            static_cast<float>(twips(r.width())), static_cast<float>(twips(r.height()))};
}

QFont designFont(const QString& wanted, double points, bool bold) {
    const QStringList families = QFontDatabase::families();
    QFont font;
    if (families.contains(wanted)) {
        font.setFamily(wanted);
    } else if (families.contains(QStringLiteral("DejaVu Sans"))) {
        font.setFamily(QStringLiteral("DejaVu Sans"));
    } else {
        font.setStyleHint(QFont::SansSerif);
        font.setFamily(QStringLiteral("Sans Serif"));
    }
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

namespace {

// Builds one container's controls at their design places.
class Builder {
public:
    explicit Builder(const TwipScale& scale)
        : scale_(scale), tahoma_(designFont(QStringLiteral("Tahoma"), 8.25)),
          verdana_(designFont(QStringLiteral("Verdana"), 8.25)) {}

    template <typename W, typename... Args>
    W* make(QWidget* parent, const char* name, const TwipRect& r, Args&&... args) {
        auto* w = new W(std::forward<Args>(args)..., parent);
        w->setObjectName(QLatin1String(name));
        w->setGeometry(scale_.rect(r));
        w->setFont(tahoma_);
        return w;
    }

    QLabel* label(QWidget* parent, const char* name, const TwipRect& r, const QString& text) {
        auto* l = make<QLabel>(parent, name, r, text);
        l->setAttribute(Qt::WA_TranslucentBackground);
        return l;
    }

    QGroupBox* frame(QWidget* parent, const char* name, const TwipRect& r, const QString& caption,
                     const QString& accessibleName) {
        auto* f = make<QGroupBox>(parent, name, r, caption);
        f->setFont(verdana_);
        f->setAccessibleName(accessibleName);
        return f;
    }

    ImageButton* button(QWidget* parent, const char* name, const TwipRect& r,
                        const QString& caption) {
        return make<ImageButton>(parent, name, r, caption);
    }

    ImageElement* image(QWidget* parent, const char* name, const TwipRect& r,
                        const Picture& picture, const QString& accessibleName) {
        auto* i = make<ImageElement>(parent, name, r);
        i->setPicture(picture);
        i->setAccessibleName(accessibleName);
        return i;
    }

    QLineEdit* keyBox(QWidget* parent, const char* name, const TwipRect& r) {
        auto* box = make<QLineEdit>(parent, name, r);
        box->setEchoMode(QLineEdit::Password);
        box->setMaxLength(100);
        return box;
    }

    QProgressBar* bar(QWidget* parent, const char* name, const TwipRect& r,
                      const QString& accessibleName) {
        auto* b = make<QProgressBar>(parent, name, r);
        b->setRange(0, 10000);
        b->setValue(0);
        b->setTextVisible(false);
        b->setAccessibleName(accessibleName);
        return b;
    }

    const QFont& verdana() const { return verdana_; }

private:
    const TwipScale& scale_;
    QFont tahoma_;
    QFont verdana_;
};

void buildTitleBar(Builder& b, QWidget& form, Controls& c) {
    const TitleBarDesign design;
    namespace pictures = TitleBarPictures;
    // Image8 first, so that it lies beneath everything else.
    c.Image8 = b.image(&form, "Image8", {120, 360, 9135, 1215}, Picture(),
                       QStringLiteral("Window header"));
    c.Image1 =
        b.image(&form, "Image1", design.strip, pictures::strip(), QStringLiteral("Title bar"));
    c.Image1->setProperty(kDragHandleProperty, true);
    c.TitlebarIco = b.image(&form, "TitlebarIco", design.icon, pictures::icon(),
                            QStringLiteral("Vornal Encryption icon"));
    c.Label7 = b.label(&form, "Label7", {2880, 180, 1500, 240}, QStringLiteral("Label7"));
    c.Label7->setFont(designFont(QStringLiteral("Verdana"), 9));
    c.Label7->setStyleSheet(QStringLiteral("color: white"));
    c.Label7->setProperty(kDragHandleProperty, true);
    c.Image3 = b.image(&form, "Image3", design.secondButton, pictures::minimiseNormal(),
                       QStringLiteral("Minimise"));
    c.Image2 = b.image(&form, "Image2", design.closeButton, pictures::closeNormal(),
                       QStringLiteral("Close"));
    for (ImageElement* button : {c.Image2, c.Image3}) {
        button->setAccessibleRole(QAccessible::Button);
    }
    // The stores of the title-bar effects' pictures.
    const TwipRect store{0, 0, 300, 300};
    c.Image10 = b.image(&form, "Image10", store, pictures::closeHot(),
                        QStringLiteral("Close, hot picture"));
    c.Image9 = b.image(&form, "Image9", store, pictures::minimiseHot(),
                       QStringLiteral("Minimise, hot picture"));
    c.Image6 = b.image(&form, "Image6", store, pictures::closePressed(),
                       QStringLiteral("Close, pressed picture"));
    c.Image5 = b.image(&form, "Image5", store, pictures::minimisePressed(),
                       QStringLiteral("Minimise, pressed picture"));
    c.Image7 =
        b.image(&form, "Image7", {0, 0, 375, 255}, Picture(), QStringLiteral("Picture exchange"));
    for (ImageElement* hidden : {c.Image5, c.Image6, c.Image7, c.Image9, c.Image10}) {
        hidden->hide();
    }
}

void buildFileSelection(Builder& b, QWidget& form, Controls& c) {
    c.Frame1 = b.frame(&form, "Frame1", {120, 600, 3255, 5535}, QStringLiteral(" File Select: "),
                       QStringLiteral("File Select"));
    c.DriveList = b.make<DriveListBox>(c.Frame1, "DriveList", {120, 240, 3015, 330});
    c.DriveList->setFont(designFont(QStringLiteral("Tahoma"), 9));
    // A combo box is announced by its current entry; the description says what it is.
    c.DriveList->setAccessibleName(QStringLiteral("Drive"));
    c.DriveList->setAccessibleDescription(QStringLiteral("Drive"));
    c.DirList = b.make<DirListBox>(c.Frame1, "DirList", {120, 600, 3015, 1890});
    c.DirList->setAccessibleName(QStringLiteral("Folders"));
    c.FileList = b.make<FileListBox>(c.Frame1, "FileList", {120, 2520, 3015, 2625});
    c.FileList->setAccessibleName(QStringLiteral("Files"));
}

void buildSettings(Builder& b, QWidget& form, Controls& c) {
    c.Frame2 = b.frame(&form, "Frame2", {3480, 600, 6015, 5535}, QStringLiteral("Vornal Settings "),
                       QStringLiteral("Vornal Settings"));
    QWidget* f = c.Frame2;
    c.Label6 = b.label(f, "Label6", {240, 255, 5535, 450}, QStringLiteral("Vornal Encryption"));
    c.Label6->setFont(designFont(QStringLiteral("Verdana"), 18, true));
    c.Label10 = b.label(f, "Label10", {240, 705, 5535, 195},
                        QStringLiteral("Keep your key safe: without it an encrypted file cannot "
                                       "be read again."));
    c.Label10->setFont(designFont(QStringLiteral("Verdana"), 6.75));
    c.Label3 = b.label(f, "Label3", {240, 960, 4575, 225},
                       QStringLiteral("Enter path of file to encrypt:"));
    c.filepath = b.make<QLineEdit>(f, "filepath", {240, 1200, 4575, 285});
    c.stringpath = b.make<QPlainTextEdit>(f, "stringpath", {240, 1200, 5535, 615});
    c.stringpath->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    c.stringpath->hide();
    c.Label3->setBuddy(c.filepath);
    c.view_file = b.button(f, "view_file", {4920, 1185, 855, 315}, QStringLiteral("View File"));
    c.labelFileSize =
        b.label(f, "labelFileSize", {240, 1515, 4575, 225}, QStringLiteral("File size:"));

    c.Frame4 = b.frame(f, "Frame4", {240, 1800, 2655, 700}, QString(), QStringLiteral("Source"));
    c.optFile =
        b.make<QRadioButton>(c.Frame4, "optFile", {120, 105, 2400, 240}, QStringLiteral("File"));
    c.optString = b.make<QRadioButton>(c.Frame4, "optString", {120, 375, 2400, 240},
                                       QStringLiteral("String"));
    c.optFile->setChecked(true);
    c.Frame3 =
        b.frame(f, "Frame3", {3120, 1800, 2655, 705}, QString(), QStringLiteral("Direction"));
    c.encryption = b.make<QRadioButton>(c.Frame3, "encryption", {120, 105, 2400, 240},
                                        QStringLiteral("Encryption"));
    c.decryption = b.make<QRadioButton>(c.Frame3, "decryption", {120, 375, 2400, 240},
                                        QStringLiteral("Decryption"));
    c.encryption->setChecked(true);

    c.Label4 =
        b.label(f, "Label4", {240, 2760, 2655, 225}, QStringLiteral("Enter encryption key:"));
    c.txtPass1 = b.keyBox(f, "txtPass1", {240, 3000, 2655, 285});
    c.Label4->setBuddy(c.txtPass1);
    c.Label8 =
        b.label(f, "Label8", {3120, 2760, 2655, 225}, QStringLiteral("Re-enter encryption key:"));
    c.txtPass2 = b.keyBox(f, "txtPass2", {3120, 3000, 2655, 285});
    c.Label8->setBuddy(c.txtPass2);

    c.LevelFrame = b.frame(f, "LevelFrame", {240, 3480, 5535, 1215},
                           QStringLiteral(" Encryption Key Strength"),
                           QStringLiteral("Encryption Key Strength"));
    c.pgKey = b.bar(c.LevelFrame, "pgKey", {360, 360, 4695, 255},
                    QStringLiteral("Encryption key strength"));
    c.Label5 = b.label(c.LevelFrame, "Label5", {360, 660, 1200, 225}, QStringLiteral("Low"));
    c.Label9 = b.label(c.LevelFrame, "Label9", {2107, 660, 1200, 225}, QStringLiteral("Average"));
    c.Label9->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    c.Label11 = b.label(c.LevelFrame, "Label11", {3855, 660, 1200, 225}, QStringLiteral("High"));
    c.Label11->setAlignment(Qt::AlignRight | Qt::AlignTop);

    // The history pair on the upper row, help and system information below.
    c.btnViewHistory =
        b.button(f, "btnViewHistory", {240, 4800, 2100, 285}, QStringLiteral("View History"));
    c.btnClearHis =
        b.button(f, "btnClearHis", {2460, 4800, 2100, 285}, QStringLiteral("Clear History"));
    c.btnAbout = b.button(f, "btnAbout", {240, 5130, 2100, 285}, QStringLiteral("Help"));
    c.btnHelp = b.button(f, "btnHelp", {2460, 5130, 2100, 285}, QStringLiteral("System Info"));
    c.btnSTART = b.button(f, "btnSTART", {4680, 4800, 1095, 615}, QStringLiteral("Encrypt!"));
    c.Command4 =
        b.make<QPushButton>(f, "Command4", {4680, 4800, 1095, 615}, QStringLiteral("Exit"));
    c.Command4->hide();

    c.ElapsedTimer = new QTimer(f);
    c.ElapsedTimer->setObjectName(QStringLiteral("ElapsedTimer"));
}

void buildProgressAndStatus(Builder& b, QWidget& form, Controls& c) {
    c.indication_frame = b.frame(&form, "indication_frame", {120, 6240, 9375, 1455},
                                 QStringLiteral("Encryption Progress Indication Panel "),
                                 QStringLiteral("Encryption Progress Indication Panel"));
    c.Label2 = b.label(c.indication_frame, "Label2", {240, 375, 1740, 225},
                       QStringLiteral("Total crypto progress"));
    c.ProgressBar2 = b.bar(c.indication_frame, "ProgressBar2", {2040, 360, 6735, 255},
                           QStringLiteral("Total crypto progress"));
    c.lblElapsed = b.label(c.indication_frame, "lblElapsed", {2040, 735, 6735, 225}, QString());
    c.lblElapsed->hide();

    c.StatusBox = b.make<QWidget>(&form, "StatusBox", {120, 7800, 9390, 375});
    c.StatusBox->setAutoFillBackground(true);
    c.StatusBox->setAccessibleName(QStringLiteral("Status panel"));
    c.Status = b.label(c.StatusBox, "Status", {120, 45, 600, 225}, QStringLiteral("Status"));
    c.Status->adjustSize();
}

} // namespace

Controls buildControls(QWidget& form, const TwipScale& scale) {
    // Before any element exists, so that no interface of the general kind is made for one.
    ImageElement::installAccessibility();
    Builder b(scale);
    Controls c;
    buildTitleBar(b, form, c);
    buildFileSelection(b, form, c);
    buildSettings(b, form, c);
    buildProgressAndStatus(b, form, c);
    // The title bar's buttons and text lie above the frames.
    for (QWidget* top : {static_cast<QWidget*>(c.Image1), static_cast<QWidget*>(c.TitlebarIco),
                         static_cast<QWidget*>(c.Label7), static_cast<QWidget*>(c.Image3),
                         static_cast<QWidget*>(c.Image2)}) {
        top->raise();
    }
    return c;
}

} // namespace vornal
