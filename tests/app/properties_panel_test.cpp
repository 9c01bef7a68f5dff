// The Properties panel on the real window, as a user meets it: focus in, type, tab away or press
// Enter, spin arrows and keys, and access keys that reach Create with what was typed. The
// corrections themselves are tested as rules (thumb_settings, table_settings); here only that
// each box applies its rule to its box and spin.
#include <QImageReader>
#include <QInputMethodEvent>

#include "gallery/page_writer.h"
#include "support/form1_test_support.h"
#include "support/soon.h"

namespace vistrel::app::testing {
namespace {

using toolkit::SpinControl;
using toolkit::TextBox;

class Properties : public WindowTest {
 protected:
  // Clicks into `box` as a user does and types over what the click selected.
  static void clickAndType(QLineEdit* box, const QString& text) {
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(4, box->height() / 2));
    ASSERT_TRUE(QTest::qWaitFor([box] { return box->hasFocus(); }));
    QTest::keyClicks(box, text);
  }

  // Alt+C, then waits for the run's first page.
  void pressCreate(Form1& w) {
    QTest::keyClick(&w, Qt::Key_C, Qt::AltModifier);
    const auto page = temp.path() / "Thumb001.html";
    EXPECT_TRUE(QTest::qWaitFor([&] { return std::filesystem::exists(page); }));
  }

  int thumbnailWidth(const std::string& name) const {
    return QImageReader(qs(temp.path() / name)).size().width();
  }
};

TEST_F(Properties, EachBoxCorrectsItsTextAndSetsItsSpinWhenLeft) {
  openProperties(12);
  const struct {
    TextBox* box;
    SpinControl* spin;
    const char* typed;
    const char* text;
    int value;
  } cases[] = {
      {ui->txtThumbnail[0], ui->scrThumbnail[0], "1501", "150", 150},
      {ui->txtThumbnail[1], ui->scrThumbnail[1], "80.5", "80", 80},  // the spin rewrites it
      {ui->txtTable[2], ui->scrTable[2], "0.6", "0", 0},
      {ui->txtTable[0], ui->scrTable[0], "2", "2", 2},
      {ui->txtTable[1], ui->scrTable[1], "3", "3", 3},
  };
  for (const auto& c : cases) {
    typeInto(c.box, c.typed);
    EXPECT_EQ(c.box->text(), c.text) << c.typed;
    EXPECT_EQ(c.spin->value(), c.value) << c.typed;
  }
  // 12 pictures at 2 x 3 per page; a spin change writes the count again.
  EXPECT_EQ(ui->lblNumPages->Caption(), "2");
  ui->scrTable[1]->setValue(1);
  EXPECT_EQ(ui->txtTable[1]->text(), "1");
  EXPECT_EQ(ui->lblNumPages->Caption(), "6");
}

TEST_F(Properties, PrefixDropsWhatNamesCannotHoldKeepsTenCharactersAndNeverEmpties) {
  openProperties(1);
  typeInto(ui->txtPrefix, "a/b");
  EXPECT_EQ(ui->txtPrefix->text(), "ab");
  typeInto(ui->txtPrefix, "");
  EXPECT_EQ(ui->txtPrefix->text(), "ab");
  // Ten characters, however many UTF-16 units they take; an input method commits each.
  const QString smile = QString::fromUtf8("\xF0\x9F\x98\x80");
  ui->txtPrefix->setFocus(Qt::TabFocusReason);
  EXPECT_SOON(ui->txtPrefix->hasFocus());
  for (int i = 0; i < 12; ++i) {
    QInputMethodEvent commit;
    commit.setCommitString(smile);
    QApplication::sendEvent(ui->txtPrefix, &commit);
  }
  QTest::keyClick(ui->txtPrefix, Qt::Key_Tab);
  EXPECT_EQ(ui->txtPrefix->text(), smile.repeated(10));
}

TEST_F(Properties, TabOrAClickIntoABoxSelectsItsWholeText) {
  openProperties(1);
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
    EXPECT_SOON(before->hasFocus());
    QTest::keyClick(before, Qt::Key_Tab);
    EXPECT_SOON(box->hasFocus()) << qPrintable(box->text());
    EXPECT_EQ(box->selectedText(), box->text()) << box->text().toStdString();
  }
  TextBox* box = ui->txtTable[2];
  clickAndType(box, "9");
  EXPECT_EQ(box->text(), "9");
  // A second click inside the focused box places the cursor as usual.
  QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(4, box->height() / 2));
  EXPECT_FALSE(box->hasSelectedText());
}

