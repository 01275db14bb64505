// Vantorel: the desktop program.
//
// vantorel [FILE...] opens each parameter file (*.Par) or project file (any other name) in its
// own project window, as the open commands do. Arguments after "--" are always files.
//
// vantorel --calculate [FILE...] also starts the calculation of every window opened at start
// (a new project when no file is named), as its start button would: a new picture is
// initialised first, a loaded project continues from its progress position.
//
// Hidden option for measuring the start-up time: --quit-after-show (or the environment
// variable VANTOREL_QUIT_AFTER_SHOW=1) ends the program as soon as the main window has been
// exposed for the first time. --help and --version print and end (the manual page is made
// from them).
#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <QWindow>

#include <cstdio>

#include "app/gui/About.h"
#include "app/gui/Artwork.h"
#include "app/gui/Childwin.h"
#include "app/gui/Main.h"
#include "app/gui/ProgressForm.h"
#include "app/gui/StartupNote.h"
#include "core/Version.h"
#include "formula/UserFormulaMap.h"

namespace {

// Quits the application once the watched window is exposed.
class QuitWhenExposed : public QObject {
 public:
  using QObject::QObject;
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Expose) {
      if (auto* window = qobject_cast<QWindow*>(watched); window && window->isExposed())
        QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    }
    return QObject::eventFilter(watched, event);
  }
};

bool HasOption(int argc, char** argv, const char* option) {
  for (int i = 1; i < argc; ++i) {
    if (QByteArray(argv[i]) == "--") return false;
    if (QByteArray(argv[i]) == option) return true;
  }
  return false;
}

bool QuitAfterShow(int argc, char** argv) {
  if (qEnvironmentVariable("VANTOREL_QUIT_AFTER_SHOW") == "1") return true;
  return HasOption(argc, argv, "--quit-after-show");
}

constexpr const char* kHelpText = R"HELP(Usage: vantorel [OPTION...] [FILE...]
Computes, colours and explores Lyapunov fractals: projects in a multi-document window,
each with the pages "formula", "coordinates", "colors" and "calculation".

Each FILE opens in a project window of its own, as the open commands do: a parameter file
(*.Par) with its settings, a project file (*.LPr, or any other name) with its picture and
per-pixel data. Arguments after "--" are always files.

Options:
      --calculate        also start the calculation of every window opened at start (a new
                         project when no FILE is named), as its start button does: a new
                         picture is initialised first, a loaded project continues from its
                         progress position
  -h, --help             show this text and exit
      --version          show the version and exit

The toolkit's own options (for example -platform offscreen) are understood too.
)HELP";

// --help and --version are answered before the toolkit starts, so they need no display.
bool AnsweredOnTheCommandLine(int argc, char** argv) {
  if (HasOption(argc, argv, "--help") || HasOption(argc, argv, "-h")) {
    std::fputs(kHelpText, stdout);
    return true;
  }
  if (HasOption(argc, argv, "--version")) {
    std::printf("vantorel %s\n", vantorel::kVersion);
    return true;
  }
  return false;
}

// Starts every project window's calculation as its start button does.
void StartCalculations(vantorel::gui::TMainForm& mainForm) {
  if (mainForm.ProjectWindows().isEmpty()) mainForm.FileNew1Execute();
  for (vantorel::gui::TMDIChild* window : mainForm.ProjectWindows()) {
    if (!window->Control().PictureInitialised()) window->ToolButton7Click();
    window->ToolButton2Click();
  }
}

// The files named on the command line; Qt has already taken its own options out.
QStringList FileArguments(const QStringList& arguments) {
  QStringList files;
  bool options = true;
  for (qsizetype i = 1; i < arguments.size(); ++i) {
    const QString& a = arguments[i];
    if (options && a == QLatin1String("--")) {
      options = false;
      continue;
    }
    if (options && a.startsWith(QLatin1String("--"))) continue;
    files << a;
  }
  return files;
}

}  // namespace

int main(int argc, char** argv) {
  if (AnsweredOnTheCommandLine(argc, argv)) return 0;
  const bool quitAfterShow = QuitAfterShow(argc, argv);
  const bool calculate = HasOption(argc, argv, "--calculate");
  vantorel::InstallUserFormulas();
  QApplication app(argc, argv);
  QApplication::setApplicationName("Vantorel V2.1");
  QApplication::setApplicationVersion(vantorel::kVersion);
  QGuiApplication::setDesktopFileName("vantorel");
  QApplication::setWindowIcon(vantorel::gui::ProgramIcon());
  vantorel::gui::UseDecimalComma();

  // The windows created at start; no project window exists yet.
  vantorel::gui::TMainForm mainForm;
  auto* about = new vantorel::gui::TAboutBox(&mainForm);
  auto* note = new vantorel::gui::TForm5(&mainForm);
  auto* progress = new vantorel::gui::TForm7(&mainForm);
  mainForm.SetAuxiliaryWindows(about, note, progress);

  QuitWhenExposed quitter;
  mainForm.show();
  if (quitAfterShow) {
    mainForm.windowHandle()->installEventFilter(&quitter);
    if (mainForm.windowHandle()->isExposed()) QTimer::singleShot(0, &app, &QCoreApplication::quit);
  }
  note->show();
  const QStringList files = FileArguments(QApplication::arguments());
  QTimer::singleShot(0, &mainForm, [&mainForm, files, calculate] {
    if (!files.isEmpty()) mainForm.OpenFiles(files);
    if (calculate) StartCalculations(mainForm);
  });
  return app.exec();
}
