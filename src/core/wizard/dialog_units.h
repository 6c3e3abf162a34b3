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

// Left and right scale by horizontal / 4, top and bottom by vertical / 8, each cut.
inline UnitRect DialogUnitsToPixels(UnitRect rect, DialogUnits units) {
  return {rect.left * units.horizontal / 4, rect.top * units.vertical / 8, rect.right * units.horizontal / 4,
          rect.bottom * units.vertical / 8};
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
