// SPDX-License-Identifier: GPL-3.0-or-later
// WaveLib: plays one buffer of PCM samples through the sound server's default
// output (each play looks it up and opens it afresh for the buffer's format)
// and opens the input chooser. Failures are thrown as std::runtime_error with the text the
// user sees.
#pragma once

#include "support/WaveFormat.h"

#include <QString>
#include <cstdint>

class QWidget;

namespace duv {

class TWaveReader;

// OpenWaveOut (Format), then WriteWaveOut (Data, Size, Wait).
void PlayWave(WAVEFORMATEX Format, const void* Data, std::uint32_t Size, bool Wait);

// Closes the device of the previous play (stopping a buffer still playing)
// and opens the server's default output for Format: "Can't play format" when it cannot
// play it, "Failed to open output device" when there is none or it fails.
void OpenWaveOut(const WAVEFORMATEX& Format);

// Plays Size bytes of Data (whole frames) on the open device; the samples are
// copied, so the caller may reuse its buffer at once. With Wait it returns
// only once the buffer has been played out, repainting meanwhile but taking
// no user input. "Unable to prepare header" when no device is open or Data is
// missing.
void WriteWaveOut(const void* Data, std::uint32_t Size, bool Wait);

// The decimal code followed by the device layer's text for codes 5, 6, 7 and
// 34; the number alone for others.
QString WaveOutErrorText(int Code);

// Opens the input chooser (returning at once); the input the user picks is
// given to Reader, which re-reads its formats.
void ShowSoundControlPanel(TWaveReader* Reader, QWidget* Parent = nullptr);

// Whether an output device is open, and whether a buffer is still playing.
bool WaveOutIsOpen();
bool WaveOutIsPlaying();
// Stops what is playing and closes the device; nothing when none is open.
void StopWaveOut();

} // namespace duv
