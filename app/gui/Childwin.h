// The project window: one open project with its pages "formula", "coordinates", "colors" and
// "calculation", its parameter block, its colour list, its picture and its three temporary
// files (base.TMP0: the latest parameter block; base.TMP1/.TMP2: the per-pixel data).
#pragma once

#include <QImage>
#include <QMap>
#include <QPoint>
#include <QString>
#include <QWidget>
#include <array>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>

#include "app/PictureSizeCheck.h"
#include "core/CalcParams.h"
#include "core/CalculationControl.h"
#include "core/Picture.h"
#include "core/PixelDataFile.h"

class QCheckBox;
class QCloseEvent;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QScrollArea;
class QSpinBox;
class QStatusBar;
class QTabWidget;
class QTimer;
class QToolButton;
class QUndoCommand;
class QUndoStack;

namespace vantorel {
class TRechenThread;
}

namespace vantorel::gui {

class IProjectHost;
class QtDispatcher;
class TColorListDisplay;
class TPictureExport;
class TOKBottomDlg1;
class TPictureView;
class TRadioGroup;
class TShape;
class TPageUndo;

class TMDIChild : public QWidget {
  Q_OBJECT
 public:
  // FormCreate: takes its name from host.PendingProjectName().
  explicit TMDIChild(IProjectHost& host, QWidget* parent = nullptr);
  ~TMDIChild() override;

  // Points the frame's current-project slots at this window; IterationsDone = 0 (see
  // ForgetIterationsDone).
  void FormActivate();
  // The frame's commands on the active project.
  void SaveParameters();
  void ParametersLoaded();
  void SaveProject();
  // Shows a project just read into this window's block and data files (app/gui/ChildwinProject.cpp):
  // the pages with the block, the preview from the data, the calculation page for the block's
  // state as stored; clears the changed flag.
  void ProjectLoaded();

  // The pages show something else than the parameter block: edits not yet applied (by
  // "initialize picture", "use settings", the adjustments or "apply to picture"), colours too.
  bool PagesDifferFromBlock() const;
  // Controls -> block. On an input error the block stays as it was, the error is shown and the
  // result is false.
  bool GatherParameters();
  // Block -> controls (also rebuilds the colour list display).
  void ApplyParameters();
  // Block -> TMP0 (progress fields written as 0), then ForgetIterationsDone. Reports a failed
  // write and returns false.
  bool WriteTempParameters();

  // The change handler of the inputs of the formula and coordinates pages.
  void setChanged();
  // Keeping the picture's ratio equal to the region's, and "use settings" (ChildwinInput.cpp).
  // The picture sizes and the region's width and height are applied when their editing
  // finishes (Enter, focus leaving, spin arrows), the ratio once from the value edited.
  void SpinEdit3Change();
  void SpinEdit4Change();
  void Button11Click();
  // What the machine has free for a picture's data; by default probed (memory, and the disk of
  // the temporary files' directory). Tests put in their own figures.
  std::function<MachineRoom()> RoomProbe;
  // "use fixed": shows the fixed-formula group instead of the parser group, or the reverse.
  void CheckBox1Click();
  // Redraws the colour preview from the preview grid through the edited colour list.
  void Button8Click();
  // The close query: true when the window may close.
  bool FormCloseQuery();
  // Closes and deletes the temporary files.
  void FormClose();

  TCalcParams& Params() { return params_; }
  const TCalcParams& Params() const { return params_; }
  PixelDataFile& DataFile1() { return dataFile1_; }
  PixelDataFile& DataFile2() { return dataFile2_; }
  // The base of the temporary file names (with its directory), e.g. ".../new project 1".
  QString TempBaseName() const { return tempBase_; }
  QString TempFileName(int index) const;  // base + ".TMP0" / ".TMP1" / ".TMP2"
  bool Changed() const { return changed_; }
  bool Saved() const { return saved_; }
  bool PictureInitialised() const { return pictureInitialised_; }
  bool Calculating() const { return calculating_; }
  const PreviewGrid& Preview() const { return preview_; }
  const QImage& Picture() const { return picture_; }

  // The window's caption: the project name.
  QString Caption() const { return windowTitle(); }

