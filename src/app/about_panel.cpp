#include "app/about_panel.h"

#include "app/panel_layout.h"
#include "common/maker.h"
#include "common/version.h"

namespace vistrel::app {
using common::kMakerName;
using common::kMakerWebPage;
using common::kReleaseYear;
using common::kVersion;
using toolkit::Label;

AboutPanel::AboutPanel(Shell& shell, QWidget* parent) : QWidget(parent), shell_(shell) {
  Label1_18 = label(this, QStringLiteral("Vistrel"), 0, 480, 6375, 495, Qt::AlignHCenter);
  Label1_18->setFont(fontAt(font(), 24, true));
  Label1_18->setTextColor(titleBarColor(this));
  const QString maker = QString::fromLatin1(kMakerName);
  const QString credits[3] = {
      QStringLiteral("Vistrel v%1, a web gallery maker by %2").arg(QLatin1String(kVersion), maker),
      QStringLiteral("Copyright \u00A9 %1 %2").arg(QLatin1String(kReleaseYear), maker),
      QStringLiteral("Written in %1 by the %2 team").arg(QLatin1String(kReleaseYear), maker)};
  const int creditIndex[3] = {12, 15, 16};
  for (int i = 0; i < 3; ++i) {
    Label2[creditIndex[i]] =
        label(this, credits[i], 480, 1200 + 240 * i, 5415, 255, Qt::AlignHCenter);
    Label2[creditIndex[i]]->setFont(fontAt(font(), 9.75));
  }
  Label2[17] =
      label(this, QStringLiteral("Visit the %1 web page for news and more tools:").arg(maker), 480,
            2880, 5415, 255, Qt::AlignHCenter);
  lblLink = label(this, QString::fromLatin1(kMakerWebPage), 480, 3240, 5415, 255, Qt::AlignHCenter);
  lblLink->setFont(fontAt(font(), 9.75, true, true));
  lblLink->setTextColor(kBlue);
  lblLink->setCursor(Qt::PointingHandCursor);
  connect(lblLink, &Label::MouseUp, this, [this](Qt::MouseButton) { lblLink_MouseUp(); });
}

void AboutPanel::lblLink_MouseUp() {
  shell_.ShellDef(QString::fromLatin1(kMakerWebPage));
}

}  // namespace vistrel::app
