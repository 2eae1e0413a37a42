#include "runtime/SmoothProgressBar.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

TSmoothProgressBar::TSmoothProgressBar(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent, false);
}

void TSmoothProgressBar::SetMaximum(int maximum) {
    if (maximum == maximum_)
        return;
    maximum_ = maximum;
    update();
}

void TSmoothProgressBar::SetPosition(int position) {
    if (position == position_)
        return;
    position_ = position;
    update();
}

void TSmoothProgressBar::StepIt() {
    SetPosition(position_ + step_);
}

double TSmoothProgressBar::FilledFraction() const noexcept {
    if (maximum_ <= 0)
        return 0.0;
    const int clamped = std::clamp(position_, 0, maximum_);
    return static_cast<double>(clamped) / static_cast<double>(maximum_);
}

QSize TSmoothProgressBar::sizeHint() const {
    return {200, 24};
}

void TSmoothProgressBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);

    const QRectF outer = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    const qreal radius = std::min<qreal>(outer.height() / 2.0, 8.0);

    // Trough: light grey, a shade darker at the top, thin grey rim.
    QLinearGradient trough(outer.topLeft(), outer.bottomLeft());
    trough.setColorAt(0.0, QColor(214, 218, 224));
    trough.setColorAt(1.0, QColor(240, 242, 245));
    painter.setPen(QPen(QColor(160, 166, 176), 1.0));
    painter.setBrush(trough);
    painter.drawRoundedRect(outer, radius, radius);

    const double fraction = FilledFraction();
    if (fraction <= 0.0)
        return;

    // Fill: a blue-green gradient with a soft highlight on its upper half, clipped to the trough.
    const QRectF inner = outer.adjusted(2.0, 2.0, -2.0, -2.0);
    if (inner.width() <= 0.0 || inner.height() <= 0.0)
        return;
    QRectF filled = inner;
    filled.setWidth(inner.width() * fraction);
    const qreal innerRadius = std::max<qreal>(radius - 2.0, 0.0);

    QPainterPath clip;
    clip.addRoundedRect(inner, innerRadius, innerRadius);
    painter.setClipPath(clip);

    QLinearGradient body(filled.topLeft(), filled.bottomLeft());
    body.setColorAt(0.0, QColor(96, 178, 255));
    body.setColorAt(0.5, QColor(38, 128, 222));
    body.setColorAt(1.0, QColor(24, 96, 184));
    painter.setPen(Qt::NoPen);
    painter.setBrush(body);
    painter.drawRoundedRect(filled, innerRadius, innerRadius);

    QRectF gloss = filled;
    gloss.setHeight(filled.height() / 2.0);
    QLinearGradient shine(gloss.topLeft(), gloss.bottomLeft());
    shine.setColorAt(0.0, QColor(255, 255, 255, 110));
    shine.setColorAt(1.0, QColor(255, 255, 255, 10));
    painter.setBrush(shine);
    painter.drawRoundedRect(gloss, innerRadius, innerRadius);
}
