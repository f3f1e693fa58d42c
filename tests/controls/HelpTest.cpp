// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/ChmHelper.h"

#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTest>
#include <QTextBrowser>
#include <QTreeWidget>
#include <gtest/gtest.h>

using namespace duv;

namespace {
struct HelpFixture : ::testing::Test
{
  TCHMHelper helper;
  void TearDown() override { helper.HelpCommand(HELP_QUIT); }
};
} // namespace

// Guards "&Contents": contents pane and default page shown, command kept, quit closes.
TEST_F(HelpFixture, ContentsOpensWindow)
{
  bool callHelp = true;
  EXPECT_TRUE(helper.HelpCommandHandler(HELP_CONTENTS, 0, callHelp));
  EXPECT_FALSE(callHelp);
  THelpWindow* w = HelpWindow();
  ASSERT_NE(w, nullptr);
  EXPECT_TRUE(w->isVisible());
  EXPECT_EQ(w->Tabs()->currentIndex(), 0);
  EXPECT_EQ(w->CurrentPage(), "intro.htm");
  EXPECT_GE(w->ContentsTree()->topLevelItemCount(), 3);
  EXPECT_TRUE(w->Browser()->toPlainText().contains("spectrum analyzer"));
  // Quit closes it.
  helper.HelpCommand(HELP_QUIT);
  EXPECT_EQ(HelpWindow(), nullptr);
}

// Guards topic, context and keyword requests each landing on their page, unknown ones on a notice.
TEST_F(HelpFixture, RequestsShowPages)
{
  helper.Viewer()->ShowTopic("/wavefile.htm");
  ASSERT_NE(HelpWindow(), nullptr);
  EXPECT_EQ(HelpWindow()->CurrentPage(), "wavefile.htm");
  // The contents pane follows the page shown.
  EXPECT_EQ(HelpWindow()->ContentsTree()->currentItem()->text(0), "Wave File");
  helper.Viewer()->ShowTopic("synthesize.htm");
  EXPECT_EQ(HelpWindow()->CurrentPage(), "synthesize.htm");
  helper.Viewer()->ShowTopic("wavefile.htm");
  EXPECT_EQ(HelpWindow()->CurrentPage(), "wavefile.htm");

  helper.HelpCommand(HELP_CONTEXT, int(hcSpectrogram));
  EXPECT_EQ(HelpWindow()->CurrentPage(), "spectrogram.htm");
  helper.HelpCommand(HELP_HELPONHELP, 0);
  EXPECT_EQ(HelpWindow()->CurrentPage(), "intro.htm");

  helper.HelpCommand(HELP_KEY, QString("spectro"));
  EXPECT_EQ(HelpWindow()->Tabs()->currentIndex(), 1);
  ASSERT_NE(HelpWindow()->IndexList()->currentItem(), nullptr);
  EXPECT_TRUE(HelpWindow()->IndexList()->currentItem()->text().startsWith("spectro"));
  helper.Viewer()->ShowKeyword("Offset");
  EXPECT_EQ(HelpWindow()->CurrentPage(), "wavefile.htm");

  // Unknown requests show a notice rather than a blank or stale page.
  helper.Viewer()->ShowTopic("missing.htm");
  EXPECT_TRUE(HelpWindow()->Browser()->toPlainText().contains("Topic not found"));
  helper.HelpCommand(HELP_CONTEXT, 9999);
  EXPECT_TRUE(HelpWindow()->Browser()->toPlainText().contains("context 9999"));
}

// Guards the extension test: a ".hlp" help file is not ours and opens nothing.
TEST_F(HelpFixture, HlpFileIsNotClaimed)
{
  helper.SetHelpFile("manual.hlp");
  EXPECT_FALSE(helper.Viewer()->HandlesTopic("a.htm"));
  EXPECT_EQ(helper.Viewer()->KeywordCount("x"), 0);
  helper.HelpCommand(HELP_CONTENTS);
  EXPECT_EQ(HelpWindow(), nullptr);
  helper.SetHelpFile("/opt/manual.CHM");
  EXPECT_TRUE(helper.Viewer()->HandlesContext(1, ""));
  EXPECT_EQ(helper.Viewer()->KeywordList("x"), QStringList({"x"}));
}

// Guards the help content: every contents entry, context number and link leads to a real page.
TEST_F(HelpFixture, PagesAreComplete)
{
  helper.HelpCommand(HELP_CONTENTS);
  THelpWindow* w = HelpWindow();
  ASSERT_NE(w, nullptr);
  for (QTreeWidgetItemIterator it(w->ContentsTree()); *it; ++it) {
    const QString page = (*it)->data(0, Qt::UserRole).toString();
    if (!page.isEmpty()) {
      EXPECT_TRUE(QFile::exists(":/help/" + page)) << page.toStdString();
    }
  }
  for (int c : {hcIntroduction, hcRealTime, hcWaveFile, hcSynthesize, hcOscilloscope, hcSpectrum,
                hcSpectrogram, hcWholeFile})
    EXPECT_TRUE(w->ShowContext(c)) << c;
  const QRegularExpression href("href=\"([^\"#:]+)");
  for (const char* page :
       {"intro.htm", "realtime.htm", "wavefile.htm", "synthesize.htm", "oscilloscope.htm",
        "spectrum.htm", "spectrogram.htm", "wholefile.htm"}) {
    QFile f(QString(":/help/") + page);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << page;
    const QString html = QString::fromUtf8(f.readAll());
    for (auto m = href.globalMatch(html); m.hasNext();) {
      const QString target = m.next().captured(1);
      EXPECT_TRUE(QFile::exists(":/help/" + target)) << page << " -> " << target.toStdString();
    }
  }
}

// Guards F1: the focused control's help context opens its page.
TEST_F(HelpFixture, F1ShowsContextPage)
{
  QLineEdit edit;
  edit.setProperty("HelpContext", int(hcSynthesize));
  QTest::keyClick(&edit, Qt::Key_F1);
  ASSERT_NE(HelpWindow(), nullptr);
  EXPECT_EQ(HelpWindow()->CurrentPage(), "synthesize.htm");
}
