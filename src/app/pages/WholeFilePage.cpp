// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/pages/WholeFilePage.h"

#include "analysis/SAGlobal.h"
#include "app/pages/PageSupport.h"
#include "app/pages/SAWaveFile.h"
#include "app/pages/WaveFilePage.h"
#include "controls/ReadOut.h"
#include "spectrogram/Colorbar.h"
#include "spectrogram/FileSpectroView.h"
#include "support/ClockTime.h"
#include "support/DSupport.h"
#include "support/SafeFile.h"
#include "support/UiSupport.h"
#include "wavefile/WaveStretch.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <cmath>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace duv {

namespace {

void ReleaseFreedMemory()
{
#if defined(__GLIBC__)
  malloc_trim(0);
#endif
}

// The picture size "Save Image..." asks for, the view's offered.
std::optional<QSize> askImageSize(QWidget* Parent, QSize Shown)
{
  QDialog dialog(Parent);
  dialog.setWindowTitle(QStringLiteral("Save Image"));
  auto* form = new QFormLayout(&dialog);
  const auto spin = [&](const QString& name, int value) {
    auto* s = new QSpinBox(&dialog);
    s->setRange(64, 8192);
    s->setValue(value);
    s->setSuffix(QStringLiteral(" px"));
    s->setAccessibleName(name);
    form->addRow(name, s);
    return s;
  };
  QSpinBox* width = spin(QStringLiteral("Width"), Shown.width());
  QSpinBox* height = spin(QStringLiteral("Height"), Shown.height());
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  form->addRow(buttons);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  FitTitleWidth(dialog);
  if (dialog.exec() != QDialog::Accepted)
    return std::nullopt;
  return QSize(width->value(), height->value());
}

} // namespace

