// The frame window of the program: a multi-document main window with the menu, the toolbar,
// the status bar, the open dialogs and the two popup menus. It creates every project window
// (OpenProjectWindow) and reaches the active one only through the current-project slots that
// the project window fills when it is activated.
#pragma once

#include <QList>
#include <QMainWindow>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QUrl>
#include <functional>
#include <vector>

#include "app/gui/CurrentProject.h"
#include "gui/DialogService.h"

class QAction;
class QDragEnterEvent;
class QDragMoveEvent;
class QDropEvent;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QToolBar;
class QToolButton;
class QUndoGroup;

namespace vantorel::gui {

class TAboutBox;
class TForm5;
class THelpWindow;

// Where the tiling commands place n windows in an area: "arrange horizontal" stacks them
// one above the other at full width, "arrange vertical" puts them side by side at full
// height. The rectangles cover the area without gaps; the last one takes the rounding rest.
enum class TileDirection { Horizontal, Vertical };
std::vector<QRect> TileRects(int n, const QRect& area, TileDirection direction);

// The help document: the first existing of the candidate paths, or an empty string.
// Candidates: share/vantorel/help/index.html and share/doc/vantorel/help/index.html beside
// the installed program's folder (appDir/..), then docs/help/index.html in the folders above
// appDir (a build folder inside the source tree).
QString FindHelpDocument(const QString& appDir);

// Numbers are shown and read with a decimal comma everywhere in the program.
void UseDecimalComma();

class TMainForm : public QMainWindow, public IProjectHost {
  Q_OBJECT
 public:
  explicit TMainForm(QWidget* parent = nullptr);
  ~TMainForm() override;

  // --- IProjectHost ---
  CurrentProjectSlots& CurrentProject() override { return current_; }
  QString PendingProjectName() const override { return pendingProjectName_; }
  TForm7& ProgressWindow() override;
  QProgressBar& MainProgressBar() override { return *ProgressBar1; }
  QUndoGroup* UndoGroup() override { return undoGroup_; }

  // The auxiliary windows created at start-up; a frame without them creates its own on
  // first use.
  void SetAuxiliaryWindows(TAboutBox* about, TForm5* note, TForm7* progress);
  TAboutBox& AboutBox();
  TForm5& StartupNote();

  // The one way a project window is created: counts it, hands it the name, shows it in the
  // work space, activates it and sets its caption.
  TMDIChild* OpenProjectWindow(const QString& name);

  int ProjectCounter() const { return projectCounter_; }
  QList<TMDIChild*> ProjectWindows() const;
  TMDIChild* ActiveProjectWindow() const;
  QMdiArea* WorkSpace() const { return mdiArea_; }

  // Handlers of the menu, the toolbar and the popup menus.
  void FileNew1Execute();
  void FileOpen1Execute();
  void ToolButton2Click();
  void Parameter1Click();  // load a parameter file into a new project window
  // Loading files into new project windows, and recovery (app/gui/MainProjects.cpp).
  void Daten1Click();       // load a project file into a new project window
  void ToolButton6Click();  // recover a project file from left-over temporary files
  // Each creates a project window named after the file and fills that window (never the
  // project active at the end); a file that cannot be used leaves no window behind, says why
  // and gives nullptr. They return the window. A PNG picture written by the program opens as
  // its parameters and is computed again, so that the window shows its picture.
  TMDIChild* LoadParameters(const QString& file);
  TMDIChild* LoadProject(const QString& file);
  // Opens each file as the open commands do: parameter files (*.Par) and the program's PNG
  // pictures as parameters, colour files (*.Pal) into the active project's colour list, all
  // others as project files, each in its own project window.
  void OpenFiles(const QStringList& files);
  // Whether a dropped file is one OpenFiles takes (by its extension).
  static bool CanOpen(const QString& file);
  void Parameter2Click();  // save the active project's parameters
  void Daten2Click();      // save the active project as a project file
  void HelpAbout1Execute();
  void Hinweis1Click();
  void ToolButton5Click();
  void FileExit1Execute();
  // Opens the explorer on the active project window's parameters (app/gui/Explorer.h).
  void Explore1Execute();
  void CascadeWindows();
  void TileWindows(TileDirection direction);
  void MinimizeAll();
  void MaximizeAll();

