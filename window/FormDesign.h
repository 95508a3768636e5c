#pragma once

#include "window/Placement.h"

#include <QFont>
#include <QRect>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTimer;
class QWidget;

namespace vornal {

class DirListBox;
class DriveListBox;
class FileListBox;
class ImageButton;
class ImageElement;

// Twips to the window's pixels at the screen's dots per inch.
class TwipScale {
public:
    explicit TwipScale(double dpi = 96) : dpi_(dpi) {}
    [[nodiscard]] double dpi() const noexcept { return dpi_; }
    [[nodiscard]] int px(double twips) const { return twipsToPixels(twips, dpi_); }
    [[nodiscard]] double twips(double pixels) const { return pixelsToTwips(pixels, dpi_); }
    // Edges rounded one by one, so that neighbours meet without a gap.
    [[nodiscard]] QRect rect(const TwipRect& r) const;
    [[nodiscard]] TwipRect twipRect(const QRect& r) const;

private:
    double dpi_;
};

// Every control of the main window. Each widget's object name is its control name.
struct Controls {
    // Title bar.
    ImageElement* Image1 = nullptr;
    ImageElement* Image2 = nullptr;
    ImageElement* Image3 = nullptr;
    ImageElement* TitlebarIco = nullptr;
    QLabel* Label7 = nullptr;
    ImageElement* Image8 = nullptr;
    ImageElement* Image5 = nullptr;
    ImageElement* Image6 = nullptr;
    ImageElement* Image7 = nullptr;
    ImageElement* Image9 = nullptr;
    ImageElement* Image10 = nullptr;

    // File selection.
    QGroupBox* Frame1 = nullptr;
    DriveListBox* DriveList = nullptr;
    DirListBox* DirList = nullptr;
    FileListBox* FileList = nullptr;

    // Settings panel.
    QGroupBox* Frame2 = nullptr;
    QLabel* Label6 = nullptr;
    QLabel* Label10 = nullptr;
    QLabel* Label3 = nullptr;
    QLineEdit* filepath = nullptr;
    QPlainTextEdit* stringpath = nullptr;
    ImageButton* view_file = nullptr;
    QLabel* labelFileSize = nullptr;
    QGroupBox* Frame4 = nullptr;
    QRadioButton* optFile = nullptr;
    QRadioButton* optString = nullptr;
    QGroupBox* Frame3 = nullptr;
    QRadioButton* encryption = nullptr;
    QRadioButton* decryption = nullptr;
    QLabel* Label4 = nullptr;
    QLineEdit* txtPass1 = nullptr;
    QLabel* Label8 = nullptr;
    QLineEdit* txtPass2 = nullptr;
    QGroupBox* LevelFrame = nullptr;
    QProgressBar* pgKey = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label9 = nullptr;
    QLabel* Label11 = nullptr;
    ImageButton* btnHelp = nullptr;
    ImageButton* btnViewHistory = nullptr;
    ImageButton* btnAbout = nullptr;
    ImageButton* btnClearHis = nullptr;
    ImageButton* btnSTART = nullptr;
    QPushButton* Command4 = nullptr;
    QTimer* ElapsedTimer = nullptr;

    // Progress and status.
    QGroupBox* indication_frame = nullptr;
    QLabel* Label2 = nullptr;
    QProgressBar* ProgressBar2 = nullptr;
    QLabel* lblElapsed = nullptr; // the elapsed time while an operation runs
    QWidget* StatusBox = nullptr;
    QLabel* Status = nullptr;
};

// The design size of the window's client area, before start-up narrows it.
inline constexpr TwipRect kDesignWindow{0, 0, 9810, 8265};

// Creates every control on form at its design place, with its design text, font and
// initial state, and names it for test automation and assistive technology.
[[nodiscard]] Controls buildControls(QWidget& form, const TwipScale& scale);

// The design rectangles of the title-bar elements.
struct TitleBarDesign {
    TwipRect strip{-2520, 120, 12000, 435};
    TwipRect closeButton{9060, 165, 300, 300};
    TwipRect secondButton{8715, 165, 300, 300};
    TwipRect icon{600, 120, 240, 240};
};

// A family that is installed: the first of the wanted ones, else DejaVu Sans, else the
// system's sans-serif.
[[nodiscard]] QFont designFont(const QString& wanted, double points, bool bold = false);

} // namespace vornal
