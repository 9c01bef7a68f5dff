#pragma once
// The table settings as the panel edits them: which index is which setting, its range, and how
// a typed text is corrected when its box loses the focus. Pure logic; the widgets call it.
// After every change of a spin value the panel shows pageCount(ImageCount, rows, columns) from
// gallery/page_writer.h, in decimalText.

#include <string>
#include <string_view>

namespace vistrel::gallery {

// Control-array indexes of the five table settings (txtTable(i), scrTable(i)).
enum TableSettingIndex : int {
  kTableRows = 0,
  kTableColumns = 1,
  kTableBorderSize = 2,
  kTableCellPadding = 3,
  kTableCellSpacing = 4,
};
inline constexpr int kTableSettingCount = 5;

struct TableSettingRange {
  int Min;
  int Max;
  int Initial;
};
// Rows and columns 1..100 starting at 1; border, padding and spacing 0..20 starting at 2.
// `index` must be 0..4.
TableSettingRange tableSettingRange(int index);

// What a table box and its spin hold once the box has lost the focus.
struct TableTextCorrection {
  int Value;         // the spin's value afterwards, always within the setting's range
  std::string Text;  // the box's text afterwards
  bool Changed;      // Value differs from the value the spin had (the page count must be redone)
};

// The correction applied when box `index` (0..4) loses the focus holding `text` while its spin
// holds `currentValue`. The text is read with Val; below 1 it becomes the lower bound ("1" for
// rows and columns, "0" for the others, so 0.6 becomes 0 there), above the upper bound it
// becomes the upper bound; then the value is rounded half-even. When the rounded value differs
// from `currentValue` the text becomes that value in decimal; when it equals it, the text keeps
// what was typed (clamped text stays clamped), e.g. "2.5" while the spin holds 2.
TableTextCorrection correctTableText(int index, std::string_view text, int currentValue);

}  // namespace vistrel::gallery
