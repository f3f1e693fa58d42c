// SPDX-License-Identifier: GPL-3.0-or-later
// A random user on the real window, with a tone playing into the rig's
// microphone: from a seed it presses buttons, triggers menu items, switches
// tabs, turns spin edits, picks list entries, clicks, drags and wheels over
// the views and types keys, for DUVOVOVI_RANDOM_SECONDS (default 20).
// DUVOVOVI_RANDOM_SEED replays a run (the seed is printed at the start).
// A crash, a sanitizer report, a GUI thread that stops turning for 2 s or a
// message box nobody meant to show fails it, with the seed and the last
// actions printed.
#include "WindowDriver.h"
#include "app/SAMain.h"
#include "app/pages/RealTimePage.h"
#include "audio/AudioRig.h"
#include "controls/SpinButtons.h"
#include "support/UiSupport.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QWheelEvent>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <execinfo.h>
#include <random>
#include <thread>
#include <unistd.h>

#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(undefined_behavior_sanitizer)
#define DUVOVOVI_SANITIZED 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define DUVOVOVI_SANITIZED 1
#endif
#ifdef DUVOVOVI_SANITIZED
#include <sanitizer/common_interface_defs.h>
#endif

using namespace duv;
using namespace duv::test;

namespace {

// The last actions, in fixed buffers: a signal handler or a sanitizer's
// death callback prints them without allocating.
constexpr int Kept = 20;
char Lines[Kept][200];
std::atomic<unsigned> Count{0};
unsigned Seed = 0;

void Note(const QString& Text)
{
  const unsigned n = Count.load();
  std::snprintf(Lines[n % Kept], sizeof Lines[0], "%6u %s\n", n, Text.toUtf8().constData());
  Count.store(n + 1);
}

void Put(const char* Text)
{
  const ssize_t ignored = ::write(STDERR_FILENO, Text, std::strlen(Text));
  (void)ignored;
}

void PrintActions(const char* Why)
{
  char head[160];
  std::snprintf(
      head, sizeof head,
      "\n== random driver: %s; seed %u (DUVOVOVI_RANDOM_SEED=%u replays it); the last actions:\n",
      Why, Seed, Seed);
  Put(head);
  const unsigned n = Count.load();
  for (unsigned i = n > Kept ? n - Kept : 0; i < n; ++i)
    Put(Lines[i % Kept]);
}

extern "C" void OnFatalSignal(int Signal)
{
  PrintActions(strsignal(Signal));
  void* frames[64];
  Put("== where:\n");
  backtrace_symbols_fd(frames, backtrace(frames, 64), STDERR_FILENO);
  std::signal(Signal, SIG_DFL);
  std::raise(Signal);
}

#ifdef DUVOVOVI_SANITIZED
extern "C" void OnSanitizerDeath()
{
  PrintActions("the sanitizer stopped the run (its report is above)");
}
#endif

// Aborts the run, with the actions, when the GUI thread has not turned for
// HangMs.
class Watchdog
{
public:
  static constexpr int HangMs = 2000;
  Watchdog()
  {
    Beat();
    FThread = std::thread([this] {
      while (!FDone) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        if (Now() - FLast > HangMs) {
          PrintActions("the GUI thread has not turned for 2 s");
          std::abort();
        }
      }
    });
  }
  ~Watchdog()
  {
    FDone = true;
    FThread.join();
  }
  void Beat() { FLast = Now(); }

private:
  static long long Now()
  {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
  }
  std::atomic<long long> FLast{0};
  std::atomic<bool> FDone{false};
  std::thread FThread;
};

QString NameOf(QWidget* W)
{
  QString name = AccessibleName(W);
  if (name.isEmpty())
    name = W->objectName();
  return QStringLiteral("%1 \"%2\"").arg(W->metaObject()->className(), name);
}

class RandomUser
{
public:
  RandomUser(TForm1& Form, unsigned Seed) : F(Form), Rng(Seed)
  {
    // Modal dialogs and popup menus are closed after a while, as a user
    // closes them; a message box is a failure unless an error handler
    // showed it.
    QObject::connect(&Closer, &QTimer::timeout, [this] { CloseWhatBlocks(); });
    Closer.start(30);
  }

  QStringList Boxes; // message boxes that came up
  int Actions = 0;

