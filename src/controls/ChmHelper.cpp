// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/ChmHelper.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QImageReader>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QShortcut>
#include <QSplitter>
#include <QTabWidget>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTextDocument>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>

// The pages are compiled into the static widget library; a static library's
// resources must be registered by hand, and Q_INIT_RESOURCE only works
// outside any namespace.
static void initHelpResources()
{
  Q_INIT_RESOURCE(help);
}

namespace duv {

namespace {

const QString kRoot = QStringLiteral(":/help/");

QString readResource(const QString& name)
{
  QFile f(kRoot + name);
  if (!f.open(QIODevice::ReadOnly))
    return {};
  return QString::fromUtf8(f.readAll());
}

QString pageFile(const QString& page)
{
  const qsizetype hash = page.indexOf(QLatin1Char('#'));
  return hash >= 0 ? page.left(hash) : page;
}

// "qrc:/help/a.htm#b" -> "a.htm#b"
QString pageOfUrl(const QUrl& u)
{
  if (u.isEmpty())
    return {};
  QString page = u.path();
  while (page.startsWith(QLatin1Char('/')))
    page.remove(0, 1);
  if (page.startsWith(QLatin1String("help/")))
    page.remove(0, 5);
  if (u.hasFragment())
    page += QLatin1Char('#') + u.fragment();
  return page;
}

bool pageExists(const QString& page)
{
  const QString file = pageFile(page);
  return !file.isEmpty() && !file.contains(QLatin1String("..")) && QFile::exists(kRoot + file);
}

QPointer<THelpWindow>& theWindow()
{
  static QPointer<THelpWindow> w;
  return w;
}

QSize& rememberedSize()
{
  static QSize size(760, 520);
  return size;
}

} // namespace

// ----------------------------------------------------------------- THelpWindow

THelpWindow::THelpWindow(QWidget* parent) : QWidget(parent, Qt::Window)
{
  static const bool registered = (initHelpResources(), true);
  Q_UNUSED(registered);
  setWindowTitle(QStringLiteral("Duvovovi Help"));
  // An open help window must not keep the program alive after the main
  // window has closed.
  setAttribute(Qt::WA_QuitOnClose, false);
  resize(rememberedSize());
  // Escape closes it, as it does a dialog.
  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  escape->setContext(Qt::WidgetWithChildrenShortcut);
  connect(escape, &QShortcut::activated, this, &QWidget::close);

  FTabs = new QTabWidget;
  FTree = new QTreeWidget;
  FTree->setHeaderHidden(true);
  FTabs->addTab(FTree, QStringLiteral("Contents"));
  auto* indexPage = new QWidget;
  auto* indexLayout = new QVBoxLayout(indexPage);
  indexLayout->setContentsMargins(4, 4, 4, 4);
  FIndexEdit = new QLineEdit;
  FIndexEdit->setPlaceholderText(QStringLiteral("Type a keyword"));
  FIndexList = new QListWidget;
  indexLayout->addWidget(FIndexEdit);
  indexLayout->addWidget(FIndexList);
  FTabs->addTab(indexPage, QStringLiteral("Index"));

  FBrowser = new QTextBrowser;
  FBrowser->setOpenExternalLinks(true);
  FBrowser->setSearchPaths({kRoot});

  auto* bar = new QToolBar;
  QAction* back = bar->addAction(QStringLiteral("Back"), FBrowser, &QTextBrowser::backward);
  back->setShortcut(QKeySequence::Back);
  QAction* forward = bar->addAction(QStringLiteral("Forward"), FBrowser, &QTextBrowser::forward);
  forward->setShortcut(QKeySequence::Forward);
  bar->addAction(QStringLiteral("Home"), this, [this] { ShowPage(DefaultPage()); });
  connect(FBrowser, &QTextBrowser::backwardAvailable, back, &QAction::setEnabled);
  connect(FBrowser, &QTextBrowser::forwardAvailable, forward, &QAction::setEnabled);
  back->setEnabled(false);
  forward->setEnabled(false);

  auto* split = new QSplitter;
  split->addWidget(FTabs);
  split->addWidget(FBrowser);
  split->setStretchFactor(1, 1);
  split->setSizes({220, 540});
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(bar);
  layout->addWidget(split);

  connect(FTree, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) {
    const QString page = item->data(0, Qt::UserRole).toString();
    if (!page.isEmpty())
      ShowPage(page);
  });
  connect(FTree, &QTreeWidget::itemClicked, FTree, &QTreeWidget::itemActivated);
  connect(FIndexEdit, &QLineEdit::textEdited, this, &THelpWindow::filterIndex);
  connect(FIndexEdit, &QLineEdit::returnPressed, this, &THelpWindow::showIndexItem);
  connect(FIndexList, &QListWidget::itemActivated, this, &THelpWindow::showIndexItem);
  connect(FBrowser, &QTextBrowser::sourceChanged, this, &THelpWindow::syncTree);
  connect(FBrowser, &QTextBrowser::sourceChanged, this, &THelpWindow::fitImages);
  FBrowser->viewport()->installEventFilter(this);

