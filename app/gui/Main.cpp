#include "app/gui/Main.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIcon>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <exception>

#include "app/ParameterFile.h"
#include "app/ProjectFile.h"
#include "app/gui/About.h"
#include "gui/Accessibility.h"
#include "app/gui/Artwork.h"
#include "app/gui/Childwin.h"
#include "app/gui/ColourFileDrop.h"
#include "app/gui/Explorer.h"
#include "gui/Settings.h"
#include "app/PictureFile.h"
#include "app/gui/HelpWindow.h"
#include "app/gui/ProgressForm.h"
#include "app/gui/StartupNote.h"
#include "gui/WindowPlacement.h"

namespace vantorel::gui {

std::vector<QRect> TileRects(int n, const QRect& area, TileDirection direction) {
  std::vector<QRect> rects;
  if (n <= 0 || area.isEmpty()) return rects;
  const bool stacked = direction == TileDirection::Horizontal;
  const int extent = stacked ? area.height() : area.width();
  const int step = extent / n;
  for (int i = 0; i < n; ++i) {
    const int start = i * step;
    const int length = i == n - 1 ? extent - start : step;
    if (stacked)
      rects.emplace_back(area.left(), area.top() + start, area.width(), length);
    else
      rects.emplace_back(area.left() + start, area.top(), length, area.height());
  }
  return rects;
}

QString FindHelpDocument(const QString& appDir) {
  const QString document = "help/index.html";
  QStringList candidates = {appDir + "/../share/vantorel/" + document, appDir + "/../share/doc/vantorel/" + document};
  // Run from a build folder inside the source tree: the document of the source tree.
  QDir dir(appDir);
  for (int level = 0; level < 4 && dir.cdUp(); ++level) candidates << dir.filePath("docs/" + document);
  for (const QString& candidate : candidates) {
    const QFileInfo info(candidate);
    if (info.isFile() && info.isReadable()) return info.canonicalFilePath();
  }
  return QString();
}

void UseDecimalComma() {
  QLocale locale(QLocale::German, QLocale::Germany);
  locale.setNumberOptions(QLocale::OmitGroupSeparator | QLocale::RejectGroupSeparator);
  QLocale::setDefault(locale);
}

TMainForm::TMainForm(QWidget* parent) : QMainWindow(parent) {
  // FormCreate
  InitArtwork();
  setObjectName("MainForm");
  projectCounter_ = 1;
  UseDecimalComma();
  setWindowTitle("Vantorel V2.1");
  setWindowIcon(ProgramIcon());
  // 700 x 619 at (182, 74), clamped to the screen where that does not fit (a 2x scale factor).
  PlaceWithinScreen(this, QPoint(182, 74), QSize(700, 619));
  setAcceptDrops(true);

  mdiArea_ = new QMdiArea(this);
  mdiArea_->setObjectName("WorkSpace");
  mdiArea_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  mdiArea_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setCentralWidget(mdiArea_);
  connect(mdiArea_, &QMdiArea::subWindowActivated, this, &TMainForm::SubWindowActivated);

  BuildPopupMenus();
  BuildMenus();
  BuildToolBar();
  statusBar()->setObjectName("StatusBar");  // shows the hints of menu items and controls

  NameControls(this);
  PopupShower = [](QMenu& menu, QPoint at) { menu.popup(at); };
  UrlOpener = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
  RestorePlace();  // where the user left it, on a screen that shows it
}

TMainForm::~TMainForm() {
  // Project windows go before the frame whose slots and progress window they use.
  // Closed ones awaiting deletion included: their children report to this frame.
  for (QMdiSubWindow* window : mdiArea_->findChildren<QMdiSubWindow*>()) delete window;
  current_ = {};
}

// ---------------------------------------------------------------------------------------
// Building the frame

QAction* TMainForm::AddAction(QMenu* menu, const QString& text, const QString& hint, void (TMainForm::*handler)()) {
  QAction* action = menu->addAction(text);
  action->setStatusTip(hint);
  if (handler) connect(action, &QAction::triggered, this, handler);
  return action;
}

void TMainForm::BuildPopupMenus() {
  PopupMenu1 = new QMenu(this);
  PopupMenu1->setObjectName("PopupMenu1");
  Parameter1 = AddAction(PopupMenu1, "parameter", QString(), &TMainForm::Parameter1Click);
  Parameter1->setObjectName("Parameter1");
  Daten1 = AddAction(PopupMenu1, "data (project file)", QString(), &TMainForm::Daten1Click);
  Daten1->setObjectName("Daten1");

  PopupMenu2 = new QMenu(this);
  PopupMenu2->setObjectName("PopupMenu2");
  Parameter2 = AddAction(PopupMenu2, "parameter", QString(), &TMainForm::Parameter2Click);
  Parameter2->setObjectName("Parameter2");
  Daten2 = AddAction(PopupMenu2, "data (project file)", QString(), &TMainForm::Daten2Click);
  Daten2->setObjectName("Daten2");
}

void TMainForm::BuildMenus() {
  File1 = menuBar()->addMenu("&file");
  File1->setObjectName("File1");
  File1->menuAction()->setStatusTip("Dateibefehle");
  FileNew1 = AddAction(File1, "&new", "create new file", &TMainForm::FileNew1Execute);
  FileNew1->setShortcut(QKeySequence::New);
  FileOpen1 = AddAction(File1, "&open", "open existing file", &TMainForm::FileOpen1Execute);
  FileOpen1->setShortcut(QKeySequence::Open);
  RecentFiles1 = File1->addMenu("recent files");
  RecentFiles1->setObjectName("RecentFiles1");
  RecentFiles1->menuAction()->setStatusTip("open one of the files used last");
  connect(RecentFiles1, &QMenu::aboutToShow, this, &TMainForm::FillRecentFiles);
  connect(File1, &QMenu::aboutToShow, this, &TMainForm::FillRecentFiles);
  Recovery1 = AddAction(File1, "recovery", "try to restore data from a tempfile", &TMainForm::ToolButton6Click);
  FileClose1 = AddAction(File1, "&close", "close active project", nullptr);
  connect(FileClose1, &QAction::triggered, mdiArea_, &QMdiArea::closeActiveSubWindow);
  FileSave1 = AddAction(File1, "&save", "save active project as", &TMainForm::ToolButton2Click);
  FileSave1->setShortcut(QKeySequence::Save);
  Explore1 = AddAction(File1, "e&xplore", "explore the region live", &TMainForm::Explore1Execute);
  Explore1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
  File1->addSeparator();
  FileExit1 = AddAction(File1, "&exit", "exit program", &TMainForm::FileExit1Execute);
  FileExit1->setShortcut(QKeySequence::Quit);

  BuildEditMenu();
  Window1 = menuBar()->addMenu("&windows");
  Window1->setObjectName("Window1");
  AddAction(Window1, "&overlapping", "cascade", &TMainForm::CascadeWindows);
  connect(AddAction(Window1, "arrange &horizontal", "horizontal arrangement", nullptr), &QAction::triggered, this,
          [this] { TileWindows(TileDirection::Horizontal); });
  connect(AddAction(Window1, "arrange &vertical", "vertical arrangement", nullptr), &QAction::triggered, this,
          [this] { TileWindows(TileDirection::Vertical); });
  AddAction(Window1, "m&inimize all", "minimize all", &TMainForm::MinimizeAll);
  AddAction(Window1, "m&aximize all", "maximize all", &TMainForm::MaximizeAll);
  connect(Window1, &QMenu::aboutToShow, this, &TMainForm::FillWindowList);

  Help1 = menuBar()->addMenu("&help");
  Help1->setObjectName("Help1");
  AddAction(Help1, "&about", "show copyright information", &TMainForm::HelpAbout1Execute);
  AddAction(Help1, "information", "show startup-information", &TMainForm::Hinweis1Click);
  QAction* help = AddAction(Help1, "HELP !!!", "show helpfile", &TMainForm::ToolButton5Click);
  help->setShortcut(QKeySequence::HelpContents);
}

QToolButton* TMainForm::AddToolButton(const QString& name, const QString& icon, const QString& hint,
                                      void (TMainForm::*handler)()) {
  auto* button = new QToolButton(ToolBar1);
  button->setObjectName(name);
  button->setIcon(QIcon(":/vantorel/icons/" + icon + ".png"));
  button->setIconSize(QSize(24, 24));
  button->setAutoRaise(true);
  button->setToolTip(hint);
  button->setStatusTip(hint);
  if (handler) connect(button, &QToolButton::clicked, this, handler);
  ToolBar1->addWidget(button);
  return button;
}

void TMainForm::BuildToolBar() {
  ToolBar1 = addToolBar("toolbar");
  ToolBar1->setObjectName("ToolBar1");
  ToolBar1->setMovable(false);
  ToolBar1->setFloatable(false);
  ToolButton9 = AddToolButton("ToolButton9", "new", "create new project", &TMainForm::FileNew1Execute);
  ToolButton1 = AddToolButton("ToolButton1", "open", "open file", &TMainForm::FileOpen1Execute);
  ToolButton6 = AddToolButton("ToolButton6", "recover", "recover data from temp-files", &TMainForm::ToolButton6Click);
  ToolButton2 = AddToolButton("ToolButton2", "save", "save file", &TMainForm::ToolButton2Click);

  ToolBar1->addSeparator();
  ProgressBar1 = new QProgressBar(ToolBar1);
  ProgressBar1->setObjectName("ProgressBar1");
  ProgressBar1->setRange(0, 100);
  ProgressBar1->setValue(0);
  ProgressBar1->setFixedWidth(100);
  ProgressBar1->setTextVisible(false);
  ToolBar1->addWidget(ProgressBar1);
  ToolBar1->addSeparator();

  ToolButton8 = AddToolButton("ToolButton8", "cascade", "overlapping", &TMainForm::CascadeWindows);
  ToolButton10 = AddToolButton("ToolButton10", "tile-horizontal", "arrange horizontal", nullptr);
  connect(ToolButton10, &QToolButton::clicked, this, [this] { TileWindows(TileDirection::Horizontal); });
  ToolButton11 = AddToolButton("ToolButton11", "tile-vertical", "arrange vertical", nullptr);
  connect(ToolButton11, &QToolButton::clicked, this, [this] { TileWindows(TileDirection::Vertical); });
  ToolButtonExplore =
      AddToolButton("ToolButtonExplore", "explore", "explore the region live", &TMainForm::Explore1Execute);
  ToolButtonExplore->setText("explore");
  ToolButtonExplore->setToolButtonStyle(Qt::ToolButtonTextOnly);
  ToolBar1->addSeparator();
  ToolButton5 = AddToolButton("ToolButton5", "help", "HELP !!!", &TMainForm::ToolButton5Click);
}

// ---------------------------------------------------------------------------------------
// Auxiliary windows

void TMainForm::SetAuxiliaryWindows(TAboutBox* about, TForm5* note, TForm7* progress) {
  about_ = about;
  note_ = note;
  progress_ = progress;
}

TAboutBox& TMainForm::AboutBox() {
  if (!about_) about_ = new TAboutBox(this);
  return *about_;
}

TForm5& TMainForm::StartupNote() {
  if (!note_) note_ = new TForm5(this);
  return *note_;
}

TForm7& TMainForm::ProgressWindow() {
  if (!progress_) progress_ = new TForm7(this);
  return *progress_;
}

// ---------------------------------------------------------------------------------------
// Project windows

TMDIChild* TMainForm::OpenProjectWindow(const QString& name) {
  ++projectCounter_;
  pendingProjectName_ = name;
  auto* child = new TMDIChild(*this);
  connect(child, &QObject::destroyed, this, [this, child] {
    if (current_.Window == child) current_ = {};
  });
  QMdiSubWindow* window = mdiArea_->addSubWindow(child);
  window->setAttribute(Qt::WA_DeleteOnClose);
  window->resize(375, 440);
  window->show();
  mdiArea_->setActiveSubWindow(window);
  child->FormActivate();
  child->setWindowTitle(name);
  AcceptColourFileDrops(child->TabSheet3, child->ColorPage);
  AddExploreButton(*this, *child);
  return child;
}

QList<QMdiSubWindow*> TMainForm::ProjectSubWindows() const {
  QList<QMdiSubWindow*> windows;
  for (QMdiSubWindow* window : mdiArea_->subWindowList())
    if (!window->isHidden() && qobject_cast<TMDIChild*>(window->widget())) windows << window;
  return windows;
}

QList<TMDIChild*> TMainForm::ProjectWindows() const {
  QList<TMDIChild*> children;
  for (QMdiSubWindow* window : ProjectSubWindows()) children << qobject_cast<TMDIChild*>(window->widget());
  return children;
}

TMDIChild* TMainForm::ActiveProjectWindow() const {
  QMdiSubWindow* window = mdiArea_->activeSubWindow();
  return window ? qobject_cast<TMDIChild*>(window->widget()) : nullptr;
}

void TMainForm::SubWindowActivated(QMdiSubWindow* window) {
  // The work space also deactivates and reactivates its window when the program loses and
  // regains the focus (a dialog, another program); only a change of project window counts.
  if (!window) return;
  auto* child = qobject_cast<TMDIChild*>(window->widget());
  if (child && child != current_.Window) child->FormActivate();
}

// ---------------------------------------------------------------------------------------
// Handlers

void TMainForm::FileNew1Execute() { OpenProjectWindow(QString("new project %1").arg(projectCounter_)); }

void TMainForm::Explore1Execute() {
  // The active project window, or the one active last (an explorer may be active).
  TMDIChild* project = ActiveProjectWindow();
  if (!project) project = current_.Window;
  OpenExplorer(*this, project);
}

void TMainForm::FileOpen1Execute() { PopupShower(*PopupMenu1, PopupMenu1Position()); }

void TMainForm::ToolButton2Click() {
  if (ProjectSubWindows().isEmpty()) return;
  PopupShower(*PopupMenu2, PopupMenu2Position());
}

void TMainForm::Parameter1Click() {
  const std::optional<QString> file = DialogService::instance().fileName(this, OpenDialog());
  if (file) LoadParameters(*file);
}

TMDIChild* TMainForm::LoadParameters(const QString& file) {
  DialogService& dialogs = DialogService::instance();
  // The file is read and checked before any window exists, so that a file that cannot be
  // used leaves none behind.
  TCalcParams loaded;
  try {
    loaded = LoadParameterFile(QFile::encodeName(file).toStdString());
    CheckLoadedBlock(loaded);
  } catch (const std::exception& e) {
    dialogs.error(this, QString("The parameter file\n%1\ncould not be loaded:\n%2")
                            .arg(QDir::toNativeSeparators(file), QString::fromLocal8Bit(e.what())));
    return nullptr;
  }
  // The new window has no picture data: progress stored in the file (a project file opened
  // as parameters) does not apply to it.
  loaded.ProgressColumn = 0;
  loaded.ProgressRow = 0;
  loaded.State = StateInitialised;
  loaded.IterationsDone = 0;
  TMDIChild* child = OpenProjectWindow(ProjectNameFromFile(file));
  child->Params() = std::move(loaded);
  child->ParametersLoaded();
  RememberRecentFile(file);
  // A picture shows its picture: computed again from the parameters it carries.
  if (IsPngFile(QFile::encodeName(file).toStdString()) && child->InitialisePicture(false)) child->ToolButton2Click();
  return child;
}

void TMainForm::Parameter2Click() {
  if (current_.SaveParameters) current_.SaveParameters();
}

void TMainForm::Daten2Click() {
  if (current_.SaveProject) current_.SaveProject();
}

void TMainForm::HelpAbout1Execute() { AboutBox().exec(); }

void TMainForm::Hinweis1Click() { StartupNote().exec(); }

QString TMainForm::HelpDocumentPath() const { return FindHelpDocument(QCoreApplication::applicationDirPath()); }

void TMainForm::ToolButton5Click() {
  const QString path = HelpDocumentPath();
  if (path.isEmpty()) {
    DialogService::instance().error(
        this,
        "The help document was not found.\n\nIt is installed with the program as "
        "share/vantorel/help/index.html and is part of the source tree as docs/help/index.html.");
    return;
  }
  if (!help_) {
    help_ = new THelpWindow(this);
    help_->UrlOpener = [this](const QUrl& url) { return UrlOpener(url); };
  }
  help_->ShowDocument(path);
}

void TMainForm::FileExit1Execute() { close(); }

void TMainForm::CascadeWindows() { mdiArea_->cascadeSubWindows(); }

void TMainForm::TileWindows(TileDirection direction) {
  QList<QMdiSubWindow*> windows;
  for (QMdiSubWindow* window : ProjectSubWindows())
    if (!window->isMinimized()) windows << window;
  const std::vector<QRect> rects = TileRects(static_cast<int>(windows.size()), mdiArea_->viewport()->rect(), direction);
  for (qsizetype i = 0; i < windows.size(); ++i) {
    if (windows[i]->isMaximized()) windows[i]->showNormal();
    windows[i]->setGeometry(rects[static_cast<size_t>(i)]);
  }
}

void TMainForm::MinimizeAll() {
  for (QMdiSubWindow* window : ProjectSubWindows()) window->showMinimized();
}

void TMainForm::MaximizeAll() {
  QMdiSubWindow* active = mdiArea_->activeSubWindow();
  for (QMdiSubWindow* window : ProjectSubWindows())
    if (window != active) window->showMaximized();
  if (active) active->showMaximized();
}

void TMainForm::FillWindowList() {
  for (QAction* action : windowListActions_) {
    Window1->removeAction(action);
    action->deleteLater();
  }
  windowListActions_.clear();
  const QList<QMdiSubWindow*> windows = ProjectSubWindows();
  if (windows.isEmpty()) return;
  windowListActions_ << Window1->addSeparator();
  int number = 1;
  for (QMdiSubWindow* window : windows) {
    const QString title = window->widget()->windowTitle();
    QAction* action = Window1->addAction(number <= 9 ? QString("&%1 %2").arg(number).arg(title) : title);
    action->setCheckable(true);
    action->setChecked(window == mdiArea_->activeSubWindow());
    connect(action, &QAction::triggered, this, [this, window] { mdiArea_->setActiveSubWindow(window); });
    windowListActions_ << action;
    ++number;
  }
}

void TMainForm::closeEvent(QCloseEvent* event) {
  // Every project window is asked first; the first that refuses keeps the program open.
  for (QMdiSubWindow* window : ProjectSubWindows()) {
    if (!window->close()) {
      event->ignore();
      return;
    }
  }
  StorePlace();
  event->accept();
}

// ---------------------------------------------------------------------------------------
// The open dialogs

namespace {

FileDialogRequest OpenRequest(const QString& title, const QString& filter, const QString& defaultSuffix) {
  FileDialogRequest r;
  r.kind = FileDialogRequest::Open;
  r.title = title;
  r.filter = filter;
  r.defaultSuffix = defaultSuffix;
  return r;
}

}  // namespace

FileDialogRequest TMainForm::OpenDialog() {
  return OpenRequest(
      "load parameter file",
      "parameter files (*.Par);;project files (*.LPr);;pictures with parameters (*.png);;show all files (*)", "Par");
}

FileDialogRequest TMainForm::OpenDialog1() {
  return OpenRequest("Projekt laden", "project files (*.LPr);;parameter files (*.Par);;show all files (*)", "LPr");
}

FileDialogRequest TMainForm::RestoreDialog() {
  return OpenRequest("restore data from temp-files", "temporary files (*.TMP0);;al files (*)", QString());
}

}  // namespace vantorel::gui
