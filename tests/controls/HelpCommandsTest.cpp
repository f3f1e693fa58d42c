// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/HelpCommands.h"

#include <gtest/gtest.h>

using namespace duv;

// Guards the command table, including the default for unlisted commands.
TEST(HelpCommands, MapsEveryCommand)
{
  struct Row
  {
    int in, out;
    QVariant data, expected;
  };
  const Row rows[] = {
      {HELP_CONTEXT, HH_HELP_CONTEXT, 42, 42},
      {HELP_CONTEXTPOPUP, HH_HELP_CONTEXT, 7, 7},
      {HELP_QUIT, HH_CLOSE_ALL, 5, 0},
      {HELP_CONTENTS, HH_DISPLAY_TOC, 5, 0},
      {HELP_FINDER, HH_DISPLAY_TOPIC, 9, 9},
      {HELP_KEY, HH_DISPLAY_INDEX, QString("spectrum"), QString("spectrum")},
      {HELP_HELPONHELP, HH_DISPLAY_TOPIC, 5, 0},
      {12345, HH_DISPLAY_TOPIC, 5, 0},
  };
  for (const Row& r : rows) {
    const THtmlHelpRequest q = MapHelpCommand(r.in, r.data);
    EXPECT_EQ(q.Command, r.out) << r.in;
    EXPECT_EQ(q.Data, r.expected) << r.in;
  }
}

// Guards topic addressing: "/a.htm" and "a.htm" name the same page, "" the default page.
TEST(HelpCommands, TopicTargets)
{
  EXPECT_EQ(TopicTarget("/opt/d/Duvovovi.chm", "intro.htm"), "/opt/d/Duvovovi.chm::/intro.htm");
  EXPECT_EQ(TopicTarget("/opt/d/Duvovovi.chm", "/intro.htm"), "/opt/d/Duvovovi.chm::/intro.htm");
  EXPECT_EQ(TopicTarget("x.chm", ""), "x.chm");
  EXPECT_EQ(TopicPage("x.chm::/a.htm#b"), "a.htm#b");
  EXPECT_EQ(TopicPage("/a.htm"), "a.htm");
  EXPECT_EQ(TopicPage("a.htm"), "a.htm");
  EXPECT_EQ(TopicPage("x.chm"), "");
}

// Guards which viewer claims a file: ".chm" ours, ".hlp" the classic one, ignoring case.
TEST(HelpCommands, FileKinds)
{
  EXPECT_TRUE(IsChmFile("manual.CHM"));
  EXPECT_FALSE(IsChmFile("manual.hlp"));
  TWinHelpMakeBehave tester;
  EXPECT_TRUE(tester.CanShowContext(1, "manual.HLP"));
  EXPECT_TRUE(tester.CanShowTopic("a", "manual.hlp"));
  EXPECT_FALSE(tester.CanShowALink("a", "manual.chm"));
  EXPECT_TRUE(tester.GetHelpStrings("a").isEmpty());
}

// Guards reading the contents file and page headers, tolerating comments and stray separators.
TEST(HelpCommands, ParsesContentsAndPages)
{
  const auto entries = ParseHelpContents("# note\nTop|a.htm\r\nGroup|\n  Sub|b.htm\n\nbroken\n");
  ASSERT_EQ(entries.size(), 3);
  EXPECT_EQ(entries[0].Title, "Top");
  EXPECT_EQ(entries[1].Page, "");
  EXPECT_EQ(entries[2].Level, 1);
  EXPECT_EQ(entries[2].Page, "b.htm");

  const THelpPageInfo info = ParseHelpPage(
      "<HTML><head><Title>Wave\n File</Title><meta name=\"context\" content=\"20, 21\">"
      "<meta name=\"keywords\" content=\"wave file; open, drop;;\"></head>");
  EXPECT_EQ(info.Title, "Wave File");
  EXPECT_EQ(info.Keywords, QStringList({"wave file", "open", "drop"}));
  EXPECT_EQ(info.Contexts, QList<int>({20, 21}));
  EXPECT_TRUE(ParseHelpPage("<p>no header</p>").Keywords.isEmpty());
}