  loadContents();
  loadIndex();
}

QSize THelpWindow::RememberedSize()
{
  return rememberedSize();
}

void THelpWindow::SetRememberedSize(const QSize& Size)
{
  if (Size.width() >= 200 && Size.height() >= 150 && Size.width() <= 20000 &&
      Size.height() <= 20000)
    rememberedSize() = Size;
}

void THelpWindow::resizeEvent(QResizeEvent* e)
{
  QWidget::resizeEvent(e);
  if (isVisible())
    SetRememberedSize(size());
}

bool THelpWindow::eventFilter(QObject* watched, QEvent* e)
{
  if (watched == FBrowser->viewport() && e->type() == QEvent::Resize)
    fitImages();
  return QWidget::eventFilter(watched, e);
}

void THelpWindow::fitImages()
{
  QTextDocument* doc = FBrowser->document();
  const qreal room =
      std::max<qreal>(40, FBrowser->viewport()->width() - 2 * doc->documentMargin() - 8);
  for (QTextBlock block = doc->begin(); block.isValid(); block = block.next())
    for (auto it = block.begin(); !it.atEnd(); ++it) {
      const QTextFragment fragment = it.fragment();
      QTextImageFormat image = fragment.charFormat().toImageFormat();
      if (!image.isValid())
        continue;
      const QSize natural = QImageReader(kRoot + pageFile(image.name())).size();
      if (natural.isEmpty())
        continue;
      const qreal width = std::min<qreal>(natural.width(), room);
      if (image.width() == width)
        continue;
      image.setWidth(width);
      image.setHeight(natural.height() * width / natural.width());
      QTextCursor cursor(doc);
      cursor.setPosition(fragment.position());
      cursor.setPosition(fragment.position() + fragment.length(), QTextCursor::KeepAnchor);
      cursor.setCharFormat(image);
    }
}

void THelpWindow::loadContents()
{
  QList<QTreeWidgetItem*> parents;
  for (const THelpContentsEntry& e : ParseHelpContents(readResource("contents.txt"))) {
    const int level = std::min<int>(e.Level, int(parents.size()));
    parents.resize(level);
    auto* item =
        parents.isEmpty() ? new QTreeWidgetItem(FTree) : new QTreeWidgetItem(parents.last());
    item->setText(0, e.Title);
    item->setData(0, Qt::UserRole, e.Page);
    parents.append(item);
  }
  FTree->expandAll();
}

void THelpWindow::loadIndex()
{
  struct Entry
  {
    QString keyword, page, title;
  };
  QList<Entry> entries;
  const QStringList pages = QDir(kRoot).entryList({QStringLiteral("*.htm")}, QDir::Files);
  for (const QString& page : pages) {
    const THelpPageInfo info = ParseHelpPage(readResource(page));
    for (int c : info.Contexts)
      FContexts.insert(c, page);
    for (const QString& k : info.Keywords) {
      FKeywordPages[k.toLower()].append(page);
      entries.append({k, page, info.Title});
    }
  }
  std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
    const int c = a.keyword.compare(b.keyword, Qt::CaseInsensitive);
    return c != 0 ? c < 0 : a.title < b.title;
  });
  for (const Entry& e : entries) {
    // A keyword on several pages names the page after it.
    const bool shared = FKeywordPages.value(e.keyword.toLower()).size() > 1;
    auto* item = new QListWidgetItem(
        shared ? e.keyword + QStringLiteral(" - ") + e.title : e.keyword, FIndexList);
    item->setData(Qt::UserRole, e.page);
  }
}

