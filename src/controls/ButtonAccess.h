// SPDX-License-Identifier: GPL-3.0-or-later
// What a screen reader does with a button. Qt's own accessible "Toggle" on a
// button that can be checked flips the check without a click, so the handler
// behind it never runs: a capture button would show "Start" down while
// nothing is captured. The interface installed here makes every action of a
// button (push buttons, check boxes, radio buttons, speed buttons) a click.
#pragma once

#include <QString>

namespace duv {

// Installs the interface for every button of the program; once is enough,
// and a second call does nothing.
void InstallButtonAccessibility();

// A caption as a screen reader says it: without the mnemonic's "&".
QString WithoutMnemonic(const QString& Caption);

} // namespace duv
