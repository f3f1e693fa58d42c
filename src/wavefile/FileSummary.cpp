// SPDX-License-Identifier: GPL-3.0-or-later
#include "wavefile/FileSummary.h"

#include "support/ClockTime.h"
#include "support/DSupport.h"
#include "wavefile/WaveFileParser.h"

namespace duv {

QString RateText(int Hz)
{
  QString text = FormatFixed(Hz / 1000.0L, 3);
  const QChar point = DecimalSeparator();
  if (text.contains(point)) {
    while (text.endsWith(QLatin1Char('0')))
      text.chop(1);
    if (text.endsWith(point))
      text.chop(1);
  }
  return text + QStringLiteral(" kHz");
}

QString FileSummary(const TSoundFile& File)
{
  const TSampleLayout& layout = File.SampleLayout();
  const TSoundData& data = File.SoundData();
  const WAVEFORMATEX& f = data.Format;
  if (f.nSamplesPerSec == 0 && data.SamplesPerChannel == 0)
    return QString();
  QString what;
  if (layout.Decoded) {
    what = layout.Decoded->Summary();
  } else {
    const int bits = layout.Bits > 0 ? layout.Bits : f.wBitsPerSample;
    what = QStringLiteral("WAV, %1-bit").arg(bits);
    if (layout.Encoding == WAVE_FORMAT_IEEE_FLOAT)
      what += QStringLiteral(" float");
  }
  const double seconds =
      f.nSamplesPerSec > 0 ? double(data.SamplesPerChannel) / f.nSamplesPerSec : 0;
  return QStringLiteral("%1, %2, %3")
      .arg(what, RateText(int(f.nSamplesPerSec)), TimeReadOut(seconds, 1));
}

} // namespace duv
