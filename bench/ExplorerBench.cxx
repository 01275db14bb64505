// The explorer window measured in a scripted session: 20 wheel notches in, 10 drags, 10 steps
// back, on a 1200 x 900 picture area with all workers, for two projects:
//   logistic   the logistic map over A, B in 2..4 (AB-sequence "AB")
//   default    the default project (a user formula), fast maths
// Every second event waits for the full-resolution pass; the others are followed at once by the
// next event, which cancels the passes still running. Printed per case (medians):
//   explorer CASE first_preview_ms=... full_ms=... longest_stall_ms=... cancelled_passes=...
// first_preview: from the event to the first pass of the new view on screen; full: to the
// full-resolution pass; longest_stall: the largest gap between two ticks of a 1 ms timer less the
// 1 ms; cancelled_passes: passes abandoned by a newer view (none of them was drawn: dropped=0).
// Usage: vantorel_explorer_bench [width height]   (QT_QPA_PLATFORM=offscreen without a display)
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTimer>
#include <QWheelEvent>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include "app/gui/Explorer.h"
#include "app/gui/Main.h"
#include "formula/UserFormulaMap.h"

using namespace vantorel;

namespace {

double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

void RunCase(const char* name, gui::TMainForm& frame, const TCalcParams& params, int width, int height) {
  gui::TExplorer explorer(frame, nullptr, params, true);
  explorer.SupersampleBox->setChecked(false);
  explorer.Canvas->setFixedSize(width, height);
  explorer.show();
  QApplication::processEvents();
  explorer.Begin();

  QElapsedTimer clock;
  clock.start();
  double lastTick = 0, stall = 0;
  bool measuring = false;
  QTimer ticker;
  ticker.setInterval(1);
  ticker.setTimerType(Qt::PreciseTimer);
  QObject::connect(&ticker, &QTimer::timeout, [&] {
    const double now = clock.nsecsElapsed() / 1e6;
    if (measuring) stall = std::max(stall, now - lastTick - 1);
    lastTick = now;
  });
  ticker.start();

  double eventAt = 0, firstAt = -1, fullAt = -1;
  explorer.PassShown = [&](const ExplorerPass& pass) {
    const double now = clock.nsecsElapsed() / 1e6;
    if (firstAt < 0) firstAt = now;
    if (pass.Step == 1) fullAt = now;
  };
  auto waitFor = [&](const std::function<bool()>& done) {
    while (!done()) QApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
  };
  waitFor([&] { return fullAt >= 0; });  // the starting view
  const int64_t cancelledBefore = explorer.Passes().CancelledPasses();

  QWidget* canvas = explorer.Canvas;
  std::vector<std::function<void()>> script;
  for (int i = 0; i < 20; ++i)
    script.push_back([&, i] {
      const QPointF at(width * (0.3 + 0.02 * i), height * (0.6 - 0.01 * i));
      QWheelEvent e(at, canvas->mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                    Qt::NoScrollPhase, false);
      QApplication::sendEvent(canvas, &e);
    });
  for (int i = 0; i < 10; ++i)
    script.push_back([&, i] {
      const QPointF from(width / 2.0, height / 2.0), to = from + QPointF(i % 2 ? -60 : 50, i % 3 ? 30 : -40);
      QMouseEvent press(QEvent::MouseButtonPress, from, canvas->mapToGlobal(from), Qt::LeftButton, Qt::LeftButton,
                        Qt::NoModifier);
      QApplication::sendEvent(canvas, &press);
      QMouseEvent release(QEvent::MouseButtonRelease, to, canvas->mapToGlobal(to), Qt::LeftButton, Qt::NoButton,
                          Qt::NoModifier);
      QApplication::sendEvent(canvas, &release);
    });
  for (int i = 0; i < 10; ++i) script.push_back([&] { explorer.GoBack(); });

  std::vector<double> first, full;
  measuring = true;
  for (size_t i = 0; i < script.size(); ++i) {
    firstAt = fullAt = -1;
    eventAt = clock.nsecsElapsed() / 1e6;
    script[i]();
    waitFor([&] { return firstAt >= 0; });
    first.push_back(firstAt - eventAt);
    if (i % 2 == 1) {
      waitFor([&] { return fullAt >= 0; });
      full.push_back(fullAt - eventAt);
    }
  }
  measuring = false;
  std::printf(
      "explorer %s first_preview_ms=%.1f full_ms=%.1f longest_stall_ms=%.1f cancelled_passes=%lld dropped=%lld "
      "workers=%d\n",
      name, Median(first), Median(full), stall,
      static_cast<long long>(explorer.Passes().CancelledPasses() - cancelledBefore),
      static_cast<long long>(explorer.DroppedPasses()), explorer.Passes().WorkerCount());
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  vantorel::InstallUserFormulas();
  QApplication app(argc, argv);
  const int width = argc >= 3 ? std::atoi(argv[1]) : 1200;
  const int height = argc >= 3 ? std::atoi(argv[2]) : 900;
  QTemporaryDir dir;
  QDir::setCurrent(dir.path());
  gui::TMainForm frame;

  TCalcParams logistic = DefaultCalcParams();
  logistic.FixedFormula = 0;
  logistic.SetSequence(ReadSequence("AB"));
  logistic.CalmDownIterations = RoundIterations(300, 2);
  logistic.Iterations = RoundIterations(150, 2);
  logistic.CenterX = logistic.CenterY = 3;
  logistic.Width = logistic.Height = 2;
  RunCase("logistic", frame, logistic, width, height);
  RunCase("default", frame, DefaultCalcParams(), width, height);
  return 0;
}
