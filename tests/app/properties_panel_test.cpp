// The Properties panel on the real window: the thumbnail and table boxes' corrections as a user
// meets them (focus in, type, tab away), the spins, the prefix, and the page count.
#include "app/form1_test_support.h"

namespace vistrel::app::testing {
namespace {

using PropertiesPanel = WindowTest;

TEST_F(PropertiesPanel, ThumbnailBoxesRestoreThePreviousValueWhenOutOfRange) {
  [[maybe_unused]] Form1& w = openProperties(1);
  for (int i = 0; i < 2; ++i) {
    for (const char* typed : {"0", "1501", "abc", ""}) {
      typeInto(ui->txtThumbnail[i], typed);
      EXPECT_EQ(ui->txtThumbnail[i]->text(), "150") << i << " typed " << typed;
      EXPECT_EQ(ui->scrThumbnail[i]->value(), 150);
    }
  }
  typeInto(ui->txtThumbnail[1], "1500");
  EXPECT_EQ(ui->scrThumbnail[1]->value(), 1500);
  EXPECT_EQ(ui->txtThumbnail[1]->text(), "1500");
  typeInto(ui->txtThumbnail[1], "150");
  typeInto(ui->txtThumbnail[1], "80.5");
  EXPECT_EQ(ui->scrThumbnail[1]->value(), 80);
  EXPECT_EQ(ui->txtThumbnail[1]->text(), "80");
  typeInto(ui->txtThumbnail[0], "150.4");
  EXPECT_EQ(ui->scrThumbnail[0]->value(), 150);
  EXPECT_EQ(ui->txtThumbnail[0]->text(), "150.4");
}

TEST_F(PropertiesPanel, TableBoxesClampToTheNearestBound) {
  [[maybe_unused]] Form1& w = openProperties(1);
  const struct {
    int index;
    const char* typed;
    const char* text;
    int value;
  } cases[] = {{0, "0", "1", 1},    {1, "250", "100", 100}, {2, "abc", "0", 0}, {4, "-3", "0", 0},
               {3, "25", "20", 20}, {2, "0.6", "0", 0},     {0, "7.5", "8", 8}, {0, "3", "3", 3},
               {0, "2.5", "2", 2},  {0, "2.5", "2.5", 2}};
  for (const auto& c : cases) {
    typeInto(ui->txtTable[c.index], c.typed);
    EXPECT_EQ(ui->txtTable[c.index]->text(), c.text) << c.index << " typed " << c.typed;
    EXPECT_EQ(ui->scrTable[c.index]->value(), c.value) << c.index << " typed " << c.typed;
  }
}

TEST_F(PropertiesPanel, PageCountFollowsRowsAndColumnsAtOnce) {
  [[maybe_unused]] Form1& w = openProperties(12);
  EXPECT_EQ(ui->lblNumPages->Caption(), "12");
  typeInto(ui->txtTable[0], "2");
  typeInto(ui->txtTable[1], "3");
  EXPECT_EQ(ui->lblNumPages->Caption(), "2");
  ui->scrTable[1]->setValue(4);
  EXPECT_EQ(ui->txtTable[1]->text(), "4");
  EXPECT_EQ(ui->lblNumPages->Caption(), "2");
  ui->scrTable[1]->setValue(1);
  EXPECT_EQ(ui->lblNumPages->Caption(), "6");
  ui->lblNumPages->setCaption("stale");
  ui->scrTable[2]->setValue(5);  // the border: same count, written again
  EXPECT_EQ(ui->lblNumPages->Caption(), "6");
}

TEST_F(PropertiesPanel, TabbingIntoAnyBoxSelectsItsWholeText) {
  [[maybe_unused]] Form1& w = openProperties(1);
  QList<QLineEdit*> boxes = {ui->txtThumbnail[0], ui->txtThumbnail[1], ui->txtPrefix};
  for (auto* box : ui->txtTable) {
    boxes << box;
  }
  for (QLineEdit* box : boxes) {
    box->setCursorPosition(0);
    // Tab from the control before it in the keyboard order.
    QWidget* before = box->previousInFocusChain();
    while (!(before->focusPolicy() & Qt::TabFocus) || !before->isVisible()) {
      before = before->previousInFocusChain();
    }
    before->setFocus(Qt::OtherFocusReason);
    QTRY_VERIFY(before->hasFocus());
    QTest::keyClick(before, Qt::Key_Tab);
    QTRY_VERIFY2(box->hasFocus(), qPrintable(box->text()));
    EXPECT_EQ(box->selectedText(), box->text()) << box->text().toStdString();
  }
  // A click into a box selects it too when the box takes the focus.
  ui->txtPrefix->setFocus(Qt::MouseFocusReason);
  EXPECT_EQ(ui->txtPrefix->selectedText(), ui->txtPrefix->text());
}

TEST_F(PropertiesPanel, SpinArrowsStepAndRaiseChangeOnlyOnRealChanges) {
  [[maybe_unused]] Form1& w = openProperties(1);
  toolkit::SpinControl* rows = ui->scrTable[0];
  int changes = 0;
  QObject::connect(rows, &QAbstractSlider::valueChanged, [&] { ++changes; });
  const QPoint lower(rows->width() / 2, rows->height() * 3 / 4);
  const QPoint upper(rows->width() / 2, rows->height() / 4);
  QTest::mouseClick(rows, Qt::LeftButton, {}, lower);
  EXPECT_EQ(rows->value(), 2);
  EXPECT_EQ(ui->txtTable[0]->text(), "2");
  QTest::mouseClick(rows, Qt::LeftButton, {}, upper);
  QTest::mouseClick(rows, Qt::LeftButton, {}, upper);
  EXPECT_EQ(rows->value(), 1);
  EXPECT_EQ(changes, 2);  // the second click at the minimum changed nothing
  rows->setValue(1);
  EXPECT_EQ(changes, 2);
  QTest::keyClick(rows, Qt::Key_Down);
  EXPECT_EQ(rows->value(), 2);
  // The thumbnail spins step by 5 on the page keys.
  toolkit::SpinControl* width = ui->scrThumbnail[0];
  width->setFocus();
  QTest::keyClick(width, Qt::Key_PageDown);
  EXPECT_EQ(width->value(), 155);
  EXPECT_EQ(ui->txtThumbnail[0]->text(), "155");
  QTest::keyClick(width, Qt::Key_Up);
  EXPECT_EQ(width->value(), 154);
}

TEST_F(PropertiesPanel, PrefixDropsWhatFileNamesCannotHoldAndNeverEmpties) {
  [[maybe_unused]] Form1& w = openProperties(1);
  typeInto(ui->txtPrefix, "a/b");
  EXPECT_EQ(ui->txtPrefix->text(), "ab");
  typeInto(ui->txtPrefix, "small_");
  EXPECT_EQ(ui->txtPrefix->text(), "small_");
  ui->txtPrefix->setFocus(Qt::TabFocusReason);
  QTest::keyClick(ui->txtPrefix, Qt::Key_Delete);
  QTest::keyClick(ui->txtPrefix, Qt::Key_Tab);
  EXPECT_EQ(ui->txtPrefix->text(), "small_");
  typeInto(ui->txtPrefix, "<|>");
  EXPECT_EQ(ui->txtPrefix->text(), "small_");
  typeInto(ui->txtPrefix, "abcdefghijklmn");
  EXPECT_EQ(ui->txtPrefix->text(), "abcdefghij");
}

}  // namespace
}  // namespace vistrel::app::testing