void THelpWindow::filterIndex(const QString& text)
{
  const QString t = text.trimmed();
  for (int i = 0; i < FIndexList->count(); ++i) {
    if (FIndexList->item(i)->text().startsWith(t, Qt::CaseInsensitive)) {
      FIndexList->setCurrentRow(i);
      FIndexList->scrollToItem(FIndexList->item(i), QAbstractItemView::PositionAtTop);
      return;
    }
  }
}

void THelpWindow::showIndexItem()
{
  if (QListWidgetItem* item = FIndexList->currentItem())
    ShowPage(item->data(Qt::UserRole).toString());
}

void THelpWindow::syncTree(const QUrl& url)
{
  // The browser announces the new source before source() returns it.
  const QString current = pageFile(pageOfUrl(url));
  if (current.isEmpty())
    return;
  for (QTreeWidgetItemIterator it(FTree); *it; ++it)
    if ((*it)->data(0, Qt::UserRole).toString() == current) {
      FTree->setCurrentItem(*it);
      return;
    }
}

void THelpWindow::present()
{
  if (isMinimized())
    showNormal();
  show();
  raise();
  activateWindow();
}

QString THelpWindow::CurrentPage() const
{
  return pageOfUrl(FBrowser->source());
}

QStringList THelpWindow::PagesOfKeyword(const QString& keyword) const
{
  return FKeywordPages.value(keyword.trimmed().toLower());
}

bool THelpWindow::ShowPage(const QString& page)
{
  const QString name = page.isEmpty() ? DefaultPage() : page;
  present();
  if (!pageExists(name)) {
    FBrowser->setHtml(QStringLiteral("<h1>Topic not found</h1><p>The help has no page "
                                     "\"%1\".</p>")
                          .arg(name.toHtmlEscaped()));
    return false;
  }
  FBrowser->setSource(QUrl(QStringLiteral("qrc:/help/") + name));
  return true;
}

void THelpWindow::ShowContents()
{
  FTabs->setCurrentIndex(0);
  if (CurrentPage().isEmpty())
    ShowPage(DefaultPage());
  present();
}

bool THelpWindow::ShowContext(int context)
{
  const auto it = FContexts.constFind(context);
  if (it == FContexts.constEnd()) {
    present();
    FBrowser->setHtml(
        QStringLiteral("<h1>Topic not found</h1><p>The help has no page for context %1.</p>")
            .arg(context));
    return false;
  }
  return ShowPage(*it);
}

void THelpWindow::ShowIndex(const QString& keyword)
{
  FTabs->setCurrentIndex(1);
  FIndexEdit->setText(keyword);
  filterIndex(keyword);
  if (CurrentPage().isEmpty())
    ShowPage(DefaultPage());
  present();
  FIndexEdit->setFocus();
}

bool THelpWindow::LookupKeyword(const QString& keyword)
{
  const QStringList pages = PagesOfKeyword(keyword);
  if (pages.size() == 1)
    return ShowPage(pages.first());
  ShowIndex(keyword);
  return false;
}

// --------------------------------------------------------------- help engine

THelpWindow* HelpWindow()
{
  return theWindow();
}

