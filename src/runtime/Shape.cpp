#include "runtime/Shape.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

TShape::TShape(QWidget* parent) : QWidget(parent) {}

void TShape::SetBrushColor(const QColor& colour) {
    if (colour == brush_)
        return;
    brush_ = colour;
    update();
}

void TShape::SetPenColor(const QColor& colour) {
    if (colour == pen_)
        return;
    pen_ = colour;
    update();
}

void TShape::SetPenWidth(int width) {
    width = std::max(width, 0);
    if (width == penWidth_)
        return;
    penWidth_ = width;
    update();
}

void TShape::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal side = std::min(width(), height());
    const qreal inset = penWidth_ / 2.0;
    const QRectF circle((width() - side) / 2.0 + inset, (height() - side) / 2.0 + inset,
                        side - penWidth_, side - penWidth_);
    if (penWidth_ > 0)
        painter.setPen(QPen(pen_, penWidth_));
    else
        painter.setPen(Qt::NoPen);
    painter.setBrush(brush_);
    painter.drawEllipse(circle);
}

void TShape::mousePressEvent(QMouseEvent* event) {
    emit MouseDown(event->button());
    event->accept();
}
