#include "runtime/DoubleClickAction.h"

#include <QLineF>
#include <QMouseEvent>
#include <QPointingDevice>
#include <QTouchEvent>
#include <QWidget>

#include <utility>

DoubleClickAction::DoubleClickAction(QObject* parent, std::function<void()> action, Touch touch)
    : QObject(parent), action_(std::move(action)), touch_(touch) {}

void DoubleClickAction::Watch(QWidget& widget) {
    if (touch_ == Touch::Tap)
        widget.setAttribute(Qt::WA_AcceptTouchEvents);
    widget.installEventFilter(this);
}

bool DoubleClickAction::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::MouseButtonDblClick:
        if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton && action_)
            action_();
        return false;
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TouchCancel:
        if (touch_ == Touch::Tap && watched->isWidgetType())
            return TouchEvent(*static_cast<QWidget*>(watched), *event);
        return false;
    default:
        return false;
    }
}

bool DoubleClickAction::TouchEvent(QWidget& widget, QEvent& event) {
    auto& touch = static_cast<QTouchEvent&>(event);
    const QPointingDevice* device = touch.pointingDevice();
    if (device != nullptr && device->type() != QInputDevice::DeviceType::TouchScreen)
        return false;
    const bool onePoint = touch.pointCount() == 1;
    const QPointF where = onePoint ? touch.point(0).globalPosition() : QPointF();
    switch (event.type()) {
    case QEvent::TouchBegin:
        tracking_ = onePoint;
        start_ = where;
        since_.start();
        break;
    case QEvent::TouchUpdate:
        if (!onePoint || QLineF(start_, where).length() > TapSlopPixels)
            tracking_ = false;
        break;
    case QEvent::TouchEnd: {
        const bool tap = tracking_ && onePoint && since_.elapsed() <= TapMaxMs &&
                         QLineF(start_, where).length() <= TapSlopPixels;
        tracking_ = false;
        if (tap) {
            widget.setFocus(Qt::MouseFocusReason);
            if (action_)
                action_();
        }
        break;
    }
    default: // TouchCancel
        tracking_ = false;
        break;
    }
    touch.accept();
    return true;
}