TEST_F(Properties, SpinArrowsAndKeysStepAndRaiseChangeOnlyOnRealChanges) {
  openProperties(1);
  SpinControl* rows = ui->scrTable[0];
  int changes = 0;
  QObject::connect(rows, &QAbstractSlider::valueChanged, [&] { ++changes; });
  const QPoint lower(rows->width() / 2, rows->height() * 3 / 4);
  const QPoint upper(rows->width() / 2, rows->height() / 4);
  QTest::mouseClick(rows, Qt::LeftButton, {}, lower);
  EXPECT_EQ(ui->txtTable[0]->text(), "2");
  QTest::mouseClick(rows, Qt::LeftButton, {}, upper);
  QTest::mouseClick(rows, Qt::LeftButton, {}, upper);
  EXPECT_EQ(rows->value(), 1);
  EXPECT_EQ(changes, 2);  // the second click at the minimum changed nothing
  rows->setFocus(Qt::TabFocusReason);
  QTest::keyClick(rows, Qt::Key_PageDown);
  QTest::keyClick(rows, Qt::Key_Down);
  EXPECT_EQ(rows->value(), 3);  // the table spins step by one on the page keys
  // The thumbnail spins step by 5 on the page keys.
  SpinControl* width = ui->scrThumbnail[0];
  width->setFocus();
  QTest::keyClick(width, Qt::Key_PageDown);
  QTest::keyClick(width, Qt::Key_Up);
  EXPECT_EQ(width->value(), 154);
  EXPECT_EQ(ui->txtThumbnail[0]->text(), "154");
}

TEST_F(Properties, AltCStraightAfterTypingCreatesWithTheTypedValue) {
  const struct {
    const char* what;
    int box;  // 0 Max Width, 1 Rows, 2 Prefix
    const char* typed;
    const char* shown;
  } cases[] = {{"Max Width", 0, "180", "180"}, {"Rows", 1, "3", "3"}, {"Prefix", 2, "a/b", "ab"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    for (const auto& entry : std::filesystem::directory_iterator(temp.path())) {
      std::filesystem::remove(entry.path());
    }
    Form1& w = openProperties(4);
    TextBox* box = c.box == 0 ? ui->txtThumbnail[0] : c.box == 1 ? ui->txtTable[0] : ui->txtPrefix;
    clickAndType(box, c.typed);
    pressCreate(w);
    EXPECT_TRUE(messages.isEmpty()) << messages.join("\n").toStdString();
    EXPECT_EQ(box->text(), c.shown);
    // The panel shows what the files were made with.
    EXPECT_EQ(thumbnailWidth(c.box == 2 ? "abpic1.jpg" : "th_pic1.jpg"), c.box == 0 ? 180 : 150);
    const int pages = c.box == 1 ? 2 : 4;
    EXPECT_EQ(ui->lblNumPages->Caption(), QString::number(pages));
    EXPECT_TRUE(std::filesystem::exists(temp.path() / gallery::pageName(pages)));
    EXPECT_FALSE(std::filesystem::exists(temp.path() / gallery::pageName(pages + 1)));
    messages.clear();
  }
}

TEST_F(Properties, EnterTakesTheValueAndKeepsTheBoxSelected) {
  Form1& w = openProperties(1);
  clickAndType(ui->txtThumbnail[0], "180");
  QTest::keyClick(ui->txtThumbnail[0], Qt::Key_Return);
  EXPECT_EQ(ui->scrThumbnail[0]->value(), 180);
  EXPECT_EQ(ui->txtThumbnail[0]->selectedText(), "180");
  clickAndType(ui->txtTable[1], "250");
  QTest::keyClick(ui->txtTable[1], Qt::Key_Enter);
  EXPECT_EQ(ui->scrTable[1]->value(), 100);
  clickAndType(ui->txtPrefix, "x/");
  QTest::keyClick(ui->txtPrefix, Qt::Key_Return);
  EXPECT_EQ(ui->txtPrefix->text(), "x");
  pressCreate(w);
  EXPECT_EQ(thumbnailWidth("xpic1.jpg"), 180);
}

}  // namespace
}  // namespace vistrel::app::testing
