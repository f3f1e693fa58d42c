// SPDX-License-Identifier: GPL-3.0-or-later
// The help viewer: our HTML help pages, built in as resources, shown in a
// window with a contents pane, an index of keywords and the page itself.
// TCHMHelper turns the application's help commands into requests to it.
#pragma once

#include "controls/HelpCommands.h"

#include <QHash>
#include <QPointer>
#include <QWidget>
#include <memory>

class QLineEdit;
class QListWidget;
class QTabWidget;
class QTextBrowser;
class QTreeWidget;
class QTreeWidgetItem;
class QUrl;

namespace duv {

// The help window. Pages are addressed by name ("intro.htm", optionally with
// "#anchor").
class THelpWindow : public QWidget
{
  Q_OBJECT
public:
  explicit THelpWindow(QWidget* parent = nullptr);

  // Shows the window with the contents pane, on the default page unless a
  // page is already shown.
  void ShowContents();
  // Shows a page; an unknown one shows a short notice instead.
  bool ShowPage(const QString& page);
  bool ShowContext(int context);
  // Opens the index at the first keyword starting with `keyword`.
  void ShowIndex(const QString& keyword);
  // A keyword naming exactly one page shows it; otherwise the index opens.
  bool LookupKeyword(const QString& keyword);

  QString CurrentPage() const;

  // The size a help window opens at: the last one's, within a run and, kept
  // with the view settings, between runs. A size too small to read or
  // larger than any screen is not taken.
  static QSize RememberedSize();
  static void SetRememberedSize(const QSize& Size);
  QStringList PagesOfKeyword(const QString& keyword) const;
  static QString DefaultPage() { return QStringLiteral("intro.htm"); }

  QTabWidget* Tabs() const { return FTabs; }
  QTreeWidget* ContentsTree() const { return FTree; }
  QLineEdit* IndexEdit() const { return FIndexEdit; }
  QListWidget* IndexList() const { return FIndexList; }
  QTextBrowser* Browser() const { return FBrowser; }

protected:
  void resizeEvent(QResizeEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;

private:
  // Pictures wider than the page are shown at its width.
  void fitImages();
  void loadContents();
  void loadIndex();
  void filterIndex(const QString& text);
  void showIndexItem();
  void syncTree(const QUrl& url);
  void present();

  QTabWidget* FTabs;
  QTreeWidget* FTree;
  QLineEdit* FIndexEdit;
  QListWidget* FIndexList;
  QTextBrowser* FBrowser;
  QHash<int, QString> FContexts;
  QHash<QString, QStringList> FKeywordPages; // lower-case keyword -> pages
};

// Runs one help request, as a help engine would: the one help window of the
// process is made on first use. Requests for a file that is not ".chm" are
// ignored.
void HtmlHelp(QWidget* caller, const QString& file, int command, const QVariant& data);
// The help window, or null when none is open.
THelpWindow* HelpWindow();

class TCHMHelper;

class THTMLHelpViewer
{
public:
  explicit THTMLHelpViewer(TCHMHelper* manager) : HelpManager(manager) {}

  QString ViewerName() const { return QStringLiteral("HTMLHelp Viewer"); }
  int KeywordCount(const QString& Keyword) const;
  QStringList KeywordList(const QString& Keyword) const;
  bool CanShowContents() const { return IsChmFile(helpFile()); }
  void ShowContents();
  void ShowKeyword(const QString& Keyword);
  void SetViewerId(int Id) { ViewerId = Id; }
  void CloseAllHelp();
  void Detach();
  bool HandlesTopic(const QString&) const { return IsChmFile(helpFile()); }
  void ShowTopic(const QString& Topic);
  bool HandlesContext(int, const QString&) const { return IsChmFile(helpFile()); }
  void ShowContext(int Context, const QString& FileName);

  TCHMHelper* HelpManager;
  int ViewerId = 0;

private:
  QString helpFile() const;
  QWidget* window() const;
};

// The main window's help component: every help command goes to the viewer.
class TCHMHelper : public QObject
{
  Q_OBJECT
public:
  explicit TCHMHelper(QObject* parent = nullptr);
  ~TCHMHelper() override;

  // The application's help file; only its ".chm" extension matters here,
  // the pages themselves are built into the program.
  QString HelpFile() const { return FHelpFile; }
  void SetHelpFile(const QString& f) { FHelpFile = f; }
  // The window help requests belong to (may be null).
  QWidget* OwnerWindow() const { return FOwner; }
  void SetOwnerWindow(QWidget* w) { FOwner = w; }

  THTMLHelpViewer* Viewer() const { return FViewer.get(); }
  const TWinHelpMakeBehave& WinHelpTester() const { return FTester; }

  // What the application calls for a help command ("&Contents" sends
  // HELP_CONTENTS); F1 sends HELP_CONTEXT for the focused control's
  // "HelpContext" property, or HELP_CONTENTS when it has none.
  bool HelpCommand(int Command, const QVariant& Data = 0);
  bool HelpCommandHandler(int Command, const QVariant& Data, bool& CallHelp);

protected:
  bool eventFilter(QObject* watched, QEvent* e) override;

private:
  std::unique_ptr<THTMLHelpViewer> FViewer;
  TWinHelpMakeBehave FTester;
  QString FHelpFile = QStringLiteral("Duvovovi.chm");
  QPointer<QWidget> FOwner;
};

} // namespace duv
