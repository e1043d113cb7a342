#include "platform/xls/xf_encoding.h"

#include <cstring>

namespace ksx4::xls {
namespace {

constexpr uint8_t kAutoForeground = 0x40;
constexpr uint8_t kAutoBackground = 0x41;

uint8_t horizontalCode(int alignment) {
    switch (alignment) {
        case kXlLeft:
            return 1;
        case kXlCenter:
            return 2;
        case kXlRight:
            return 3;
        case 5:
            return 4;  // fill
        case -4130:
            return 5;  // justify
        case 7:
            return 6;  // centre across selection
        case -4117:
            return 7;  // distributed
        default:
            return 0;  // general
    }
}

uint8_t verticalCode(int alignment) {
    switch (alignment) {
        case kXlTop:
            return 0;
        case kXlCenter:
            return 1;
        case -4130:
            return 3;  // justify
        case -4117:
            return 4;  // distributed
        default:
            return 2;  // bottom
    }
}

uint8_t rotationCode(int degrees) {
    if (degrees == -4166) return 255;  // letters stacked vertically
    if (degrees < 0) return static_cast<uint8_t>(90 - degrees);
    return static_cast<uint8_t>(degrees);
}

// The file's line style for a border's style and weight; 0: no line.
uint32_t lineCode(int style, int weight) {
    constexpr int kHairline = 1, kMedium = -4138, kThick = 4;
    const bool heavy = weight == kMedium || weight == kThick;
    switch (style) {
        case kXlContinuous:
            if (weight == kHairline) return 7;
            if (weight == kMedium) return 2;
            if (weight == kThick) return 5;
            return 1;
        case -4115:
            return heavy ? 8 : 3;  // dash
        case -4118:
            return 4;  // dot
        case -4119:
            return 6;  // double
        case 4:
            return heavy ? 10 : 9;  // dash-dot
        case 5:
            return heavy ? 12 : 11;  // dash-dot-dot
        case 13:
            return 13;  // slanted dash-dot
        default:
            return 0;
    }
}

uint32_t fillCode(int colorIndex, int pattern) {
    if (colorIndex == kXlNone) return 0;
    switch (pattern) {
        case kXlNone:
            return 0;
        case -4126:
            return 3;  // 75% grey
        case -4125:
            return 2;  // 50%
        case -4124:
            return 4;  // 25%
        case 17:
            return 0x11;  // 12.5%
        case 18:
            return 0x12;  // 6.25%
        default:
            return 1;  // solid, automatic, or a colour without a pattern
    }
}

struct Edge {
    uint32_t line;
    uint32_t colour;
};

Edge edge(const FormatValues& v, BorderSide side) {
    const uint32_t line = lineCode(v[borderPropertyIndex(side, BorderField::LineStyle)],
                                   v[borderPropertyIndex(side, BorderField::Weight)]);
    if (line == 0) return {0, 0};
    return {line,
            paletteColour(v[borderPropertyIndex(side, BorderField::ColorIndex)], kAutoForeground)};
}

XfRecord pack(uint16_t font, uint16_t format, uint16_t flags, uint8_t alignment, uint8_t rotation,
              uint8_t indent, uint8_t used, uint32_t border1, uint32_t border2, uint16_t fill) {
    XfRecord r{};
    std::memcpy(&r[0], &font, 2);
    std::memcpy(&r[2], &format, 2);
    std::memcpy(&r[4], &flags, 2);
    r[6] = alignment;
    r[7] = rotation;
    r[8] = indent;
    r[9] = used;
    std::memcpy(&r[10], &border1, 4);
    std::memcpy(&r[14], &border2, 4);
    std::memcpy(&r[18], &fill, 2);
    return r;
}

constexpr uint16_t kNoFill = kAutoForeground | (kAutoBackground << 7);
constexpr uint16_t kStyleFlags = 0xFFF5;  // locked, a style, no parent
constexpr uint16_t kCellFlags = 0x0001;   // locked, parent style XF 0
constexpr uint8_t kGeneralBottom = 0x20;

}  // namespace

uint8_t paletteColour(int colorIndex, uint8_t automatic) {
    if (colorIndex >= 1 && colorIndex <= 56) return static_cast<uint8_t>(colorIndex + 7);
    return automatic;
}

XfRecord encodeCellXf(const FormatValues& v, uint16_t fontIndex, uint16_t formatIndex) {
    auto at = [&](Property p) { return v[propertyIndex(p)]; };
    const uint8_t alignment = static_cast<uint8_t>(
        horizontalCode(at(Property::HorizontalAlignment)) | (at(Property::WrapText) ? 0x08 : 0) |
        (verticalCode(at(Property::VerticalAlignment)) << 4));
    const uint8_t indent = static_cast<uint8_t>((at(Property::IndentLevel) & 0x0F) |
                                                (at(Property::ShrinkToFit) ? 0x10 : 0));
    const Edge left = edge(v, BorderSide::Left), right = edge(v, BorderSide::Right);
    const Edge top = edge(v, BorderSide::Top), bottom = edge(v, BorderSide::Bottom);
    const Edge down = edge(v, BorderSide::DiagonalDown), up = edge(v, BorderSide::DiagonalUp);
    const Edge diagonal = down.line != 0 ? down : up;
    const uint32_t diagonalFlags = (down.line != 0 ? 1u : 0u) | (up.line != 0 ? 2u : 0u);
    const uint32_t border1 = left.line | (right.line << 4) | (top.line << 8) | (bottom.line << 12) |
                             (left.colour << 16) | (right.colour << 23) | (diagonalFlags << 30);
    const int colour = at(Property::InteriorColorIndex);
    const uint32_t pattern = fillCode(colour, at(Property::InteriorPattern));
    const uint32_t border2 = top.colour | (bottom.colour << 7) | (diagonal.colour << 14) |
                             (diagonal.line << 21) | (pattern << 26);
    const uint16_t fill = pattern == 0
                              ? kNoFill
                              : static_cast<uint16_t>(paletteColour(colour, kAutoForeground) |
                                                      (kAutoBackground << 7));
    // Every attribute is the cell's own, none taken from the parent style.
    return pack(fontIndex, formatIndex, kCellFlags, alignment,
                rotationCode(at(Property::Orientation)), indent, 0xFC, border1, border2, fill);
}

XfRecord defaultCellXf() {
    return pack(0, 0, kCellFlags, kGeneralBottom, 0, 0, 0, 0, 0, kNoFill);
}

XfRecord styleXf(int index) {
    if (index == 0) return pack(0, 0, kStyleFlags, kGeneralBottom, 0, 0, 0, 0, 0, kNoFill);
    const uint16_t font = index <= 2 ? 1 : index <= 4 ? 2 : 0;
    return pack(font, 0, kStyleFlags, kGeneralBottom, 0, 0, 0xF4, 0, 0, kNoFill);
}

}  // namespace ksx4::xls
