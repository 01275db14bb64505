// The desktop program's save paths made to fail by a file size limit: the old file survives and
// the message names the system's error. The colour file and the recovery add their rows here.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QDir>
#include <csignal>
#include <functional>

#include "app/gui/Childwin.h"
#include "app/gui/Main.h"
#include "gui/ScriptedDialogs.h"
#include "support/TestSupport.h"

namespace vantorel::gui {
namespace {

TEST(WindowFailedWrite, EverySavePathKeepsTheOldFileAndNamesTheSystemsError) {
  test::TempDir dir;
  const QString previous = QDir::currentPath();
  ASSERT_TRUE(QDir::setCurrent(QString::fromStdString(dir.path().string())));
  test::ScriptedDialogs dialogs;
  {
    TMainForm frame;
    TMDIChild* child = frame.OpenProjectWindow("x");
    const auto saveAs = [&](const char* name, void (TMDIChild::*save)()) {
      return [&, name, save] {
        dialogs.answerFile(QString::fromStdString(dir.file(name)));
        (child->*save)();
      };
    };
    const std::tuple<const char*, std::function<void()>> paths[] = {
        {"p.Par", saveAs("p.Par", &TMDIChild::SaveParameters)},
        {"p.LPr", saveAs("p.LPr", &TMDIChild::SaveProject)},
        {"x.TMP0", [&] { child->WriteTempParameters(); }},
    };
    for (const auto& [name, save] : paths) {
      SCOPED_TRACE(name);
      test::WriteBytes(dir.file(name), {'o', 'l', 'd'});
      {
        // No file may grow beyond 16 bytes; the signal is ignored, so writes fail with EFBIG.
        const auto handler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit old{};
        getrlimit(RLIMIT_FSIZE, &old);
        const rlimit small{16, old.rlim_max};
        setrlimit(RLIMIT_FSIZE, &small);
        save();
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, handler);
      }
      EXPECT_TRUE(dialogs.lastMessage().contains("File too large")) << dialogs.lastMessage().toStdString();
      EXPECT_EQ(test::ReadBytes(dir.file(name)), (std::vector<unsigned char>{'o', 'l', 'd'}));
    }
    child->FormClose();
  }
  QDir::setCurrent(previous);
}

}  // namespace
}  // namespace vantorel::gui