void HtmlHelp(QWidget*, const QString& file, int command, const QVariant& data)
{
  QPointer<THelpWindow>& w = theWindow();
  if (command == HH_CLOSE_ALL) {
    // Later, not now: the request may come from inside the window itself.
    if (w) {
      w->hide();
      w->deleteLater();
      w = nullptr;
    }
    return;
  }
  if (!IsChmFile(file.section(QStringLiteral("::"), 0, 0)))
    return;
  if (!w)
    w = new THelpWindow;
  switch (command) {
  case HH_DISPLAY_TOC:
    w->ShowContents();
    break;
  case HH_DISPLAY_INDEX:
    w->ShowIndex(data.typeId() == QMetaType::QString ? data.toString() : QString());
    break;
  case HH_KEYWORD_LOOKUP:
    w->LookupKeyword(data.toString());
    break;
  case HH_HELP_CONTEXT:
    w->ShowContext(data.toInt());
    break;
  case HH_DISPLAY_TOPIC:
  default: {
    // The topic comes in the target ("file::/page") or, from the finder
    // command, as the data; a number there means the default page.
    QString page = TopicPage(file);
    if (page.isEmpty() && data.typeId() == QMetaType::QString)
      page = TopicPage(data.toString());
    w->ShowPage(page);
  }
  }
}

// ------------------------------------------------------------- THTMLHelpViewer

QString THTMLHelpViewer::helpFile() const
{
  return HelpManager ? HelpManager->HelpFile() : QString();
}

QWidget* THTMLHelpViewer::window() const
{
  return HelpManager ? HelpManager->OwnerWindow() : nullptr;
}

int THTMLHelpViewer::KeywordCount(const QString&) const
{
  return IsChmFile(helpFile()) ? 1 : 0;
}

QStringList THTMLHelpViewer::KeywordList(const QString& Keyword) const
{
  return IsChmFile(helpFile()) ? QStringList{Keyword} : QStringList{};
}

void THTMLHelpViewer::ShowContents()
{
  HtmlHelp(window(), helpFile(), HH_DISPLAY_TOC, 0);
}

void THTMLHelpViewer::ShowKeyword(const QString& Keyword)
{
  HtmlHelp(window(), helpFile(), HH_KEYWORD_LOOKUP, Keyword);
}

void THTMLHelpViewer::CloseAllHelp()
{
  HtmlHelp(nullptr, QString(), HH_CLOSE_ALL, 0);
}

void THTMLHelpViewer::Detach()
{
  CloseAllHelp();
  HelpManager = nullptr;
}

void THTMLHelpViewer::ShowTopic(const QString& Topic)
{
  HtmlHelp(window(), TopicTarget(helpFile(), Topic), HH_DISPLAY_TOPIC, 0);
}

void THTMLHelpViewer::ShowContext(int Context, const QString& FileName)
{
  HtmlHelp(window(), FileName, HH_HELP_CONTEXT, Context);
}

// ----------------------------------------------------------------- TCHMHelper

TCHMHelper::TCHMHelper(QObject* parent)
    : QObject(parent), FViewer(std::make_unique<THTMLHelpViewer>(this))
{
  if (qApp)
    qApp->installEventFilter(this);
}

TCHMHelper::~TCHMHelper()
{
  if (qApp)
    qApp->removeEventFilter(this);
  if (FViewer) {
    FViewer->CloseAllHelp();
    FViewer->HelpManager = nullptr;
  }
}

bool TCHMHelper::HelpCommand(int Command, const QVariant& Data)
{
  bool callHelp = true;
  return HelpCommandHandler(Command, Data, callHelp);
}

bool TCHMHelper::HelpCommandHandler(int Command, const QVariant& Data, bool& CallHelp)
{
  CallHelp = false;
  const THtmlHelpRequest r = MapHelpCommand(Command, Data);
  HtmlHelp(QApplication::focusWidget(), FHelpFile, r.Command, r.Data);
  return true;
}

bool TCHMHelper::eventFilter(QObject* watched, QEvent* e)
{
  if (e->type() == QEvent::KeyPress && watched->isWidgetType()) {
    auto* k = static_cast<QKeyEvent*>(e);
    if (k->key() == Qt::Key_F1 && k->modifiers() == Qt::NoModifier) {
      // The nearest control up the chain that names a help context.
      for (QObject* o = watched; o; o = o->parent()) {
        bool ok = false;
        const int context = o->property("HelpContext").toInt(&ok);
        if (ok && context != 0)
          return HelpCommand(HELP_CONTEXT, context);
      }
      return HelpCommand(HELP_CONTENTS, 0);
    }
  }
  return QObject::eventFilter(watched, e);
}

} // namespace duv
