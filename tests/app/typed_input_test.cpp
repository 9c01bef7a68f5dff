// What a user types reaches Create: a click into a box selects its text, Enter takes the value,
// and an access key checks the edited box before the command reads it.
#include <QImageReader>

#include "app/form1_test_support.h"
#include "gallery/page_writer.h"

namespace vistrel::app::testing {
using gallery::pageName;

namespace {

using toolkit::SpinControl;
using toolkit::TextBox;

class TypedInput : public WindowTest {
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

TEST_F(TypedInput, AClickIntoABoxSelectsItsTextSoTypingReplacesIt) {
  [[maybe_unused]] Form1& w = openProperties(1);
  for (TextBox* box : {ui->txtThumbnail[0], ui->txtTable[2], ui->txtPrefix}) {
    clickAndType(box, "9");
    EXPECT_EQ(box->text(), "9");
    // A second click inside the focused box places the cursor as usual.
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(4, box->height() / 2));
    EXPECT_FALSE(box->hasSelectedText());
  }
}

TEST_F(TypedInput, AltCStraightAfterTypingCreatesWithTheTypedValue) {
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
    EXPECT_EQ(thumbnailWidth(c.box == 2 ? "abpic1.jpg" : "th_pic1.jpg"),
              ui->scrThumbnail[0]->value());
    EXPECT_EQ(ui->scrThumbnail[0]->value(), c.box == 0 ? 180 : 150);
    const int rows = ui->scrTable[0]->value();
    EXPECT_EQ(rows, c.box == 1 ? 3 : 1);
    const int pages = (4 + rows - 1) / rows;
    EXPECT_EQ(ui->lblNumPages->Caption(), QString::number(pages));
    EXPECT_TRUE(std::filesystem::exists(temp.path() / pageName(pages)));
    EXPECT_FALSE(std::filesystem::exists(temp.path() / pageName(pages + 1)));
    window.reset();
    messages.clear();
  }
}

TEST_F(TypedInput, EnterTakesTheValueAndAltCUsesIt) {
  [[maybe_unused]] Form1& w = openProperties(1);
  clickAndType(ui->txtThumbnail[0], "180");
  QTest::keyClick(ui->txtThumbnail[0], Qt::Key_Return);
  EXPECT_EQ(ui->scrThumbnail[0]->value(), 180);
  EXPECT_TRUE(ui->txtThumbnail[0]->hasFocus());
  EXPECT_EQ(ui->txtThumbnail[0]->selectedText(), "180");
  clickAndType(ui->txtTable[1], "250");
  QTest::keyClick(ui->txtTable[1], Qt::Key_Enter);
  EXPECT_EQ(ui->txtTable[1]->text(), "100");
  EXPECT_EQ(ui->scrTable[1]->value(), 100);
  pressCreate(w);
  EXPECT_EQ(thumbnailWidth("th_pic1.jpg"), 180);
}

TEST_F(TypedInput, PageUpAndDownStepTheTableSpinsByOne) {
  [[maybe_unused]] Form1& w = openProperties(1);
  SpinControl* rows = ui->scrTable[0];
  rows->setFocus(Qt::TabFocusReason);
  QTest::keyClick(rows, Qt::Key_PageDown);
  QTest::keyClick(rows, Qt::Key_PageDown);
  EXPECT_EQ(rows->value(), 3);
  QTest::keyClick(rows, Qt::Key_PageUp);
  EXPECT_EQ(rows->value(), 2);
  EXPECT_EQ(ui->txtTable[0]->text(), "2");
}

}  // namespace
}  // namespace vistrel::app::testing