  // --- page control ---
  QTabWidget* PageControl1 = nullptr;
  QWidget* TabSheet1 = nullptr;  // "formula"
  QWidget* TabSheet2 = nullptr;  // "coordinates"
  QWidget* TabSheet3 = nullptr;  // "colors"
  QWidget* TabSheet4 = nullptr;  // "calculation"

  // --- "formula": the map ---
  QGroupBox* GroupBox1 = nullptr;  // "parser"
  QLabel* Label1 = nullptr;
  QPlainTextEdit* Memo1 = nullptr;
  QPushButton* Button1 = nullptr;   // "test formula"
  QPushButton* Button2 = nullptr;   // "help on formula"
  QPushButton* Button7 = nullptr;   // "plot formula"
  QPushButton* Button12 = nullptr;  // "use chosen fixed formula"
  QLabel* Label24 = nullptr;        // "use fixed"
  QCheckBox* CheckBox1 = nullptr;   // "formulas"
  QGroupBox* GroupBox5 = nullptr;   // "fixed formulas"
  QLabel* Label21 = nullptr;        // "parameters"
  QLineEdit* Edit8 = nullptr;       // W
  QLineEdit* Edit9 = nullptr;       // V
  QLineEdit* Edit10 = nullptr;      // U
  QScrollArea* ScrollBox2 = nullptr;
  TRadioGroup* RadioGroup1 = nullptr;  // "Formeln"
  // --- "formula": the settings ---
  QGroupBox* GroupBox2 = nullptr;    // "settings"
  QLineEdit* Edit1 = nullptr;        // AB-sequence
  QLineEdit* Edit2 = nullptr;        // start X
  QSpinBox* SpinEdit1 = nullptr;     // iterations
  QSpinBox* SpinEdit2 = nullptr;     // calm down
  QCheckBox* CheckBox2 = nullptr;    // smart-iterate
  QLineEdit* Edit11 = nullptr;       // error limit
  QLabel* IterationsUsed = nullptr;  // the counts a run will use, when rounding changes them
  // Fast maths: fixed formulas 2-6 with sine and cosine from a vector library, user formulas in
  // vector lanes in double precision; this window's setting for the runs it starts
  // (TRechenThread::SetFastTrig), not stored in project files.
  QCheckBox* CheckBoxFastTrig = nullptr;

  // --- "coordinates" ---
  QLineEdit* Edit3 = nullptr;          // centre X
  QLineEdit* Edit4 = nullptr;          // centre Y
  QLineEdit* Edit5 = nullptr;          // rotation in degrees
  QLineEdit* Edit6 = nullptr;          // width
  QLineEdit* Edit7 = nullptr;          // height
  QSpinBox* SpinEdit3 = nullptr;       // picture width
  QSpinBox* SpinEdit4 = nullptr;       // picture height
  QCheckBox* CheckBox3 = nullptr;      // "adjust ratio"
  QPushButton* Button11 = nullptr;     // "use settings"
  QLabel* CoordinatesError = nullptr;  // input errors of the ratio keeping

  // --- "colors" (owned by the colour list display) ---
  TColorListDisplay* ColorPage = nullptr;
  QListWidget* ListView1 = nullptr;
  TShape* Shape1 = nullptr;
  TShape* Shape2 = nullptr;
  QLabel* Image3 = nullptr;
  QLabel* Label17 = nullptr;
  QLabel* Label18 = nullptr;
  QLabel* Label19 = nullptr;
  QPushButton* Button3 = nullptr;  // "new"
  QPushButton* Button4 = nullptr;  // "delete"
  QPushButton* Button5 = nullptr;  // "edit"
  QPushButton* Button6 = nullptr;  // "apply to picture"
  QPushButton* Button8 = nullptr;  // "apply to preview"
  QLabel* Image2 = nullptr;        // the preview

  // --- "calculation" ---
  QToolButton* ToolButton7 = nullptr;    // initialise
  QToolButton* ToolButton13 = nullptr;   // apply selected adjustments
  QToolButton* ToolButton9 = nullptr;    // reset adjustments
  QToolButton* ToolButton4 = nullptr;    // change coordinates
  QToolButton* ToolButton14 = nullptr;   // continue iteration in selected area
  QToolButton* ToolButton2 = nullptr;    // start / pause / continue / derive more
  QToolButton* ToolButton10 = nullptr;   // stop
  QToolButton* ToolButton3 = nullptr;    // save picture
  QToolButton* ToolButton12 = nullptr;   // histogram
  QProgressBar* ProgressBar1 = nullptr;  // 0-10000
  QStatusBar* StatusBar1 = nullptr;
  QTimer* Timer1 = nullptr;  // 2000 ms
  QScrollArea* ScrollBox1 = nullptr;
  QLabel* Image1 = nullptr;   // the picture
  QWidget* Shape3 = nullptr;  // the selection rectangle

