#pragma once
// Colours of windows and controls.

// A colour from its red, green and blue parts.
struct Color {
    int Red = 0;
    int Green = 0;
    int Blue = 0;
    // Color::Hex(0xDBE7F2) is red DB, green E7, blue F2.
    static constexpr Color Hex(unsigned rgb) {
        return Color{int((rgb >> 16) & 0xFF), int((rgb >> 8) & 0xFF), int(rgb & 0xFF)};
    }
    friend bool operator==(const Color&, const Color&) = default;
};
