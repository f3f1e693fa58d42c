// SPDX-License-Identifier: GPL-3.0-or-later
// Which input the sound server records from by default.
//
// Qt 6.4 flags no input as the default on PulseAudio, nor on PipeWire's
// PulseAudio layer, and QMediaDevices::defaultAudioInput() then offers the
// first input listed. On a desktop with a webcam's microphone, a USB
// interface and a built-in one, that may well be another device than the one
// the user made the default in the desktop's sound settings. So unless Qt
// names the default itself, the server is asked for its default source, whose
// name is the id Qt gives that input.
#pragma once

#include <QAudioDevice>
#include <QByteArray>

namespace duv {

// The name of the server's default source, asked over the PulseAudio
// protocol (which PipeWire speaks too); empty when no server answers within
// TimeoutMs.
QByteArray ServerDefaultSourceName(int TimeoutMs = 1000);

// The input Qt flags as the default; else the listed input that is the
// server's default source; else the first one listed; null when there is no
// input at all.
QAudioDevice DefaultInput();

} // namespace duv
