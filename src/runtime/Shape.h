#pragma once
// A shape control: a circle filled with the brush colour and outlined with the pen, centred in
// the widget at the size of its smaller side (the link lamp). Any mouse button pressed on it
// emits MouseDown.
#include <QColor>
#include <QWidget>

class TShape : public QWidget {
    Q_OBJECT
public:
    explicit TShape(QWidget* parent = nullptr);

    QColor BrushColor() const { return brush_; }
    void SetBrushColor(const QColor& colour);
    QColor PenColor() const { return pen_; }
    void SetPenColor(const QColor& colour);
    int PenWidth() const noexcept { return penWidth_; }
    void SetPenWidth(int width);

signals:
    void MouseDown(Qt::MouseButton button);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    QColor brush_ = Qt::white;
    QColor pen_ = Qt::black;
    int penWidth_ = 1;
};
