// SPDX-License-Identifier: GPL-3.0-or-later
// Which input the sound server records from by default, and which output it
// plays to.
//
// Qt 6.4 flags no input as the default on PulseAudio, nor on PipeWire's
// PulseAudio layer, and QMediaDevices::defaultAudioInput() then offers the
// first input listed. On a desktop with a webcam's microphone, a USB
// interface and a built-in one, that may well be another device than the one
// the user made the default in the desktop's sound settings. So unless Qt
// names the default itself, the server is asked for its default source, whose
// name is the id Qt gives that input. For outputs Qt 6.4 on PipeWire flags the
// first sink listed, and on PulseAudio does not see a change of the default,
// so the server is asked for its default sink at every play.
#pragma once

#include <QAudioDevice>
#include <QByteArray>

namespace duv {

// The name of the server's default source, asked over the PulseAudio
// protocol (which PipeWire speaks too); empty when no server answers within
// TimeoutMs.
QByteArray ServerDefaultSourceName(int TimeoutMs = 1000);
// The same for the default sink.
QByteArray ServerDefaultSinkName(int TimeoutMs = 1000);

// The input Qt flags as the default; else the listed input that is the
// server's default source; else the first one listed; null when there is no
// input at all.
QAudioDevice DefaultInput();

// The listed output that is the server's default sink; else the one Qt
// offers as the default; null when there is no output at all.
QAudioDevice DefaultOutput();

} // namespace duv
