// Dialog units, in which every page places its controls, converted to pixels.
#pragma once

namespace inst {

struct DialogUnits {
  int horizontal = 0;  // pixels per 4 horizontal dialog units
  int vertical = 0;    // pixels per 8 vertical dialog units
};

struct UnitRect {
  int left = 0, top = 0, right = 0, bottom = 0;
};

inline constexpr int kBaseDpi = 96;

// Left and right scale by horizontal / 4, top and bottom by vertical / 8, each cut;
// `units` are those at 96 dots per inch, and the whole scales by dpi / 96.
inline UnitRect DialogUnitsToPixels(UnitRect rect, DialogUnits units, int dpi = kBaseDpi) {
  const int across = units.horizontal * dpi, down = units.vertical * dpi;
  return {rect.left * across / (4 * kBaseDpi), rect.top * down / (8 * kBaseDpi), rect.right * across / (4 * kBaseDpi),
          rect.bottom * down / (8 * kBaseDpi)};
}

// The units from the system's base units and the widths and heights of the 52
// letters in the system font and the GUI font.
inline DialogUnits ComputeDialogUnits(int base_x, int base_y, int system_width, int system_height, int gui_width,
                                      int gui_height) {
  DialogUnits units;
  units.horizontal = system_width ? base_x * gui_width / system_width : base_x;
  units.vertical = system_height ? gui_height * base_y / system_height : base_y;
  return units;
}

}  // namespace inst
