#include "gallery/table_settings.h"

#include <gtest/gtest.h>

#include <tuple>

namespace vistrel {
using gallery::correctTableText;
using gallery::kTableBorderSize;
using gallery::kTableCellPadding;
using gallery::kTableCellSpacing;
using gallery::kTableColumns;
using gallery::kTableRows;

namespace {

struct Case {
  int index;
  const char* typed;
  int current;
  int value;
  const char* text;
};

TEST(TableSettings, TypedTextIsClampedThenRoundedHalfEven) {
  const Case cases[] = {
      {kTableRows, "0", 1, 1, "1"},
      {kTableRows, "0", 5, 1, "1"},
      {kTableColumns, "250", 1, 100, "100"},
      {kTableBorderSize, "abc", 2, 0, "0"},
      {kTableCellSpacing, "-3", 2, 0, "0"},
      {kTableCellPadding, "25", 2, 20, "20"},
      // Below 1 means the lower bound even where the bound is 0.
      {kTableBorderSize, "0.6", 2, 0, "0"},
      {kTableRows, "0.6", 3, 1, "1"},
      {kTableRows, "7.5", 1, 8, "8"},
      {kTableRows, "2.5", 3, 2, "2"},
      // Same value as the spin: no change, so the box keeps what was typed.
      {kTableRows, "2.5", 2, 2, "2.5"},
      {kTableRows, " 4 ", 4, 4, " 4 "},
      {kTableColumns, "1e9", 1, 100, "100"},
      {kTableColumns, "100.4", 1, 100, "100"},
      {kTableCellSpacing, "&H10", 3, 16, "16"},
      {kTableRows, "12 rows", 1, 12, "12"},
      // Clamped text equal to the spin's value keeps the clamped text.
      {kTableColumns, "500", 100, 100, "100"},
  };
  for (const auto& c : cases) {
    const auto result = correctTableText(c.index, c.typed, c.current);
    EXPECT_EQ(std::tuple(result.Value, result.Text, result.Changed),
              std::tuple(c.value, c.text, c.value != c.current))
        << c.index << " \"" << c.typed << "\" over " << c.current;
  }
}

}  // namespace
}  // namespace vistrel
