#pragma once
// centerWindow: where the main window opens. Horizontally centred; vertically
// a little above the centre (500 twips, a third of an inch, higher).
#include <QPoint>
#include <QRect>
#include <QSize>

namespace ksx4 {

// screen: the available screen area in device-independent pixels; window: the
// window's frame size. The window is kept inside the screen, so a window
// taller than the offset allows still shows its title bar.
QPoint centeredWindowTopLeft(const QRect& screen, const QSize& window);

}  // namespace ksx4