  // --- formula tools and region selection (ChildwinTools.cpp) ---
  void Button1Click();   // test formula
  void Button2Click();   // help on formula
  void Button7Click();   // plot formula: the plot window, linked to this project's formula
  void Button12Click();  // use chosen fixed formula
  // "change coordinates": a new region chosen over the picture; the picture is initialised for
  // it and shows the resampled old picture at once.
  void ToolButton4Click();
  // Shows an image of the picture's size as the project's picture.
  void ShowPicture(const QImage& image);

  // "save picture": PopupMenu2 with the picture types and their save dialogs.
  TPictureExport* PictureExport = nullptr;
  void ToolButton3Click();

  // The images of ToolButton2: 0 start, 1 pause, 2 continue.
  void SetToolButton2Image(int index);
  int ToolButton2Image() const { return toolButton2Image_; }

  // --- calculation control and recolouring (ChildwinCalculation.cpp) ---
  // Initialises the picture safely, all or nothing: gathers the controls into a copy and checks
  // it, allocates the picture, ends a live (running or paused) run (asking "really stop (all
  // data is lost!!)?" first unless askFirst is false), then clears the data files, swaps the
  // block in, shows state 0 and writes TMP0. False (after a message, or when the stop was
  // declined) leaves everything as it was. "initialize", "all parameters" and a new region use it.
  bool InitialisePicture(bool askFirst = true);
  // Ends a live run after asking; true when no run is live afterwards.
  bool StopRunAfterAsking();
  // Asks "really stop (all data is lost!!)?" with the run held still until the answer; "No"
  // lets it go on. True on "Yes".
  bool AskToStop();
  // A run exists (running or paused); while it does, the block and the files must not change.
  bool RunLive() const { return control_.Live(); }
  // A run computes at this moment (not paused, not held by the close query).
  bool RunComputing() const;
  // Recolouring or saving is in progress: commands that change the picture, block or files wait.
  bool Busy() const { return control_.Busy(); }
  const CalculationControl& Control() const { return control_; }
  // A loaded project (block and data files in place, no run live): sizes the picture to the
  // block (white), takes over params.State and shows it; Button6Click then colours the picture
  // from TMP1. False after a message when the picture does not fit into memory.
  bool CalculationLoaded();
  const TPicture& Bitmap() const { return bitmap_; }

  void ToolButton7Click();
  void ToolButton2Click();
  void ToolButton10Click();
  void CalculationFinished();
  bool StartFullRun();
  bool StartSelectedRun(const PictureRegion& region);
  void Timer1Timer();
  void ToolButton14Click();
  void Image1MouseDown(QPoint at);
  void Image1MouseMove(QPoint at);
  void Image1MouseUp(QPoint at);
  void ToolButton13Click();
  void ToolButton9Click();
  // "apply to picture": the edited colour list becomes the project's and recolours the picture.
  void Button6Click();
  TOKBottomDlg1* OKBottomDlg1 = nullptr;  // "change settings"

  // --- undo and redo (ChildwinUndo.cpp) ---
  // The steps of the colour list and of the pages' values since the last initialisation; the
  // frame's "edit" menu shows the active window's stack.
  QUndoStack* UndoStack1 = nullptr;
  void UndoClick();
  void RedoClick();
  // Asked before a step is taken: a step whose values the picture was made from is taken only
  // when the user agrees.
  bool MayTakeStep(const QUndoCommand& step, bool undo);

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void FormCreate();
  // IterationsDone = 0, so that the next "derive more iterations" continues the orbits alone;
  // kept while a derive run is live or interrupted (states 4, 5).
  void ForgetIterationsDone();
  void FindTempFileNames(const QString& base);
  void CreateDataFiles();
  void FillDemonstrationPreview();