  void Step()
  {
    ++Actions;
    switch (Pick(12)) {
    case 0:
    case 1:
    case 2:
      return PressButton();
    case 3:
      return TriggerMenuItem();
    case 4:
      return SwitchTab();
    case 5:
      return TurnSpin();
    case 6:
      return PickFromList();
    case 7:
    case 8:
      return TypeKey();
    case 9:
    case 10:
      return MouseOnView();
    default: {
      const int ms = Pick(150);
      Note(QStringLiteral("wait %1 ms").arg(ms));
      DesktopWait(ms);
    }
    }
  }

private:
  int Pick(int N) { return std::uniform_int_distribution<int>(0, N - 1)(Rng); }
  template <typename T> T* PickOf(const QList<T*>& L)
  {
    return L.isEmpty() ? nullptr : L[Pick(int(L.size()))];
  }

  // The windows a user can reach now: the main window and the dialogs
  // shown beside it.
  template <typename T> QList<T*> Reachable()
  {
    QList<T*> out;
    for (QWidget* top : QApplication::topLevelWidgets()) {
      if (!top->isVisible() || qobject_cast<QMenu*>(top))
        continue;
      for (T* w : top->findChildren<T*>())
        if (w->isVisible() && w->isEnabled())
          out << w;
    }
    return out;
  }

  void PressButton()
  {
    QList<QAbstractButton*> buttons;
    for (QAbstractButton* b : Reachable<QAbstractButton>())
      // Not the one that starts another program.
      if (AccessibleName(b) != QLatin1String("Sound Settings...") &&
          !qobject_cast<QTabBar*>(b->parentWidget()))
        buttons << b;
    if (QAbstractButton* b = PickOf(buttons)) {
      Note(QStringLiteral("press %1").arg(NameOf(b)));
      DesktopClick(*b, b->rect().center());
    }
  }

  void TriggerMenuItem()
  {
    QList<QAction*> items;
    const QList<QAction*> printing = {F.PrintLeftChannel1, F.PrintRightChannel1, F.PrintSpecturm1,
                                      F.PrintSpectrogram1, F.Exit1};
    std::function<void(QMenu*)> walk = [&](QMenu* m) {
      for (QAction* a : m->actions()) {
        if (a->menu())
          walk(a->menu());
        else if (!a->isSeparator() && a->isEnabled() && !printing.contains(a))
          items << a;
      }
    };
    for (QMenu* m : {F.File1, F.Edit1, F.Settings1, F.Help1, F.PopupMenu1})
      walk(m);
    if (QAction* a = PickOf(items)) {
      Note(QStringLiteral("menu item \"%1\"").arg(a->text()));
      a->trigger();
    }
  }

  void SwitchTab()
  {
    if (QTabWidget* t = PickOf(Reachable<QTabWidget>())) {
      const int i = Pick(t->count());
      Note(QStringLiteral("tab %1 of %2").arg(t->tabText(i), NameOf(t)));
      if (t->isTabEnabled(i) && t->tabBar()->tabRect(i).isValid())
        DesktopClick(*t->tabBar(), t->tabBar()->tabRect(i).center());
    }
  }

  void TurnSpin()
  {
    if (TCustomSpin* s = PickOf(Reachable<TCustomSpin>())) {
      static const Qt::Key keys[] = {Qt::Key_Up, Qt::Key_Down, Qt::Key_PageUp, Qt::Key_PageDown};
      const Qt::Key key = keys[Pick(4)];
      const int times = 1 + Pick(5);
      Note(QStringLiteral("spin %1 key %2 x%3").arg(NameOf(s)).arg(key, 0, 16).arg(times));
      DesktopClick(*s, s->rect().center());
      for (int i = 0; i < times; ++i)
        DesktopKey(*s, key);
    }
  }

  void PickFromList()
  {
    if (QComboBox* c = PickOf(Reachable<QComboBox>())) {
      const int down = Pick(4), up = Pick(3);
      Note(QStringLiteral("list %1 down %2 up %3").arg(NameOf(c)).arg(down).arg(up));
      DesktopClick(*c, c->rect().center()); // opens its list
      QWidget& keysTo = QApplication::activePopupWidget() ? *QApplication::activePopupWidget() : *c;
      for (int i = 0; i < down; ++i)
        DesktopKey(keysTo, Qt::Key_Down);
      for (int i = 0; i < up; ++i)
        DesktopKey(keysTo, Qt::Key_Up);
      if (QWidget* popup = QApplication::activePopupWidget())
        DesktopKey(*popup, Qt::Key_Return);
    }
  }

