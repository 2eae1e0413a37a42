#pragma once
// A smooth progress bar: a rounded trough with a soft gradient fill, no text. Integer positions
// from 0 to Maximum; a position outside that range is kept as set and drawn clamped.
#include <QWidget>

class TSmoothProgressBar : public QWidget {
public:
    explicit TSmoothProgressBar(QWidget* parent = nullptr);

    int Maximum() const noexcept { return maximum_; }
    void SetMaximum(int maximum);
    int Position() const noexcept { return position_; }
    void SetPosition(int position);
    int Step() const noexcept { return step_; }
    void SetStep(int step) noexcept { step_ = step; }
    // Position += Step.
    void StepIt();

    // The filled part as drawn: Position / Maximum clamped to 0..1 (0 when Maximum <= 0).
    double FilledFraction() const noexcept;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int maximum_ = 100;
    int position_ = 0;
    int step_ = 10;
};
