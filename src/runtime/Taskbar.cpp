#include "runtime/Taskbar.h"

#include <QScreen>
#include <QWidget>

namespace {
constexpr const char* kCoveredProperty = "vextorCoversTaskbar";
}

bool IsSmallScreen(const QWidget& window) {
    const QScreen* screen = window.screen();
    return screen && screen->size() == QSize(1024, 768);
}

bool HideTaskbar(QWidget& window) {
    if (!IsSmallScreen(window))
        return false;
    window.setProperty(kCoveredProperty, true);
    window.setWindowState(window.windowState() | Qt::WindowFullScreen);
    return true;
}

void ShowTaskbar(QWidget& window) {
    if (!window.property(kCoveredProperty).toBool())
        return;
    window.setProperty(kCoveredProperty, false);
    window.setWindowState(window.windowState() & ~Qt::WindowFullScreen);
}