  void TypeKey()
  {
    static const std::pair<Qt::Key, Qt::KeyboardModifiers> keys[] = {
        {Qt::Key_Left, {}},
        {Qt::Key_Right, {}},
        {Qt::Key_Up, {}},
        {Qt::Key_Down, {}},
        {Qt::Key_Plus, {}},
        {Qt::Key_Minus, {}},
        {Qt::Key_Home, {}},
        {Qt::Key_Space, {}},
        {Qt::Key_Escape, {}},
        {Qt::Key_PageUp, {}},
        {Qt::Key_Plus, Qt::ControlModifier},
        {Qt::Key_Minus, Qt::ControlModifier},
        {Qt::Key_Tab, {}},
        {Qt::Key_C, Qt::ControlModifier}};
    const auto& [key, mods] = keys[Pick(int(std::size(keys)))];
    QWidget* to = QApplication::focusWidget();
    if (!to || !to->window()->isVisible() || !WindowOf(*to))
      to = &F;
    Note(QStringLiteral("key %1 mods %2 to %3")
             .arg(key, 0, 16)
             .arg(int(mods), 0, 16)
             .arg(NameOf(to)));
    DesktopKey(*to, key, mods);
  }

  void MouseOnView()
  {
    QList<QWidget*> views;
    for (const char* name : {"Spectrum", "Left Channel", "Right Channel", "Spectrogram",
                             "Color bands", "Whole File", "Bands", "History Time"})
      for (QWidget* w : FindAll<QWidget>(F, QString::fromLatin1(name)))
        if (w->isVisible() && w->isEnabled())
          views << w;
    QWidget* v = PickOf(views);
    if (!v)
      return;
    const QPoint a(Pick(v->width()), Pick(v->height())), b(Pick(v->width()), Pick(v->height()));
    switch (Pick(6)) {
    case 0:
      Note(QStringLiteral("click %1 at %2,%3").arg(NameOf(v)).arg(a.x()).arg(a.y()));
      return DesktopClick(*v, a);
    case 1:
      Note(QStringLiteral("double-click %1 at %2,%3").arg(NameOf(v)).arg(a.x()).arg(a.y()));
      return DesktopDoubleClick(*v, a);
    case 2:
    case 3: {
      const Qt::KeyboardModifiers mods = Pick(2) ? Qt::ShiftModifier : Qt::NoModifier;
      Note(QStringLiteral("drag %1 from %2,%3 to %4,%5 mods %6")
               .arg(NameOf(v))
               .arg(a.x())
               .arg(a.y())
               .arg(b.x())
               .arg(b.y())
               .arg(int(mods), 0, 16));
      DesktopPress(*v, a, mods);
      DesktopMove(*v, (a + b) / 2);
      DesktopMove(*v, b);
      return DesktopRelease(*v, b, mods);
    }
    case 4: {
      const int delta = (Pick(2) ? 120 : -120) * (1 + Pick(3));
      const Qt::KeyboardModifiers mods = Pick(2) ? Qt::ControlModifier : Qt::NoModifier;
      Note(QStringLiteral("wheel %1 at %2,%3 by %4 mods %5")
               .arg(NameOf(v))
               .arg(a.x())
               .arg(a.y())
               .arg(delta)
               .arg(int(mods), 0, 16));
      QWheelEvent e(a, v->mapToGlobal(a), QPoint(), QPoint(0, delta), Qt::NoButton, mods,
                    Qt::NoScrollPhase, false);
      QApplication::sendEvent(v, &e);
      return;
    }
    default:
      Note(QStringLiteral("right-click %1 at %2,%3").arg(NameOf(v)).arg(a.x()).arg(a.y()));
      QTest::mouseClick(WindowOf(*v), Qt::RightButton, {}, InWindow(*v, a));
      QTest::lastMouseTimestamp -= QTest::mouseDoubleClickInterval;
    }
  }