TWholeFilePage::TWholeFilePage(TWaveFilePage& WaveFile, QWidget* Parent)
    : QWidget(Parent), FWaveFile(WaveFile)
{
  auto* v = PageLayout(this, 2, 2);
  auto* strip = Row(2);
  SizeCombo = MakeList(QStringLiteral("Size"), this);
  SizeCombo->addItems(BufferSizeItems());
  SizeCombo->setCurrentText(QStringLiteral("1024"));
  SizeCombo->setToolTip(QStringLiteral("Samples per transform; a zoom into frequency uses more"));
  strip->addWidget(Caption(QStringLiteral("Size"), SizeCombo, this));
  strip->addWidget(SizeCombo);
  WindowCombo = MakeList(QStringLiteral("Window"), this);
  for (TWindowKind w : AllWindows)
    WindowCombo->addItem(WindowCaption(w));
  WindowCombo->setCurrentText(WindowCaption(TWindowKind::Hann));
  strip->addSpacing(2);
  strip->addWidget(Caption(QStringLiteral("Window"), WindowCombo, this));
  strip->addWidget(WindowCombo);
  ColorCombo = MakeList(QStringLiteral("Color Scheme"), this);
  for (const TColorScheme& s : ColorSchemes)
    ColorCombo->addItem(QString::fromLatin1(s.Caption));
  strip->addSpacing(2);
  strip->addWidget(Caption(QStringLiteral("Color Scheme"), ColorCombo, this));
  strip->addWidget(ColorCombo);
  LogCheck = new QCheckBox(QStringLiteral("Log"), this);
  LogCheck->setToolTip(QStringLiteral("A logarithmic frequency axis"));
  strip->addWidget(LogCheck);
  strip->addStretch(1);
  SaveImageBtn = new QPushButton(QStringLiteral("Save Image..."), this);
  SaveImageBtn->setToolTip(QStringLiteral("Saves what is shown as a PNG picture"));
  strip->addWidget(SaveImageBtn);
  v->addLayout(strip);

  auto* readOuts = Row(4);
  const auto readOut = [&](const QString& caption, int chars, int stretch) {
    auto* panel = new TReadOutPanel(caption, this);
    readOuts->addWidget(panel, stretch);
    return panel->AddReadOut(chars);
  };
  TimeDis = readOut(QStringLiteral(" Time:"), 11, 3);
  FrequencyDis = readOut(QStringLiteral(" Frequency:"), 11, 3);
  LevelDis = readOut(QStringLiteral(" Level:"), 9, 2);
  NoteDis = readOut(QStringLiteral(" Note:"), 7, 2);
  v->addLayout(readOuts);

  FView = new TFileSpectroView(this);
  FView->setAccessibleName(QStringLiteral("Whole File"));
  FView->DepthBar()->setAccessibleName(QStringLiteral("Whole file color bands"));
  v->addWidget(FView, 1);

  AskImageSize = [this](QSize shown) { return askImageSize(window(), shown); };
  AskImageFile = [this] {
    return QFileDialog::getSaveFileName(window(), QStringLiteral("Save Image"),
                                        QDir::current().filePath(ImageName()),
                                        QStringLiteral("PNG images (*.png);;All files (*)"));
  };

  connect(SizeCombo, &QComboBox::currentIndexChanged, this,
          [this] { FView->SetTransformSize(TransformSize()); });
  connect(WindowCombo, &QComboBox::currentIndexChanged, this,
          [this] { FView->SetWindowKind(WindowKind()); });
  connect(ColorCombo, &QComboBox::currentIndexChanged, this, [this](int i) {
    const int n = int(std::size(ColorSchemes));
    FView->SetColorTable(ColorSchemes[i >= 0 && i < n ? i : 0].Table);
  });
  connect(LogCheck, &QCheckBox::toggled, FView, &TFileSpectroView::SetLogFrequency);
  connect(SaveImageBtn, &QPushButton::clicked, this, Guarded([this] { SaveImageBtnClick(); }));
  connect(FView, &TFileSpectroView::OnMouseMove, this,
          [this](int x, int y) { ViewMouseMove(x, y); });
  connect(FView, &TFileSpectroView::OnMouseLeave, this, [this] { ClearMouse(); });
  // The level under a still pointer sharpens with the picture.
  connect(FView, &TFileSpectroView::OnDetail, this, [this] { ShowReadOut(); });
  connect(FView, &TFileSpectroView::OnTimeClick, this,
          Guarded([this](double s) { ViewTimeClick(s); }));
  connect(FView, &TFileSpectroView::OnPlayKey, this, Guarded([this](double s) { ViewPlayKey(s); }));
  connect(&FWaveFile, &TWaveFilePage::OnStretchChange, this, [this] { WaveFileChange(); });
}

void TWholeFilePage::SetTransformSize(int Size)
{
  SizeCombo->setCurrentText(QString::number(Size));
}

int TWholeFilePage::TransformSize() const
{
  return ComboBufferSize(SizeCombo->currentIndex());
}

void TWholeFilePage::SetWindowKind(TWindowKind Window)
{
  WindowCombo->setCurrentText(WindowCaption(Window));
}

TWindowKind TWholeFilePage::WindowKind() const
{
  const int i = WindowCombo->currentIndex();
  return i >= 0 && i < int(std::size(AllWindows)) ? AllWindows[i] : TWindowKind::Hann;
}

void TWholeFilePage::SetColorScheme(int Index)
{
  ColorCombo->setCurrentIndex(Index);
}

int TWholeFilePage::ColorScheme() const
{
  return ColorCombo->currentIndex();
}

void TWholeFilePage::SetLogFrequency(bool Log)
{
  LogCheck->setChecked(Log);
}

bool TWholeFilePage::LogFrequency() const
{
  return LogCheck->isChecked();
}

QString TWholeFilePage::ImageName() const
{
  const QString base = QFileInfo(FileTitle()).completeBaseName();
  return base.isEmpty() ? QStringLiteral("whole-file.png") : base + QStringLiteral(".png");
}

QStringList TWholeFilePage::ReadOuts() const
{
  return {TimeDis->Text(), FrequencyDis->Text(), LevelDis->Text(), NoteDis->Text()};
}