  // The popup menus appear at fixed offsets from the frame's top-left corner.
  QPoint PopupMenu1Position() const { return frameGeometry().topLeft() + QPoint(37, 70); }
  QPoint PopupMenu2Position() const { return frameGeometry().topLeft() + QPoint(60, 70); }
  // Shows a popup menu at a screen position; tests replace it to see what would pop up.
  std::function<void(QMenu&, QPoint)> PopupShower;

  // The help document, and how "open in browser" opens it (the desktop's viewer unless
  // replaced). "HELP !!!" shows it in the program's own help window.
  QString HelpDocumentPath() const;
  std::function<bool(const QUrl&)> UrlOpener;
  THelpWindow* HelpWindow() const { return help_; }

  // The recent files submenu of "&file", rebuilt each time it opens (app/gui/MainDesktop.cpp).
  void FillRecentFiles();

  // The three open dialogs.
  static FileDialogRequest OpenDialog();     // parameter files
  static FileDialogRequest OpenDialog1();    // project files
  static FileDialogRequest RestoreDialog();  // recovery from temporary files

  // --- controls ---
  QToolBar* ToolBar1 = nullptr;
  QToolButton* ToolButton9 = nullptr;    // create new project
  QToolButton* ToolButton1 = nullptr;    // open file
  QToolButton* ToolButton6 = nullptr;    // recover data from temp-files
  QToolButton* ToolButton2 = nullptr;    // save file
  QProgressBar* ProgressBar1 = nullptr;  // 0-100, project saving
  QToolButton* ToolButton8 = nullptr;    // overlapping
  QToolButton* ToolButton10 = nullptr;   // arrange horizontal
  QToolButton* ToolButton11 = nullptr;   // arrange vertical
  QToolButton* ToolButton5 = nullptr;    // HELP !!!
  QMenu* File1 = nullptr;                // "&file"
  QMenu* Edit1 = nullptr;                // "&edit": undo and redo of the active project window
  QAction* Undo1 = nullptr;              // "&Undo <step>", Ctrl+Z
  QAction* Redo1 = nullptr;              // "&Redo <step>", Ctrl+Shift+Z
  QMenu* Window1 = nullptr;              // "&windows"
  QMenu* Help1 = nullptr;                // "&help"
  QMenu* PopupMenu1 = nullptr;           // open: "parameter", "data (project file)"
  QMenu* PopupMenu2 = nullptr;           // save: "parameter", "data (project file)"
  QAction* FileNew1 = nullptr;
  QAction* FileOpen1 = nullptr;
  QAction* Recovery1 = nullptr;
  QAction* FileClose1 = nullptr;
  QAction* FileSave1 = nullptr;
  QAction* FileExit1 = nullptr;
  QAction* Explore1 = nullptr;               // "e&xplore", Ctrl+E
  QToolButton* ToolButtonExplore = nullptr;  // explore
  QAction* Parameter1 = nullptr;
  QAction* Daten1 = nullptr;
  QAction* Parameter2 = nullptr;
  QAction* Daten2 = nullptr;
  QMenu* RecentFiles1 = nullptr;  // "recent files"

 protected:
  void closeEvent(QCloseEvent* event) override;
  // Files dropped onto the frame open as OpenFiles opens them.
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  QAction* AddAction(QMenu* menu, const QString& text, const QString& hint, void (TMainForm::*handler)());
  QToolButton* AddToolButton(const QString& name, const QString& icon, const QString& hint,
                             void (TMainForm::*handler)());
  void BuildMenus();
  void BuildEditMenu();  // MainEdit.cpp
  QUndoGroup* undoGroup_ = nullptr;
  void BuildToolBar();
  void BuildPopupMenus();
  void FillWindowList();
  void SubWindowActivated(QMdiSubWindow* window);
  QList<QMdiSubWindow*> ProjectSubWindows() const;
  // The stored place of the frame, brought onto a screen that shows it; and storing it.
  void RestorePlace();
  void StorePlace();
  void LoadColourFile(const QString& file);

  QMdiArea* mdiArea_ = nullptr;  // the work space holding the project windows
  CurrentProjectSlots current_;
  QString pendingProjectName_;
  int projectCounter_ = 1;
  TAboutBox* about_ = nullptr;
  TForm5* note_ = nullptr;
  TForm7* progress_ = nullptr;
  THelpWindow* help_ = nullptr;
  QList<QAction*> windowListActions_;
};

}  // namespace vantorel::gui
