#pragma once
// Runs an action when the user opens a box: a double-click with the left mouse button, and, where
// asked for, a short tap of one finger on a touch screen. A single mouse click still only places
// the cursor, and the box still gets its clicks.
//
// A tap is a touch that ends within TapMaxMs of its start and never moves more than
// TapSlopPixels from where it began; a longer touch, one that wanders (a swipe) or a second
// finger is no tap. With taps the watched widgets accept touch events, so a touch on them is not
// turned into mouse presses: the tap gives the box the focus itself. Touch pads (whose touches
// are pointer moves) are left to the toolkit.
#include <QElapsedTimer>
#include <QObject>
#include <QPointF>

#include <functional>

class QWidget;

class DoubleClickAction : public QObject {
public:
    enum class Touch { Ignore, Tap };
    static constexpr int TapMaxMs = 700;
    static constexpr double TapSlopPixels = 16.0;

    DoubleClickAction(QObject* parent, std::function<void()> action, Touch touch = Touch::Ignore);

    // Starts watching a widget (any number of them share the action).
    void Watch(QWidget& widget);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool TouchEvent(QWidget& widget, QEvent& event);

    std::function<void()> action_;
    Touch touch_;
    bool tracking_ = false;
    QPointF start_;
    QElapsedTimer since_;
};