  void CloseWhatBlocks()
  {
    QWidget* modal = QApplication::activeModalWidget();
    QWidget* popup = QApplication::activePopupWidget();
    QWidget* blocking = popup ? popup : modal;
    if (blocking != FBlocking) {
      FBlocking = blocking;
      FSince.start();
      FCloseAfter = 100 + Pick(300);
    }
    if (!blocking)
      return;
    if (auto* box = qobject_cast<QMessageBox*>(blocking)) {
      Boxes << box->text();
      Note(QStringLiteral("a message box came up: %1").arg(box->text()));
      box->done(0);
      return;
    }
    if (FSince.elapsed() < FCloseAfter)
      return;
    Note(QStringLiteral("close %1").arg(NameOf(blocking)));
    if (auto* d = qobject_cast<QDialog*>(blocking))
      d->reject();
    else
      blocking->close();
  }

  TForm1& F;
  std::mt19937 Rng;
  QTimer Closer;
  QPointer<QWidget> FBlocking;
  QElapsedTimer FSince;
  int FCloseAfter = 0;
};

} // namespace

// Guards the window against what no one planned: any sequence of user
// actions must leave it running, answering, and quiet unless an error is
// explained.
TEST(RandomDriver, ThousandsOfActions)
{
  SKIP_WITHOUT_RIG();
  const QByteArray seedText = qgetenv("DUVOVOVI_RANDOM_SEED");
  Seed =
      seedText.isEmpty() ? unsigned(std::time(nullptr)) ^ unsigned(::getpid()) : seedText.toUInt();
  const int seconds = qEnvironmentVariableIsSet("DUVOVOVI_RANDOM_SECONDS")
                          ? qEnvironmentVariableIntValue("DUVOVOVI_RANDOM_SECONDS")
                          : 20;
  std::printf("random driver: seed %u, %d s\n", Seed, seconds);
  std::fflush(stdout);
#ifdef DUVOVOVI_SANITIZED
  __sanitizer_set_death_callback(OnSanitizerDeath);
#else
  for (int s : {SIGSEGV, SIGFPE, SIGBUS, SIGILL, SIGABRT})
    std::signal(s, OnFatalSignal);
#endif

  // The offscreen platform's notes on what it cannot do are not findings.
  const QtMessageHandler previousLog =
      qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& t) {
        if (!t.startsWith(QLatin1String("This plugin does not support")))
          std::fprintf(stderr, "%s\n", t.toLocal8Bit().constData());
      });
  rig::MessageLog log; // the reader's messages
  QStringList errors;  // errors the handlers showed
  const auto previousShow = ShowExceptionText;
  ShowExceptionText = [&errors](const QString& t) {
    errors << t;
    Note(QStringLiteral("error shown: %1").arg(t.left(150)));
  };
  {
    // A tone whose pitch wanders, so the views keep changing. Capture
    // stops and starts at random, so the FIFO may take nothing for long.
    rig::PipeWriter tone(
        qgetenv("DUVOVOVI_RIG_PIPE"),
        [](std::int64_t n) {
          const double t = double(n) / rig::PipeRate;
          return std::int16_t(12000 * std::sin(2 * M_PI * (300 * t + 200 * std::sin(t))));
        },
        24 * 3600 * 1000);
    TForm1 form;
    // Saves go to the temporary folder, never into the tree.
    QTemporaryDir dir;
    form.AskSaveFileName = [&dir](const QString&, const QString& suggestion, const QString&) {
      return dir.filePath(QFileInfo(suggestion).fileName());
    };
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    Watchdog watchdog;
    QTimer beat;
    QObject::connect(&beat, &QTimer::timeout, [&watchdog] { watchdog.Beat(); });
    beat.start(100);
    RandomUser user(form, Seed);
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < seconds * 1000LL && form.isVisible()) {
      user.Step();
      QCoreApplication::processEvents();
      watchdog.Beat();
    }
    errors.removeDuplicates();
    log.Messages.removeDuplicates();
    std::printf("random driver: %d actions; errors shown: %s; reader messages: %s\n", user.Actions,
                qPrintable(errors.join(" | ")), qPrintable(log.Messages.join(" | ")));
    EXPECT_TRUE(form.isVisible()) << "the window closed";
    if (!user.Boxes.isEmpty()) {
      PrintActions("a message box came up");
      ADD_FAILURE() << "message boxes: " << user.Boxes.join(" | ").toStdString();
    }
    // Everything closes before the window goes.
    for (QWidget* w : QApplication::topLevelWidgets())
      if (w != &form && w->isVisible())
        w->close();
    rig::Spin(100);
  }
  ShowExceptionText = previousShow;
  qInstallMessageHandler(previousLog);
}
