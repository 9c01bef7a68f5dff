#include "gallery/table_settings.h"

#include <cassert>

#include "common/defaults.h"
#include "common/numbers.h"

namespace vistrel::gallery {
using common::decimalText;
using common::toInt16;
using common::Val;

TableSettingRange tableSettingRange(int index) {
  assert(index >= 0 && index < kTableSettingCount);
  if (index == kTableRows || index == kTableColumns) {
    return {common::kTableCountMin, common::kTableCountMax, common::kTableCountInitial};
  }
  return {common::kTableSpacingMin, common::kTableSpacingMax, common::kTableSpacingInitial};
}

TableTextCorrection correctTableText(int index, std::string_view text, int currentValue) {
  const TableSettingRange range = tableSettingRange(index);
  std::string corrected(text);
  // Anything below 1 goes to the lower bound, even where the bound is 0: 0.6 becomes 0.
  if (Val(corrected) < 1) {
    corrected = decimalText(range.Min);
  }
  if (Val(corrected) > range.Max) {
    corrected = decimalText(range.Max);
  }
  const int value = toInt16(Val(corrected));
  if (value == currentValue) {
    return {value, corrected, false};
  }
  return {value, decimalText(value), true};
}

}  // namespace vistrel::gallery
