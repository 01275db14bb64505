// The frame's view of the project window that is currently active, and what a project
// window needs from the frame. The active project window fills the slots when it is
// activated, so that frame commands (save parameters, save project, ...) act on it.
#pragma once

#include <QFileInfo>
#include <QString>
#include <functional>

class QProgressBar;
class QUndoGroup;

namespace vantorel {
struct TCalcParams;
class PixelDataFile;
}  // namespace vantorel

namespace vantorel::gui {

class TMDIChild;
class TForm7;

// The project name a file gives: its name without directory and without its last four
// characters ("x/Fern.Par" -> "Fern"). A name that would be empty keeps the whole file name.
inline QString ProjectNameFromFile(const QString& path) {
  const QString name = QFileInfo(path).fileName();
  return name.size() > 4 ? name.chopped(4) : name;
}

struct CurrentProjectSlots {  // filled by TMDIChild::FormActivate
  TMDIChild* Window = nullptr;
  TCalcParams* Params = nullptr;
  PixelDataFile* DataFile1 = nullptr;  // TMP1
  PixelDataFile* DataFile2 = nullptr;  // TMP2
  std::function<void()> SaveParameters, ParametersLoaded, SaveProject, ProjectLoaded;
};

class IProjectHost {  // what a project window needs from the frame
 public:
  virtual ~IProjectHost() = default;
  virtual CurrentProjectSlots& CurrentProject() = 0;
  // The name a project window being created takes as its caption.
  virtual QString PendingProjectName() const = 0;
  virtual TForm7& ProgressWindow() = 0;         // the "progress" window
  virtual QProgressBar& MainProgressBar() = 0;  // the frame's toolbar ProgressBar1 (0-100)
  // The undo stacks of the project windows, the active window's in front; none without a frame.
  virtual QUndoGroup* UndoGroup() { return nullptr; }
};

}  // namespace vantorel::gui
