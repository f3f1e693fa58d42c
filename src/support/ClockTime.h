// SPDX-License-Identifier: GPL-3.0-or-later
// Times as a reader expects them: seconds below a minute ("42.125 s"), a
// clock beyond it ("31:43.2", "1:02:03"). One place, so that the axes and
// every read-out agree. No widget here.
#pragma once

#include <QString>

namespace duv {

// Seconds with Decimals decimals below a minute, exactly as FormatFixed
// writes them; from a minute on m:ss.s (a tenth at most, none when
// Decimals is 0); from an hour on h:mm:ss. The form is chosen after
// rounding, so 59.96 s with one decimal reads 1:00.0, not 60.0.
QString ClockTime(double Seconds, int Decimals);

// A read-out's time: ClockTime, with " s" after it where it reads in seconds.
QString TimeReadOut(double Seconds, int Decimals);

// A clock whatever the time, so that the labels of one axis agree:
// m:ss, or h:mm:ss with Hours, with Decimals decimals of the seconds.
QString ClockText(double Seconds, int Decimals, bool Hours);

} // namespace duv
