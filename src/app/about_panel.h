#pragma once
// The About panel: the program's name, version and maker, and the link to the maker's web page.

#include <QWidget>
#include <array>

#include "app/shell.h"
#include "app/toolkit/controls.h"

namespace vistrel::app {

namespace testing {
struct Form1Access;
}

class AboutPanel : public QWidget {
  Q_OBJECT
 public:
  // `shell` opens the maker's page; it must outlive the panel.
  AboutPanel(Shell& shell, QWidget* parent);

  void lblLink_MouseUp();

 private:
  friend struct testing::Form1Access;
  Shell& shell_;
  toolkit::Label* Label1_18 = nullptr;       // Label1(18), the program's name
  std::array<toolkit::Label*, 18> Label2{};  // indices as designed; unused ones stay null
  toolkit::Label* lblLink = nullptr;         // lblLink(1)
};

}  // namespace vistrel::app
