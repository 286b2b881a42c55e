#pragma once

namespace zv {

// Slider positions (-50..50) of the colour dialog and the values they stand
// for. The factors are the single-precision ones the dialog always used, so
// that values stored in saved orders map back to the same positions.
inline constexpr int kColorSliderMin = -50;
inline constexpr int kColorSliderMax = 50;

// Colour-balance levels are the positions themselves.
inline int LevelFromPosition(int position) { return position; }
inline int PositionFromLevel(int level) { return level; }

// Computed in single precision, so that position 50 gives brightness level 51.
inline double BrightnessFromPosition(int position) { return double(float(position) * 0.004f); }
inline int PositionFromBrightness(double brightness) { return int(brightness * 250.0000055879356); }

inline double ContrastFromPosition(int position) { return double(float(position) * 0.01f) + 1; }
inline int PositionFromContrast(double contrast) { return int((contrast - 1) * 99.9999985098839); }

} // namespace zv
