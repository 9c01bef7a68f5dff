// The Properties panel on the real window: the thumbnail and table boxes' corrections as a user
// meets them (focus in, type, tab away), the spins, the prefix, and the page count.
#include "app/form1_test_support.h"

namespace vistrel::app::testing {
namespace {

using PropertiesPanel = WindowTest;

TEST_F(PropertiesPanel, ThumbnailBoxesRestoreThePreviousValueWhenOutOfRange) {
  Form1& w = openProperties(1);
  for (int i = 0; i < 2; ++i) {
    for (const char* typed : {"0", "1501", "abc", ""}) {
      typeInto(w.txtThumbnail[i], typed);
      EXPECT_EQ(w.txtThumbnail[i]->text(), "150") << i << " typed " << typed;
      EXPECT_EQ(w.scrThumbnail[i]->value(), 150);
    }
  }
  typeInto(w.txtThumbnail[1], "1500");
  EXPECT_EQ(w.scrThumbnail[1]->value(), 1500);
  EXPECT_EQ(w.txtThumbnail[1]->text(), "1500");
  typeInto(w.txtThumbnail[1], "150");
  typeInto(w.txtThumbnail[1], "80.5");
  EXPECT_EQ(w.scrThumbnail[1]->value(), 80);
  EXPECT_EQ(w.txtThumbnail[1]->text(), "80");
  typeInto(w.txtThumbnail[0], "150.4");
  EXPECT_EQ(w.scrThumbnail[0]->value(), 150);
  EXPECT_EQ(w.txtThumbnail[0]->text(), "150.4");
}

TEST_F(PropertiesPanel, TableBoxesClampToTheNearestBound) {
  Form1& w = openProperties(1);
  const struct {
    int index;
    const char* typed;
    const char* text;
    int value;
  } cases[] = {{0, "0", "1", 1},    {1, "250", "100", 100}, {2, "abc", "0", 0}, {4, "-3", "0", 0},
               {3, "25", "20", 20}, {2, "0.6", "0", 0},     {0, "7.5", "8", 8}, {0, "3", "3", 3},
               {0, "2.5", "2", 2},  {0, "2.5", "2.5", 2}};
  for (const auto& c : cases) {
    typeInto(w.txtTable[c.index], c.typed);
    EXPECT_EQ(w.txtTable[c.index]->text(), c.text) << c.index << " typed " << c.typed;
    EXPECT_EQ(w.scrTable[c.index]->value(), c.value) << c.index << " typed " << c.typed;
  }
}

TEST_F(PropertiesPanel, PageCountFollowsRowsAndColumnsAtOnce) {
  Form1& w = openProperties(12);
  EXPECT_EQ(w.lblNumPages->Caption(), "12");
  typeInto(w.txtTable[0], "2");
  typeInto(w.txtTable[1], "3");
  EXPECT_EQ(w.lblNumPages->Caption(), "2");
  w.scrTable[1]->setValue(4);
  EXPECT_EQ(w.txtTable[1]->text(), "4");
  EXPECT_EQ(w.lblNumPages->Caption(), "2");
  w.scrTable[1]->setValue(1);
  EXPECT_EQ(w.lblNumPages->Caption(), "6");
  w.lblNumPages->setCaption("stale");
  w.scrTable[2]->setValue(5);  // the border: same count, written again
  EXPECT_EQ(w.lblNumPages->Caption(), "6");
}

TEST_F(PropertiesPanel, TabbingIntoAnyBoxSelectsItsWholeText) {
  Form1& w = openProperties(1);
  QList<QLineEdit*> boxes = {w.txtThumbnail[0], w.txtThumbnail[1], w.txtPrefix};
  for (auto* box : w.txtTable) {
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
  w.txtPrefix->setFocus(Qt::MouseFocusReason);
  EXPECT_EQ(w.txtPrefix->selectedText(), w.txtPrefix->text());
}

TEST_F(PropertiesPanel, SpinArrowsStepAndRaiseChangeOnlyOnRealChanges) {
  Form1& w = openProperties(1);
  toolkit::SpinControl* rows = w.scrTable[0];
  int changes = 0;
  QObject::connect(rows, &QAbstractSlider::valueChanged, [&] { ++changes; });
  const QPoint lower(rows->width() / 2, rows->height() * 3 / 4);
  const QPoint upper(rows->width() / 2, rows->height() / 4);
  QTest::mouseClick(rows, Qt::LeftButton, {}, lower);
  EXPECT_EQ(rows->value(), 2);
  EXPECT_EQ(w.txtTable[0]->text(), "2");
  QTest::mouseClick(rows, Qt::LeftButton, {}, upper);
  QTest::mouseClick(rows, Qt::LeftButton, {}, upper);
  EXPECT_EQ(rows->value(), 1);
  EXPECT_EQ(changes, 2);  // the second click at the minimum changed nothing
  rows->setValue(1);
  EXPECT_EQ(changes, 2);
  QTest::keyClick(rows, Qt::Key_Down);
  EXPECT_EQ(rows->value(), 2);
  // The thumbnail spins step by 5 on the page keys.
  toolkit::SpinControl* width = w.scrThumbnail[0];
  width->setFocus();
  QTest::keyClick(width, Qt::Key_PageDown);
  EXPECT_EQ(width->value(), 155);
  EXPECT_EQ(w.txtThumbnail[0]->text(), "155");
  QTest::keyClick(width, Qt::Key_Up);
  EXPECT_EQ(width->value(), 154);
}

TEST_F(PropertiesPanel, PrefixDropsWhatFileNamesCannotHoldAndNeverEmpties) {
  Form1& w = openProperties(1);
  typeInto(w.txtPrefix, "a/b");
  EXPECT_EQ(w.txtPrefix->text(), "ab");
  typeInto(w.txtPrefix, "small_");
  EXPECT_EQ(w.txtPrefix->text(), "small_");
  w.txtPrefix->setFocus(Qt::TabFocusReason);
  QTest::keyClick(w.txtPrefix, Qt::Key_Delete);
  QTest::keyClick(w.txtPrefix, Qt::Key_Tab);
  EXPECT_EQ(w.txtPrefix->text(), "small_");
  typeInto(w.txtPrefix, "<|>");
  EXPECT_EQ(w.txtPrefix->text(), "small_");
  typeInto(w.txtPrefix, "abcdefghijklmn");
  EXPECT_EQ(w.txtPrefix->text(), "abcdefghij");
}

}  // namespace
}  // namespace vistrel::app::testing
