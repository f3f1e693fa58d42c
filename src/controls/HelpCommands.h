// SPDX-License-Identifier: GPL-3.0-or-later
// The help system without a window: the classic help command numbers and
// their mapping onto the help viewer's commands, help-file targets, and the
// reading of our help pages' contents file and page headers. Pure: Qt Core.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

namespace duv {

// Requests an application makes (the data is a context number or a keyword).
enum THelpCommand : int {
  HELP_CONTEXT = 1,
  HELP_QUIT = 2,
  HELP_CONTENTS = 3,
  HELP_HELPONHELP = 4,
  HELP_CONTEXTPOPUP = 8,
  HELP_FINDER = 11,
  HELP_KEY = 0x101,
};

// What the help viewer itself does.
enum THtmlHelpCommand : int {
  HH_DISPLAY_TOPIC = 0,
  HH_DISPLAY_TOC = 1,
  HH_DISPLAY_INDEX = 2,
  HH_KEYWORD_LOOKUP = 0x0D,
  HH_HELP_CONTEXT = 15,
  HH_CLOSE_ALL = 18,
};

// Context numbers of the pages (each page names its own in a
// <meta name="context"> header).
enum THelpContext : int {
  hcIntroduction = 1,
  hcRealTime = 10,
  hcWaveFile = 20,
  hcSynthesize = 30,
  hcOscilloscope = 40,
  hcSpectrum = 50,
  hcSpectrogram = 60,
  hcWholeFile = 70,
};

struct THtmlHelpRequest
{
  int Command;
  QVariant Data;
};

// The request table: contexts and popups show a context, quit closes all,
// contents shows the contents, the finder shows a topic, a key opens the
// index at that keyword, anything else shows the default topic.
THtmlHelpRequest MapHelpCommand(int command, const QVariant& data);

// Extension tests ignoring letter case.
bool IsChmFile(const QString& fileName);
bool IsHlpFile(const QString& fileName);

// "file::/topic": a topic with or without a leading "/" names the same page;
// an empty topic gives the file alone.
QString TopicTarget(const QString& helpFile, const QString& topic);
// The page part of a target or topic, without the leading "/" (empty for the
// default page): "x.chm::/a.htm#b", "/a.htm#b" and "a.htm#b" all give "a.htm#b".
QString TopicPage(const QString& target);

struct THelpContentsEntry
{
  QString Title;
  QString Page; // empty for a heading
  int Level = 0;
};

// Lines "Title|page" with two spaces of indent per level; "#" starts a
// comment line, blank and malformed lines are skipped.
QList<THelpContentsEntry> ParseHelpContents(const QString& text);

struct THelpPageInfo
{
  QString Title;
  QStringList Keywords;
  QList<int> Contexts;
};

// The <title>, the "keywords" meta list (separated by ";" or ",") and the
// "context" meta numbers of a help page.
THelpPageInfo ParseHelpPage(const QString& html);

// Answers, for requests aimed at a classic ".hlp" file, whether that viewer
// should handle them; ours handles every ".chm" request instead.
class TWinHelpMakeBehave
{
public:
  bool CanShowALink(const QString& ALink, const QString& FileName) const;
  bool CanShowTopic(const QString& Topic, const QString& FileName) const;
  bool CanShowContext(int Context, const QString& FileName) const;
  QStringList GetHelpStrings(const QString& ALink) const;
  QString GetHelpPath() const { return {}; }
  QString GetDefaultHelpFile() const { return {}; }
};

} // namespace duv
