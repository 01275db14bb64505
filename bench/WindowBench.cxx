// How the desktop program computes a picture in its project window, measured:
//   - the longest stall of the event loop while an 800 x 636 picture computes with all workers
//     (a 2 ms timer records the largest gap between two of its ticks, less the 2 ms);
//   - the time of that picture in the window, start to finish, against the engine run directly
//     the way vantorel-render runs it (same block, same number of workers).
// Usage: vantorel_window_bench [width height]   (QT_QPA_PLATFORM=offscreen without a display)
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <chrono>
#include <cstdio>
#include <sys/resource.h>
#include <thread>

#include "app/gui/Childwin.h"
#include "app/gui/Main.h"
#include "core/RechenThread.h"
#include "formula/UserFormulaMap.h"

using namespace vantorel;

namespace {

double CpuSeconds(int who) {
  rusage u{};
  getrusage(who, &u);
  return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double EngineSeconds(TCalcParams p, const std::string& dir) {
  PixelDataFile tmp1, tmp2;
  tmp1.Create(dir + "/engine.TMP1");
  tmp2.Create(dir + "/engine.TMP2");
  TPicture picture;
  picture.Resize(p.PictureWidth, p.PictureHeight);
  picture.Fill(0xFFFFFF);
  DirectDispatcher ui;
  TRechenThread thread(ui, 0);
  thread.SetFiles(tmp1, tmp2);
  thread.Setup(p, picture);
  const auto start = std::chrono::steady_clock::now();
  thread.Resume();
  while (!thread.Ended()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  thread.WaitFor();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  vantorel::InstallUserFormulas();
  QApplication app(argc, argv);
  const int width = argc >= 3 ? std::atoi(argv[1]) : 800;
  const int height = argc >= 3 ? std::atoi(argv[2]) : 636;
  QTemporaryDir dir;
  QDir::setCurrent(dir.path());

  gui::TMainForm frame;
  frame.resize(1000, 800);
  frame.show();
  gui::TMDIChild* child = frame.OpenProjectWindow("bench");
  child->CheckBox3->setChecked(false);
  child->SpinEdit3->setValue(width);
  child->SpinEdit4->setValue(height);
  child->ToolButton7->click();
  if (child->Params().State != StateInitialised || child->Picture().width() != width) {
    std::fprintf(stderr, "vantorel_window_bench: the picture could not be initialised\n");
    return 1;
  }
  const TCalcParams block = child->Params();

  const double engineBefore = EngineSeconds(block, dir.path().toStdString());

  // The event loop's longest stall: a 2 ms timer's largest gap.
  QElapsedTimer clock;
  qint64 last = 0, longest = 0, longestAt = 0;
  int over50 = 0;
  QTimer probe;
  probe.setTimerType(Qt::PreciseTimer);
  probe.setInterval(2);
  QObject::connect(&probe, &QTimer::timeout, [&] {
    const qint64 now = clock.nsecsElapsed();
    if (now - last > longest) {
      longest = now - last;
      longestAt = now;
    }
    over50 += now - last > 52000000;
    last = now;
  });
  const double cpu0 = CpuSeconds(RUSAGE_SELF), ui0 = CpuSeconds(RUSAGE_THREAD);
  clock.start();
  probe.start();
  child->ToolButton2->click();
  QEventLoop loop;  // as the program's own event loop runs
  QTimer done;
  QObject::connect(&done, &QTimer::timeout, [&] {
    if (child->Params().State == StateFinished) loop.quit();
  });
  done.start(10);
  loop.exec();
  const double windowSeconds = clock.nsecsElapsed() / 1e9;
  const double windowCpu = CpuSeconds(RUSAGE_SELF) - cpu0, uiCpu = CpuSeconds(RUSAGE_THREAD) - ui0;
  probe.stop();
  child->FormClose();

  // The engine before and after the window, so that a change of the machine's load shows.
  const double engineSeconds = (engineBefore + EngineSeconds(block, dir.path().toStdString())) / 2;
  std::printf("picture %d x %d, %u workers\n", width, height, std::max(1u, std::thread::hardware_concurrency()));
  std::printf("window: %.3f s   engine as vantorel-render: %.3f s (before %.3f s)   window/engine: %.3f\n",
              windowSeconds, engineSeconds, engineBefore, windowSeconds / engineSeconds);
  std::printf("processor time in the window: %.3f s, of it the user-interface thread %.3f s\n", windowCpu, uiCpu);
  std::printf("longest event-loop stall: %.1f ms (ending %.2f s after the start); stalls over 50 ms: %d\n",
              std::max<qint64>(0, longest - 2000000) / 1e6, longestAt / 1e9, over50);
  return 0;
}
