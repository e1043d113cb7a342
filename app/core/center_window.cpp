#include "core/center_window.h"

#include <algorithm>

namespace ksx4 {
namespace {

constexpr double kTwipsPerPixel = 15.0;  // at 96 dpi
constexpr double kRaiseTwips = 500.0;

}  // namespace

QPoint centeredWindowTopLeft(const QRect& screen, const QSize& window) {
    const double top =
        screen.height() * 0.99 / 2.0 - window.height() / 2.0 - kRaiseTwips / kTwipsPerPixel;
    const double left = screen.width() / 2.0 - window.width() / 2.0;
    const int x = screen.left() + std::max(0, static_cast<int>(left));
    const int y = screen.top() + std::max(0, static_cast<int>(top));
    return {x, y};
}

}  // namespace ksx4
