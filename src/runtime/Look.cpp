#include "runtime/Look.h"

#include "runtime/Form.h"

#include <QApplication>
#include <QHelpEvent>
#include <QLabel>
#include <QPalette>
#include <QPointer>
#include <QRawFont>
#include <QToolTip>
#include <QWidget>

#include <cmath>

QColor VextorColors::ButtonFace() {
    return QApplication::palette().color(QPalette::Button);
}

void SetBoxColor(QWidget& box, const QColor& colour) {
    QPalette palette = box.palette();
    if (palette.color(QPalette::Base) == colour && palette.color(QPalette::Button) == colour)
        return;
    palette.setColor(QPalette::Base, colour);
    palette.setColor(QPalette::Button, colour); // a choice box that cannot be typed into
    box.setPalette(palette);
}

QColor BoxColor(const QWidget& box) {
    return box.palette().color(QPalette::Base);
}

void SetPanelColor(QWidget& panel, const QColor& colour) {
    QPalette palette = panel.palette();
    palette.setColor(QPalette::Window, colour);
    panel.setPalette(palette);
    panel.setAutoFillBackground(true);
}

void SetupPanel(QLabel& panel, const char* name, const QRect& place) {
    panel.setObjectName(QLatin1String(name));
    panel.setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel.setLineWidth(1);
    panel.setAlignment(Qt::AlignCenter);
    panel.setGeometry(place);
}

void SetCaption(QLabel& label, const QString& text) {
    if (label.text() == text)
        return;
    label.setText(text);
    label.adjustSize();
}

namespace {

// Shows every hint for a fixed time (Qt's own time depends on the text's length). A widget that
// sets its own duration keeps it.
class HintDuration : public QObject {
public:
    explicit HintDuration(QObject* parent) : QObject(parent) {}
    int VisibleMs = 15000;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::ToolTip || !watched->isWidgetType())
            return false;
        auto* widget = static_cast<QWidget*>(watched);
        if (widget->toolTip().isEmpty() || widget->toolTipDuration() >= 0)
            return false; // the parent's hint, or the widget's own duration
        const auto* help = static_cast<QHelpEvent*>(event);
        QToolTip::showText(help->globalPos(), widget->toolTip(), widget, QRect(), VisibleMs);
        return true;
    }
};

QPointer<HintDuration> g_hints;

} // namespace

void SetApplicationHints(const QColor& colour, int visibleMs) {
    QPalette palette = QToolTip::palette();
    palette.setColor(QPalette::ToolTipBase, colour);
    palette.setColor(QPalette::ToolTipText, VextorColors::Black);
    QToolTip::setPalette(palette);
    if (g_hints == nullptr && QCoreApplication::instance() != nullptr) {
        g_hints = new HintDuration(QCoreApplication::instance()); // owned by the application
        QCoreApplication::instance()->installEventFilter(g_hints);
    }
    if (g_hints != nullptr)
        g_hints->VisibleMs = visibleMs;
}

int ApplicationHintVisibleMs() {
    return g_hints != nullptr ? g_hints->VisibleMs : -1;
}

namespace {

int Be16(const QByteArray& table, int offset) {
    return (static_cast<uint8_t>(table[offset]) << 8) | static_cast<uint8_t>(table[offset + 1]);
}

// The font's Windows metrics: units per em and the ascent and descent that make its cell.
struct WindowsMetrics {
    int UnitsPerEm = 0;
    int WinAscent = 0;
    int WinDescent = 0;
};
WindowsMetrics MetricsOf(const QFont& font) {
    const QRawFont raw = QRawFont::fromFont(font);
    const QByteArray head = raw.fontTable("head");
    const QByteArray os2 = raw.fontTable("OS/2");
    if (head.size() < 20 || os2.size() < 78)
        return {};
    return {Be16(head, 18), Be16(os2, 74), Be16(os2, 76)};
}

int CellOf(const WindowsMetrics& m, int ppem) {
    return static_cast<int>(std::lround(double(ppem) * m.WinAscent / m.UnitsPerEm)) +
           static_cast<int>(std::lround(double(ppem) * m.WinDescent / m.UnitsPerEm));
}

} // namespace

QFont DesignFont(int cellHeight, bool bold) {
    QFont font = FontOfCellHeight(QStringLiteral("Tahoma"), cellHeight, bold);
    const WindowsMetrics m = MetricsOf(font);
    if (m.UnitsPerEm <= 0 || m.WinAscent + m.WinDescent <= 0)
        return font; // no Windows metrics: the toolkit's cell height stands
    int ppem = 1;
    while (CellOf(m, ppem + 1) <= cellHeight)
        ++ppem;
    font.setPixelSize(ppem);
    return font;
}

int DesignCellHeight(const QFont& font) {
    const WindowsMetrics m = MetricsOf(font);
    if (m.UnitsPerEm <= 0 || m.WinAscent + m.WinDescent <= 0)
        return QFontMetrics(font).height();
    return CellOf(m, font.pixelSize());
}
