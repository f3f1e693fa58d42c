// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up decisions made before any GUI library is touched. The executable
// links Qt Core alone, so that the headless commands start as quickly as a
// small tool; the window and the commands that draw live in the GUI part, a
// module loaded on demand from the program's private library folder.
#pragma once

#include <QString>
#include <QStringList>

namespace duv {

// Whether the program's arguments name a file to open in the window rather
// than a subcommand: one argument that looks like a path.
bool IsFileArgument(const QStringList& Args);

// Why no window can be opened here (no display to draw on), as one line for
// the user; empty when a window can open. Checked before Qt starts, so the
// user never sees a platform-plugin error instead.
QString MissingDisplayMessage();

// Whether the arguments are the GUI part's: no arguments or a file (the
// window), or a command that draws (CommandNeedsGui).
bool RunsInGuiPart(const QStringList& Args);

// Where the GUI part is looked for, in order: the private library folder
// beside the executable's (installed), then the executable's own folder (a
// build tree).
QStringList GuiPartCandidates();

// Loads the GUI part and runs it with the program's arguments; its exit
// code. A missing, broken or mismatched part is a message on standard error
// and exit code 1.
int RunGuiPart(int argc, char** argv);

// The GUI part's entry points, for the part itself to define.
extern "C" {
using TGuiMain = int (*)(int argc, char** argv);
using TGuiVersion = const char* (*)();
}
inline constexpr const char* GuiMainSymbol = "duvovovi_gui_main";
inline constexpr const char* GuiVersionSymbol = "duvovovi_gui_version";

} // namespace duv
