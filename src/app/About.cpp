#include "app/About.h"

#include <QFontMetrics>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QShowEvent>

namespace {

// The product's picture: its name on a deep blue to teal gradient, with a few flow lines.
QPixmap ProductPicture(int width, int height) {
    QPixmap picture(width, height);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);

    const QRectF area(0, 0, width, height);
    QLinearGradient sky(area.topLeft(), area.bottomRight());
    sky.setColorAt(0.0, QColor(16, 42, 92));
    sky.setColorAt(1.0, QColor(18, 132, 150));
    painter.setPen(Qt::NoPen);
    painter.setBrush(sky);
    painter.drawRoundedRect(area, 10, 10);

    // Streamlines across the lower half.
    for (int i = 0; i < 4; ++i) {
        QPainterPath line;
        const qreal y = height * (0.62 + 0.09 * i);
        line.moveTo(0, y);
        line.cubicTo(width * 0.3, y - 10 + 4 * i, width * 0.6, y + 10 - 4 * i, width, y - 2);
        painter.setPen(QPen(QColor(255, 255, 255, 90 - 18 * i), 2.0));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(line);
    }

    // The name as large as fits in about five sixths of the width.
    const QString name = QStringLiteral("Vextor Config");
    int cell = height * 2 / 5;
    QFont title = FontOfCellHeight(QStringLiteral("Tahoma"), cell, true);
    while (cell > 8 && QFontMetrics(title).horizontalAdvance(name) > width * 5 / 6)
        title = FontOfCellHeight(QStringLiteral("Tahoma"), --cell, true);
    painter.setFont(title);
    painter.setPen(Qt::white);
    painter.drawText(QRectF(0, height * 0.08, width, height * 0.5), Qt::AlignCenter, name);
    return picture;
}

} // namespace

TInfoForm::TInfoForm(QWidget* mainWindow, QWidget* parent)
    : TForm("TInfoForm", parent), mainWindow_(mainWindow) {
    setWindowTitle(QStringLiteral("About"));
    SetBorderIcons(biSystemMenu);
    SetClientSize(291, 368);

    Image1.setObjectName(QStringLiteral("Image1"));
    Image1.setGeometry(8, 8, 275, 105);
    Image1.setScaledContents(true);
    Image1.setPixmap(ProductPicture(275, 105));

    Label1.setObjectName(QStringLiteral("Label1"));
    Label1.setText(QStringLiteral("Configuratore Vextor "));
    Label1.move(16, 136);
    Label1.adjustSize();

    Label2.setObjectName(QStringLiteral("Label2"));
    Label2.setText(QStringLiteral("Versione ") + QLatin1String(ProgramVersion));
    Label2.move(16, 155);
    Label2.adjustSize();

    Button1.setObjectName(QStringLiteral("Button1"));
    Button1.setText(QStringLiteral("OK"));
    Button1.setGeometry(96, 319, 99, 41);
    QObject::connect(&Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
}

void TInfoForm::FormShow() {
    if (mainWindow_ != nullptr)
        move(mainWindow_->pos() + QPoint(20, 20));
}

void TInfoForm::Button1Click() {
    hide();
}

void TInfoForm::showEvent(QShowEvent* event) {
    TForm::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}
