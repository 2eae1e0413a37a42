#pragma once
// The base of every window, and the fonts the windows are designed with.
//
// A TForm is a top-level widget that closing only hides (its timers keep running). Its class
// name is the translation context of its texts; its object name is the class name without the
// leading 'T' ("TDiagnoseForm" -> "DiagnoseForm"). It registers itself with the translation
// runtime, which re-captions it by its controls' object names at a language switch and then
// calls Retranslate().
//
// Window sizes and fonts are given in pixels of a 96 DPI screen. A font "N px high" means its
// cell height (QFontMetrics::height()) is N pixels; a font of P points is P * 96 / 72 pixels
// from the top of its accents to the bottom of its descenders (the em size).
#include <QFont>
#include <QString>
#include <QWidget>

#include <string>
#include <string_view>

class QCloseEvent;

// Registers the fonts the windows use ("Tahoma", "Tahoma" bold, "MS Sans Serif") from the
// system's Wine font directory. Needs a QGuiApplication; does its work once. True when Tahoma is
// available afterwards. The font helpers below call it themselves.
bool RegisterApplicationFonts();
// The family itself when it is installed or registered, else "DejaVu Sans".
QString FontFamily(const QString& family);
// A font whose cell height is px pixels (the largest size that does not exceed it).
QFont FontOfCellHeight(const QString& family, int px, bool bold = false);
// A font of the given size in points, taken at 96 DPI whatever the screen's DPI.
QFont FontOfPoints(const QString& family, int points, bool bold = false);
// A font given as the designer's height: negative, the em size in pixels (-11 is 8 points);
// positive, the cell height in pixels.
QFont VclFont(const QString& family, int height, bool bold = false);
// The windows' base font: Tahoma 8 points.
QFont BaseFont();

class TForm : public QWidget {
    Q_OBJECT
public:
    // Border icons of SetBorderIcons; the system menu brings the close button.
    enum BorderIcon { biSystemMenu = 1, biMinimize = 2, biMaximize = 4 };

    // className: the window class, "TMainForm". The window starts hidden, with the base font.
    explicit TForm(std::string_view className, QWidget* parent = nullptr);
    ~TForm() override;

    // The translation context of this window.
    const char* ClassName() const noexcept { return className_.c_str(); }
    // Fixes the client area (the widget without the window frame) to width x height.
    void SetClientSize(int width, int height);
    // Shows only the given border icons (a combination of BorderIcon).
    void SetBorderIcons(int icons);

    // The text of one of this window's string keys in the active language.
    QString Text(std::string_view key) const;

    // Called by the translation runtime after it has applied the new language's table to this
    // window: re-caption here what the table does not reach (created controls, computed texts).
    virtual void Retranslate() {}

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    std::string className_;
};
