// Shared by the widget tests: a frame in a fresh working directory (project windows put their
// temporary files there) with scripted dialogs, a file size limit that makes writes fail, and
// grabs of widgets to look at.
#pragma once

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QSignalSpy>
#include <QTest>
#include <QtWidgets>
#include <csignal>
#include <filesystem>
#include <functional>
#include <memory>

#include "app/gui/Childwin.h"
#include "app/gui/Main.h"
#include "gui/Settings.h"
#include "gui/ScriptedDialogs.h"
#include "support/TestSupport.h"

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
QT_END_NAMESPACE

namespace vantorel::test {

using Bytes = std::vector<unsigned char>;
inline QString Q(const std::string& s) { return QString::fromStdString(s); }

// While alive, files this process writes may not grow beyond 16 bytes: writes fail with
// "File too large" (the signal is ignored), which no permission bit can bypass, not even root's.
class SmallFileLimit {
 public:
  SmallFileLimit() : oldHandler_(std::signal(SIGXFSZ, SIG_IGN)) {
    getrlimit(RLIMIT_FSIZE, &old_);
    const rlimit small{16, old_.rlim_max};
    setrlimit(RLIMIT_FSIZE, &small);
  }
  ~SmallFileLimit() {
    setrlimit(RLIMIT_FSIZE, &old_);
    std::signal(SIGXFSZ, oldHandler_);
  }

 private:
  rlimit old_{};
  void (*oldHandler_)(int);
};

// With VANTOREL_GRAB_DIR set, the widget is saved there as name.png to look at.
inline void Grab(QWidget& w, const QString& name) {
  const QString dir = qEnvironmentVariable("VANTOREL_GRAB_DIR");
  if (!dir.isEmpty()) w.grab().save(QDir(dir).filePath(name + ".png"));
}

// Lets the event loop run until `done` holds; false once ms milliseconds have passed.
inline bool WaitUntil(const std::function<bool()>& done, int ms = 60000) {
  if (!QTest::qWaitFor(done, ms)) return false;
  QCoreApplication::processEvents();
  return true;
}

// Lets the event loop run until the window's run is in the state and its worker idle.
inline bool WaitForState(gui::TMDIChild* child, uint8_t state, int ms = 60000) {
  return WaitUntil([=] { return child->Params().State == state && !child->RunComputing(); }, ms);
}

// Focuses the field, selects its whole text and types over it, key by key.
inline void TypeOver(QWidget* w, const QString& text) {
  w->setFocus();
  QTest::keyClick(w, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(w, text);
}

// Makes the directory the working directory while alive.
class WorkIn {
 public:
  explicit WorkIn(const TempDir& dir) : previous_(QDir::currentPath()) { QDir::setCurrent(Q(dir.path().string())); }
  ~WorkIn() { QDir::setCurrent(previous_); }

 private:
  QString previous_;
};

// Empties the program's settings (those of the test run) while created.
struct FreshSettings {
  FreshSettings() { gui::OpenSettings()->clear(); }
};

class FrameTest : public ::testing::Test {
 protected:
  void TearDown() override {
    for (gui::TMDIChild* child : frame_->ProjectWindows()) child->FormClose();  // no questions
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    frame_.reset();
  }
  gui::TMDIChild* Open(const QString& name = "x") { return frame_->OpenProjectWindow(name); }
  // A project window in the shown and active frame, for keys and clicks as a person gives them.
  gui::TMDIChild* OpenShown(const QString& name = "x") {
    frame_->show();
    gui::TMDIChild* child = Open(name);
    EXPECT_TRUE(QTest::qWaitForWindowExposed(frame_.get()));
    QApplication::setActiveWindow(frame_.get());
    return child;
  }
  std::string File(const std::string& name) const { return dir_.file(name); }
  QString Path(const std::string& name) const { return Q(dir_.file(name)); }
  bool Exists(const std::string& name) const { return std::filesystem::exists(dir_.path() / name); }

  TempDir dir_;
  WorkIn workIn_{dir_};
  ScriptedDialogs dialogs_;
  FreshSettings settings_;
  std::unique_ptr<gui::TMainForm> frame_ = std::make_unique<gui::TMainForm>();
};

}  // namespace vantorel::test
