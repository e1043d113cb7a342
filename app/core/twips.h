#pragma once
// Window layouts are given in twips (1/1440 inch); 15 twips make one pixel at
// 96 dpi, and Qt's high-DPI scaling takes it from there.
#include <QRect>

#include <cmath>

namespace ksx4::twips {

inline constexpr double kTwipsPerPixel = 15.0;

inline int px(int twips) {
    return static_cast<int>(std::lround(twips / kTwipsPerPixel));
}

inline QRect rect(int left, int top, int width, int height) {
    return {px(left), px(top), px(width), px(height)};
}

}  // namespace ksx4::twips
