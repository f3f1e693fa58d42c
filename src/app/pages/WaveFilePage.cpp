// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/pages/WaveFilePage.h"

#include "analysis/SAGlobal.h"
#include "app/pages/PageSupport.h"
#include "app/pages/SAWaveFile.h"
#include "app/pages/ScopeBand.h"
#include "controls/ReadOut.h"
#include "controls/Realspin.h"
#include "graph/Graphbox.h"

#include "support/UiSupport.h"
#include "wavefile/FileSummary.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace duv {

TWaveFilePage::TWaveFilePage(TSpectrumView& Spectrum, TSAGraphs& Graphs, TScopeBand& Scope,
                             TRealSpin& TimeSpan, QWidget* Parent)
    : QWidget(Parent), FScope(Scope)
{
  auto* v = PageLayout(this, 6, 4);

  GroupBox2 = new QGroupBox(QStringLiteral("File Statistics"), this);
  auto* stats = new QVBoxLayout(GroupBox2);
  stats->setContentsMargins(4, 2, 4, 4);
  stats->setSpacing(2);
  const auto stat = [this, stats](const QString& caption, int chars) {
    auto* panel = new TReadOutPanel(caption, GroupBox2);
    stats->addWidget(panel);
    return panel->AddReadOut(chars);
  };
  ChannelDis = stat(QStringLiteral(" Channels"), 3);
  HzDis = stat(QStringLiteral(" Hz"), 6);
  ByteSecDis = stat(QStringLiteral(" Bytes/Sec"), 7);
  BlockAlignDis = stat(QStringLiteral(" Block Align"), 3);
  BitsDis = stat(QStringLiteral(" Bits"), 3);
  SamplesDis = stat(QStringLiteral(" Samples"), 11);
  // What the file is and how long it lasts, in words; wrapped, as the page
  // is narrow.
  SummaryLabel = new QLabel(GroupBox2);
  SummaryLabel->setWordWrap(true);
  SummaryLabel->setAccessibleName(QStringLiteral("File format"));
  stats->addWidget(SummaryLabel);
  v->addWidget(GroupBox2);

  BufferSizeCombo2 = MakeList(QStringLiteral("Buffer Size"), this);
  BufferSizeCombo2->addItems(BufferSizeItems());
  BufferSizeCombo2->setCurrentIndex(0);
  // Mnemonics: no two on a page share a letter, nor take one of the menus'
  // (F, E, S, H).
  v->addWidget(Caption(QStringLiteral("&Buffer Size "), BufferSizeCombo2, this));
  v->addWidget(BufferSizeCombo2);

  OffsetSpin = MakeSpin(QStringLiteral("Offset"), 0, 0.1, this);
  OffsetSpin->SetUnitsString(QStringLiteral("Sec"));
  Limit(OffsetSpin, 0, 0); // the file sets the end
  OffsetSpin->SetNumFormat(nfFixed);
  OffsetSpin->SetDigits(1);
  OffsetSpin->SetValue(0);
  v->addWidget(Caption(QStringLiteral("&Offset"), OffsetSpin, this));
  v->addWidget(OffsetSpin);

  AnalyzeFileBtn = new QPushButton(QStringLiteral("&Analyze"), this);
  PlaySampleBtn = new QPushButton(QStringLiteral("&Play Sample"), this);
  PlaySampleBtn->setToolTip(
      QStringLiteral("Plays the stretch; pressed again, or Escape, stops it"));
  auto* buttons = Row(4);
  buttons->addWidget(AnalyzeFileBtn);
  buttons->addWidget(PlaySampleBtn);
  v->addLayout(buttons);
  AutoFourierChk = new QCheckBox(QStringLiteral("Auto A&nalyze"), this);
  AutoPlayChk = new QCheckBox(QStringLiteral("A&uto Play"), this);
  v->addWidget(AutoFourierChk);
  v->addWidget(AutoPlayChk);
  v->addStretch(1);

  FWaveFile = std::make_unique<TSAWaveFile>(
      Spectrum, Graphs,
      TWaveFileControls{Scope.LeftGraph(), Scope.RightGraph(), *ChannelDis, *HzDis, *ByteSecDis,
                        *BlockAlignDis, *BitsDis, *SamplesDis, *BufferSizeCombo2, *OffsetSpin,
                        *AutoFourierChk, *AutoPlayChk, TimeSpan});

  connect(AnalyzeFileBtn, &QPushButton::clicked, this, Guarded([this] { AnalyzeFileBtnClick(); }));
  connect(PlaySampleBtn, &QPushButton::clicked, this, Guarded([this] { PlaySampleBtnClick(); }));
  connect(OffsetSpin, &TRealSpin::OnChange, this, Guarded([this] { OffsetSpinChange(); }));
  connect(BufferSizeCombo2, &QComboBox::currentIndexChanged, this,
          Guarded([this](int) { BufferSizeCombo2Change(); }));
}

TWaveFilePage::~TWaveFilePage() = default;

void TWaveFilePage::SetOffset(double Seconds) { OffsetSpin->SetValue(Seconds); }

double TWaveFilePage::Offset() const { return OffsetSpin->Value(); }

void TWaveFilePage::SetBufferSize(int Size)
{
  BufferSizeCombo2->setCurrentIndex(BufferSizeCombo2->findText(QString::number(Size)));
}

int TWaveFilePage::BufferSize() const
{
  return ComboBufferSize(BufferSizeCombo2->currentIndex());
}

void TWaveFilePage::SetAutoAnalyze(bool On) { AutoFourierChk->setChecked(On); }

void TWaveFilePage::SetAutoPlay(bool On) { AutoPlayChk->setChecked(On); }

QStringList TWaveFilePage::FileStatistics() const
{
  QStringList texts;
  for (const TReadOut* r : {ChannelDis, HzDis, ByteSecDis, BlockAlignDis, BitsDis, SamplesDis})
    texts << r->Text();
  return texts;
}

QString TWaveFilePage::Summary() const
{
  return SummaryLabel->text();
}

void TWaveFilePage::ShowLoadedFile()
{
  FWaveFile->ShowWaveFile();
  SummaryLabel->setText(FileSummary(FWaveFile->SoundFile()));
  SummaryLabel->setAccessibleDescription(SummaryLabel->text());
  FScope.LeftGraph().RestoreImage();
  FWaveFile->DrawStretchMarker();
  Q_EMIT OnStretchChange();
}

void TWaveFilePage::AnalyzeFileBtnClick() { FWaveFile->AnalyzeStretch(); }

void TWaveFilePage::PlaySampleBtnClick()
{
  // The sound plays on while the window takes input; a second press stops it.
  if (FWaveFile->Playing())
    FWaveFile->StopPlaying();
  else
    FWaveFile->PlayStretch();
}

void TWaveFilePage::StopSound()
{
  FWaveFile->StopPlaying();
}

void TWaveFilePage::OffsetSpinChange()
{
  FWaveFile->OffsetSpinChange();
  Q_EMIT OnStretchChange();
}

void TWaveFilePage::BufferSizeCombo2Change()
{
  FWaveFile->BufferSizeCombo2Change();
  Q_EMIT OnStretchChange();
}

void TWaveFilePage::LeftGraphMouseDown(int X, int Y) { FWaveFile->LeftGraphMouseDown(X, Y); }

void TWaveFilePage::LeftGraphPaint() { FWaveFile->DrawStretchMarker(); }

} // namespace duv