  QWidget* BuildFormulaPage();
  QWidget* BuildCoordinatesPage();
  QWidget* BuildCalculationPage();
  void ConnectChangeHandlers();
  void ConnectTools();
  void SetupUndo();
  void ActivateUndo();  // the frame's "edit" menu shows this window's steps
  std::unique_ptr<TPageUndo> pageUndo_;
  // The calculation page for a loaded project: the state mapped (1 -> 2, 4 -> 5), the buttons
  // for it, the picture rebuilt from the stored exponents.
  void ShowLoadedCalculationState();

  // Reads the decimal fields of the pages into params; the message names the first bad field.
  std::optional<QString> CollectControls(TCalcParams& params) const;
  // Reports a setting that cannot be collected (before a save dialog asks for a file name).
  bool CheckSettings();
  // CollectControls, reporting the first bad field; false then.
  bool CollectInto(TCalcParams& params);
  void ReportIoError(const std::exception& e);
  // --- the inputs of the pages (ChildwinInput.cpp) ---
  void ConnectInputHandlers();
  void KeepRatio(QSpinBox* target, double factor, const QLineEdit* numerator, const QLineEdit* denominator,
                 const QString& numeratorName, const QString& denominatorName);
  // After an edit of a picture size or the region has finished: a size not yet agreed to is
  // judged (AcceptPictureSize); declined or refused, both sizes go back to the last one taken.
  void PictureSizeEdited();
  // Shows beside the iteration counts the counts a run will use, when they differ.
  void ShowIterationsUsed();
  QSize takenSize_{194, 154};  // the last picture size of the page taken
  QSize agreedSize_;           // the last size the user agreed to in the size question
  bool judgingSize_ = false;

  // The values of the pages' controls by control name ("colors": the colour list), and those
  // the block was last applied from; PagesApplied takes the named ones (all when none is named).
  QMap<QString, QString> PageValues() const;
  void PagesApplied(std::initializer_list<const char*> keys = {});
  QMap<QString, QString> appliedPages_;

  IProjectHost& host_;
  TCalcParams params_;
  PixelDataFile dataFile1_;
  PixelDataFile dataFile2_;
  PreviewGrid preview_;
  QImage picture_;
  QString tempBase_;

  bool calculating_ = false;
  bool pictureInitialised_ = false;
  bool firstGather_ = true;
  bool changed_ = false;
  bool saved_ = false;
  bool applying_ = false;
  bool closed_ = false;
  int ratioDepth_ = 0;
  int toolButton2Image_ = 0;

  // --- calculation control (ChildwinCalculation.cpp) ---
  void ConnectCalculation();
  void ApplyControl();
  bool LaunchRun(const PictureRegion* region);
  void StopRun();
  // Empties both data files; false after the system's message when that fails.
  bool ClearDataFiles();
  void EndRunForClose();
  void RunFailed(const std::string& message);
  void SampleAndShowPreview();
  // The status line for the calculation as it stands (StateStatusText).
  void ShowStateStatus();
  bool AllocatePicture(int32_t width, int32_t height, TPicture& picture, QImage& image);
  void SetBitmap(TPicture&& picture, QImage&& image);
  void ShowRows(int32_t first, int32_t end);
  bool UsePictureSize(int32_t width, int32_t height);
  void ReleaseArea();
  std::optional<QString> ComputableProblem(const TCalcParams& p) const;
  // --- the picture and initialising it (ChildwinPicture.cpp) ---
  // Which question re-initialising asks: "really stop" for a live run; "All calculated data
  // will be lost!" whenever data would be lost; none.
  enum class LossQuestion { StopRun, AnyData, None };
  // InitialisePicture with the question chosen; *declined tells a "No" from a refusal.
  bool Reinitialise(LossQuestion ask, bool* declined = nullptr);
  // A run is live or the data files hold records.
  bool HoldsData() const;
  uint64_t ScreenPixels() const;
  // Judges the block's picture size (JudgePictureSize): small sizes pass, larger ones are asked
  // about once, those that do not fit are refused with a message. True when it may be taken.
  bool AcceptPictureSize(const TCalcParams& p);
  enum class MouseMode { None, Choose, Drag };
  CalculationControl control_;
  ProgressEstimate estimate_;
  TPicture bitmap_;
  MouseMode mouseMode_ = MouseMode::None;
  QPoint dragStart_;
  std::unique_ptr<QtDispatcher> dispatcher_;
  std::unique_ptr<TRechenThread> thread_;
};

}  // namespace vantorel::gui
