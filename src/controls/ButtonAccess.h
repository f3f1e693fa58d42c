// SPDX-License-Identifier: GPL-3.0-or-later
// What a screen reader does with a button that can be checked. Qt's own
// accessible "Toggle" flips the check without a click, so the handler behind
// the button never runs: a capture button would show "Start" down while
// nothing is captured. The interface installed here makes every action of
// such a button (check boxes, radio buttons, checkable speed buttons) a click.
#pragma once

#include <QString>

namespace duv {

// Installs the interface for every checkable button of the program; once is
// enough, and a second call does nothing.
void InstallButtonAccessibility();

// A caption as a screen reader says it: without the mnemonic's "&".
QString WithoutMnemonic(const QString& Caption);

} // namespace duv