void TWholeFilePage::WaveFileChange()
{
  const TSoundData& d = FWaveFile.WaveFile().SoundData();
  const TSoundData& shown = FView->Cache().HasSource() ? FView->Cache().Source().Data : d;
  // A file opened again is the same load: its samples are shared.
  const bool same = FView->Cache().HasSource() &&
                    d.Channels[0].constData() == shown.Channels[0].constData() &&
                    d.SamplesPerChannel == shown.SamplesPerChannel;
  if (!same) {
    FView->SetFile(d);
    // The last file's samples and levels are freed by now; their pages go
    // back to the system, so a long file does not stay resident after it.
    ReleaseFreedMemory();
  }
  const double rate = d.Format.nSamplesPerSec;
  if (rate > 0 && d.SamplesPerChannel > 0)
    FView->SetStretch(FWaveFile.Offset(), FWaveFile.BufferSize() / rate);
  else
    FView->SetStretch(0, -1);
}

void TWholeFilePage::ClearMouse()
{
  FMouse = {-1, -1};
  for (TReadOut* r : {TimeDis, FrequencyDis, LevelDis, NoteDis})
    r->SetText(QString());
}

void TWholeFilePage::ViewMouseMove(int X, int Y)
{
  FMouse = {X, Y};
  ShowReadOut();
}

void TWholeFilePage::ShowReadOut()
{
  TFileSpectroView::TReading r;
  if (FMouse.x() < 0 || !FView->ReadAt(FMouse, r)) {
    // Off the plot the mapping runs past the axes: nothing to read there.
    for (TReadOut* o : {TimeDis, FrequencyDis, LevelDis, NoteDis})
      o->SetText(QString());
    return;
  }
  TimeDis->SetText(TimeReadOut(r.Time, 3));
  FrequencyDis->SetText(FormatFixed(r.Frequency, 1) + QStringLiteral(" Hz"));
  if (std::isnan(r.Level))
    LevelDis->SetText(QString());
  else if (std::isinf(r.Level))
    LevelDis->SetText(QStringLiteral("silence"));
  else
    LevelDis->SetText(FormatFixed(r.Level, 1) + QStringLiteral(" dB"));
  NoteDis->SetText(NoteName(r.Frequency));
}

void TWholeFilePage::ViewTimeClick(double Seconds)
{
  // The page's change of offset moves the stretch and marks it here.
  FWaveFile.SetOffset(Seconds);
}

void TWholeFilePage::ViewPlayKey(double Seconds)
{
  TSAWaveFile& file = FWaveFile.WaveFile();
  if (file.Playing()) {
    file.StopPlaying();
    return;
  }
  const TSoundData& d = file.SoundData();
  if (!file.HasSamples())
    return;
  const double rate = d.Format.nSamplesPerSec;
  const std::int64_t offset =
      StretchOffsetSamples(Seconds >= 0 ? Seconds : FWaveFile.Offset(), rate);
  if (offset >= d.SamplesPerChannel)
    return;
  const auto count =
      int(std::min<std::int64_t>(std::llround(PlaySeconds * rate), d.SamplesPerChannel - offset));
  file.PlayChannelSamples(d, 0, count, offset);
}

void TWholeFilePage::SaveImageBtnClick()
{
  const std::optional<QSize> size = AskImageSize(FView->size());
  if (!size || size->isEmpty())
    return;
  const QString path = AskImageFile();
  if (path.isEmpty())
    return;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const QImage picture = FView->SavedPicture(*size, FileTitle());
  QApplication::restoreOverrideCursor();
  WriteWholeFile(path, [&picture](QIODevice& f) { return picture.save(&f, "PNG"); });
}

QString TWholeFilePage::FileTitle() const
{
  return QFileInfo(FWaveFile.WaveFile().SoundFile().FileName()).fileName();
}

void TWholeFilePage::StopWork()
{
  FView->StopWork();
}

} // namespace duv
