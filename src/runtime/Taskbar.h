#pragma once
// The desktop's panels. On a 1024 x 768 screen the main window takes the whole screen while the
// application runs, covering the desktop's panels (the Windows version hid the taskbar), and
// gives them back at exit. On any other screen size nothing changes.
class QWidget;

// True when the window's screen is exactly 1024 x 768 pixels.
bool IsSmallScreen(const QWidget& window);
// Covers the desktop's panels with the window when the screen is 1024 x 768. Returns whether it
// did.
bool HideTaskbar(QWidget& window);
// Gives the panels back if HideTaskbar covered them; otherwise changes nothing.
void ShowTaskbar(QWidget& window);
