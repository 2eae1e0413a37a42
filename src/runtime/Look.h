#pragma once
// The shared look of every window: the colours that carry state, box and panel colours, the
// designed Tahoma sizes and the application-wide hints.
#include <QColor>
#include <QFont>

class QLabel;
class QRect;
class QString;
class QWidget;

// The colours that carry state.
namespace VextorColors {
inline const QColor Lime{0, 255, 0};
inline const QColor Yellow{255, 255, 0};
inline const QColor Blue{0, 0, 255};
inline const QColor Red{255, 0, 0};
inline const QColor Aqua{0, 255, 255};
inline const QColor SkyBlue{166, 202, 240};
inline const QColor Silver{192, 192, 192};
inline const QColor White{255, 255, 255};
inline const QColor Black{0, 0, 0};
// The system's colour of button faces (no link).
QColor ButtonFace();
} // namespace VextorColors

// The background of an edit or choice box, and of a label or panel.
void SetBoxColor(QWidget& box, const QColor& colour);
QColor BoxColor(const QWidget& box);
void SetPanelColor(QWidget& panel, const QColor& colour);

// A panel: raised bevel, centred caption, at its place.
void SetupPanel(QLabel& panel, const char* name, const QRect& place);
// A label's caption, sized to its text; nothing happens when the text is already shown.
void SetCaption(QLabel& label, const QString& text);

// The windows' Tahoma at a cell height as the designer gave it: the largest size whose cell, from
// the font's Windows ascent and descent, fits in cellHeight pixels. Qt measures Wine's Tahoma by
// its typographic metrics, whose cell is about a sixth smaller than the Windows one, so a font
// sized on Qt's cell would be too large for the designed places.
QFont DesignFont(int cellHeight, bool bold = false);
// The Windows cell height of a font (Qt's height when the font has no Windows metrics).
int DesignCellHeight(const QFont& font);

// Application-wide hints: background colour and the time a hint stays up. Installs itself once
// on the application; later calls change the values.
void SetApplicationHints(const QColor& colour, int visibleMs);
int ApplicationHintVisibleMs();
