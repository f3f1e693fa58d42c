// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/SAAbout.h"

#include "support/UiSupport.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QStyle>
#include <cmath>

namespace duv {

QString VersionText(const QDate& Date)
{
  const QString year = QString::number(Date.year());
  return QStringLiteral("Version 0.%1.%2.%3")
      .arg(year.mid(2))
      .arg(Date.month())
      .arg(Date.day());
}

QString VersionOfFile(const QString& Path)
{
  return VersionText(QFileInfo(Path).lastModified().toLocalTime().date());
}

QPixmap TAboutDlg::Picture(const QSize& Size)
{
  QPixmap pm(Size);
  pm.fill(Qt::black);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(Size.width() / 100.0, Size.height() / 102.0);
  // A faint grid, a spectrum with one clear peak, and its note under it.
  p.setPen(QPen(QColor(0, 110, 0), 0.6));
  for (int x = 10; x < 100; x += 20)
    p.drawLine(QPointF(x, 6), QPointF(x, 78));
  for (int y = 18; y < 80; y += 20)
    p.drawLine(QPointF(4, y), QPointF(96, y));
  QPainterPath path;
  path.moveTo(4, 74);
  for (int i = 0; i <= 92; ++i) {
    const double x = 4 + i;
    const double peak = 62 * std::exp(-std::pow((x - 38) / 3.2, 2));
    const double second = 26 * std::exp(-std::pow((x - 72) / 3.0, 2));
    const double floor = 6 + 3 * std::sin(i * 1.7) + 2 * std::sin(i * 0.55);
    path.lineTo(x, 76 - floor - peak - second);
  }
  QLinearGradient fill(0, 8, 0, 78);
  fill.setColorAt(0, QColor(255, 230, 40));
  fill.setColorAt(0.5, QColor(230, 60, 20));
  fill.setColorAt(1, QColor(70, 0, 0));
  QPainterPath area = path;
  area.lineTo(96, 78);
  area.lineTo(4, 78);
  area.closeSubpath();
  p.fillPath(area, fill);
  p.setPen(QPen(QColor(0, 255, 0), 1.4));
  p.drawPath(path);
  p.setPen(QColor(0, 255, 0));
  QFont f = p.font();
  f.setPixelSize(14);
  f.setBold(true);
  p.setFont(f);
  p.drawText(QRectF(0, 80, 100, 20), Qt::AlignCenter, QStringLiteral("A - 4"));
  return pm;
}

TAboutDlg::TAboutDlg(QWidget* parent) : QDialog(parent)
{
  setWindowTitle(QStringLiteral("About Duvovovi"));
  // A dialog border with no title-bar buttons but its close box.
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                 Qt::CustomizeWindowHint);
  QFont bold = font();
  bold.setBold(true);
  setFont(bold);

  auto* panel = new QFrame(this);
  panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  panel->setAutoFillBackground(true);
  QPalette black = panel->palette();
  black.setColor(QPalette::Window, Qt::black);
  black.setColor(QPalette::WindowText, Qt::white);
  panel->setPalette(black);
  FPanel = panel;

  About2 = new QLabel(panel);
  About2->setAccessibleName(QStringLiteral("Duvovovi picture"));
  About2->setScaledContents(true);
  ProductName = new QLabel(QStringLiteral("Duvovovi"), panel);
  Display1 = new QLabel(QStringLiteral("Audio Spectrum Analyzer"), panel);
  VersionLabel = new QLabel(panel);
  Display3 = new QLabel(QStringLiteral("The Duvovovi developers"), panel);
  Display4 = new QLabel(QStringLiteral("duvovovi.org"), panel);
  for (QLabel* l : {ProductName, Display1, VersionLabel, Display3, Display4})
    l->setAlignment(Qt::AlignCenter);
  QPalette red = ProductName->palette();
  red.setColor(QPalette::WindowText, Qt::red);
  ProductName->setPalette(red);

  BitBtn1 = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton), QStringLiteral("OK"),
                            this);
  BitBtn1->setDefault(true);
  connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);

  FormCreate();
  ApplyDesignScale();
}

void TAboutDlg::FormCreate()
{
  VersionLabel->setText(VersionOfFile(QCoreApplication::applicationFilePath()));
}

void TAboutDlg::ApplyDesignScale()
{
  const double s = DesignScale(font());
  const auto px = [s](int v) { return DesignPixels(v, s); };
  const auto place = [&px](QWidget* w, int x, int y, int width, int height) {
    w->setGeometry(px(x), px(y), px(width), px(height));
  };
  setFixedSize(px(307), px(197));
  place(FPanel, 5, 8, 297, 137);
  place(About2, 1, 1, 100, 102);
  place(ProductName, 104, 0, 187, 49);
  place(Display1, 104, 48, 187, 16);
  place(VersionLabel, 104, 64, 187, 16);
  place(Display3, 104, 100, 187, 16);
  place(Display4, 104, 116, 187, 16);
  place(BitBtn1, 104, 160, 89, 29);
  About2->setPixmap(Picture(About2->size() * devicePixelRatioF()));

  // Arial-like bold letters: 29 pixels for the name, 11 for the lines below.
  QFont name = font();
  name.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans"), name.family()});
  name.setBold(true);
  name.setPixelSize(px(29));
  ProductName->setFont(name);
  QFont line = name;
  line.setPixelSize(px(11));
  for (QLabel* l : {Display1, VersionLabel, Display3, Display4})
    l->setFont(line);
}

void TAboutDlg::changeEvent(QEvent* e)
{
  QDialog::changeEvent(e);
  if (e->type() == QEvent::FontChange && BitBtn1)
    ApplyDesignScale();
}

} // namespace duv
