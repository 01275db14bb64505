// The "colors" page's commands that replace the list whole: the shipped lists (presets), the
// gradients and palettes of other programs (import and export), automatic colours, and "undo".
#include "colour/gui/PaletteTools.h"

#include <QApplication>
#include <QBoxLayout>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPixmap>
#include <QPushButton>
#include <QToolButton>
#include <QWidgetAction>

#include "gui/DialogService.h"
#include "colour/AutoColours.h"
#include "colour/gui/ColorListDisplay.h"
#include "core/NumberText.h"
#include "core/PixelDataFile.h"

namespace vantorel::gui {

namespace {

constexpr int kThumbWidth = 96, kThumbHeight = 14;

QString Text(double value) { return QString::fromStdString(FloatToText(value)); }

FileDialogRequest ImportRequest() {
  FileDialogRequest r;
  r.kind = FileDialogRequest::Open;
  r.title = QStringLiteral("import colors");
  r.filter = QStringLiteral(
      "gradients and palettes (*.ggr *.gpl *.map *.Pal);;GIMP gradient (*.ggr);;GIMP palette (*.gpl);;"
      "map palette (*.map);;colorfile (*.Pal);;all files (*)");
  return r;
}

FileDialogRequest ExportRequest() {
  FileDialogRequest r;
  r.kind = FileDialogRequest::Save;
  r.title = QStringLiteral("export colors");
  r.filter = QStringLiteral("GIMP gradient (*.ggr);;GIMP palette (*.gpl)");
  r.defaultSuffix = QStringLiteral("ggr");
  return r;
}

// Keeps a wait cursor while a long command runs.
class WaitCursor {
 public:
  WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~WaitCursor() { QApplication::restoreOverrideCursor(); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;
};

}  // namespace

QImage ColourStripImage(const ColorListState& list, int width, int height) {
  QImage image(width, height, QImage::Format_RGB888);
  const std::vector<uint32_t> strip = ColourStrip(list, width);
  for (int y = 0; y < height; ++y) {
    uchar* row = image.scanLine(y);
    for (int x = 0; x < width; ++x) {
      const uint32_t c = strip[static_cast<size_t>(x)];
      row[3 * x] = c & 0xFF;
      row[3 * x + 1] = (c >> 8) & 0xFF;
      row[3 * x + 2] = (c >> 16) & 0xFF;
    }
  }
  return image;
}

// ---------------------------------------------------------------------------------------------
// TImportRangeDlg

TImportRangeDlg::TImportRangeDlg(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("import range"));
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
  auto* column = new QVBoxLayout(this);
  Label1 = new QLabel(this);
  Label1->setWordWrap(true);
  Image1 = new QLabel(this);
  Image1->setFixedSize(TColorListDisplay::BarWidth, TColorListDisplay::BarHeight);
  Image1->setAccessibleName(QStringLiteral("the imported colors"));
  column->addWidget(Label1);
  column->addWidget(Image1, 0, Qt::AlignHCenter);
  auto* grid = new QGridLayout;
  Label2 = new QLabel(QStringLiteral("from:"), this);
  Edit1 = new QLineEdit(this);
  Edit1->setToolTip(QStringLiteral("the value of the first color"));
  Edit1->setAccessibleName(QStringLiteral("from"));
  Label3 = new QLabel(QStringLiteral("to:"), this);
  Edit2 = new QLineEdit(this);
  Edit2->setToolTip(QStringLiteral("the value of the last color"));
  Edit2->setAccessibleName(QStringLiteral("to"));
  Label2->setBuddy(Edit1);
  Label3->setBuddy(Edit2);
  grid->addWidget(Label2, 0, 0);
  grid->addWidget(Edit1, 0, 1);
  grid->addWidget(Label3, 1, 0);
  grid->addWidget(Edit2, 1, 1);
  column->addLayout(grid);
  auto* buttons = new QHBoxLayout;
  OKBtn = new QPushButton(QStringLiteral("OK"), this);
  OKBtn->setDefault(true);
  CancelBtn = new QPushButton(QStringLiteral("cancel"), this);
  buttons->addStretch(1);
  buttons->addWidget(OKBtn);
  buttons->addWidget(CancelBtn);
  column->addLayout(buttons);
  connect(OKBtn, &QPushButton::clicked, this, [this] { OKBtnClick(); });
  connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
}

bool TImportRangeDlg::execute(const ColourStops& stops, const QString& description, double lo, double hi) {
  Lo = lo;
  Hi = hi;
  Label1->setText(description);
  Edit1->setText(Text(lo));
  Edit2->setText(Text(hi));
  ColorListState preview;
  try {
    preview = SpanStops(stops, 0.0, 1.0);
  } catch (const std::exception&) {
  }
  Image1->setPixmap(QPixmap::fromImage(ColourStripImage(preview, Image1->width(), Image1->height())));
  setFixedSize(sizeHint().expandedTo(QSize(TColorListDisplay::BarWidth + 24, 0)));
  return DialogService::instance().execDialog(this) == QDialog::Accepted;
}

void TImportRangeDlg::OKBtnClick() {
  std::string message;
  double lo = 0, hi = 0;
  if (const auto v = ReadColorValue(Edit1->text().toStdString(), message)) {
    lo = *v;
    if (const auto w = ReadColorValue(Edit2->text().toStdString(), message)) {
      hi = *w;
      if (!(lo < hi))
        message = "The first value (" + FloatToText(lo) + ") must be smaller than the last (" + FloatToText(hi) + ").";
    }
  }
  if (!message.empty()) {
    DialogService::instance().error(this, QString::fromStdString(message));
    return;
  }
  Lo = lo;
  Hi = hi;
  accept();
}

// ---------------------------------------------------------------------------------------------
// The page's commands

void TColorListDisplay::BuildPaletteTools(QBoxLayout* page) {
  // Two short rows, so that the page keeps the project window's default width.
  auto* rows = new QGridLayout;
  PresetsButton = new QToolButton(this);
  PresetsButton->setText(QStringLiteral("presets"));
  PresetsButton->setToolTip(QStringLiteral("replace the colors by a shipped color list"));
  PresetsButton->setPopupMode(QToolButton::InstantPopup);
  PresetsButton->setToolButtonStyle(Qt::ToolButtonTextOnly);
  PresetMenu = new QMenu(PresetsButton);
  PresetMenu->setAccessibleName(QStringLiteral("presets"));
  PresetsButton->setMenu(PresetMenu);
  connect(PresetMenu, &QMenu::aboutToShow, this, [this] { FillPresetMenu(); });
  ImportButton = new QPushButton(QStringLiteral("import"), this);
  ImportButton->setToolTip(QStringLiteral("colors of a GIMP gradient or palette, a .map palette or a colorfile"));
  ExportButton = new QPushButton(QStringLiteral("export"), this);
  ExportButton->setToolTip(QStringLiteral("save the colors as a GIMP gradient or palette"));
  AutoColoursButton = new QPushButton(QStringLiteral("auto colours"), this);
  AutoColoursButton->setToolTip(
      QStringLiteral("move the values so that each color band covers a similar share of the picture"));
  UndoButton = new QPushButton(QStringLiteral("undo"), this);
  UndoButton->setToolTip(QStringLiteral("the colors as they were before their last change"));
  UndoButton->setEnabled(false);
  PresetsButton->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
  rows->addWidget(PresetsButton, 0, 0);
  rows->addWidget(ImportButton, 0, 1);
  rows->addWidget(ExportButton, 0, 2);
  rows->addWidget(AutoColoursButton, 1, 0);
  rows->addWidget(UndoButton, 1, 1);
  rows->setColumnStretch(3, 1);
  page->addLayout(rows);

  connect(ImportButton, &QPushButton::clicked, this, [this] { ImportClick(); });
  connect(ExportButton, &QPushButton::clicked, this, [this] { ExportClick(); });
  connect(AutoColoursButton, &QPushButton::clicked, this, [this] { AutoColoursClick(); });
  connect(UndoButton, &QPushButton::clicked, this, [this] { UndoClick(); });
}

void TColorListDisplay::SetPresetFolders(std::vector<std::string> folders) {
  presetFolders_ = std::move(folders);
  presets_.reset();
  if (PresetMenu) PresetMenu->clear();
}

const std::vector<std::pair<Preset, ColorListState>>& TColorListDisplay::Presets() {
  if (!presets_) {
    presets_.emplace();
    const std::vector<std::string> folders = presetFolders_.empty() ? PresetFolders(ProgramFolder()) : presetFolders_;
    for (const Preset& p : FindPresets(folders)) {
      try {
        const ColourImport file = ReadColourImport(p.Path);
        if (!file.NeedsRange()) presets_->emplace_back(p, file.List);
      } catch (const std::exception&) {
        // a damaged shipped file is left out of the menu
      }
    }
  }
  return *presets_;
}

void TColorListDisplay::FillPresetMenu() {
  if (!PresetMenu->isEmpty()) return;
  const auto& presets = Presets();
  if (presets.empty()) {
    QAction* none = PresetMenu->addAction(QStringLiteral("no shipped color lists were found"));
    none->setEnabled(false);
    return;
  }
  for (const auto& [preset, list] : presets) {
    const QString name = QString::fromStdString(preset.Name);
    // A menu shows icons small and square; a button in the menu shows the thumbnail at its size.
    const QIcon thumb(QPixmap::fromImage(ColourStripImage(list, kThumbWidth, kThumbHeight)));
    auto* a = new QWidgetAction(PresetMenu);
    a->setIcon(thumb);
    a->setText(name);
    a->setToolTip(Text(list.Entries.front().Value) + QStringLiteral(" ... ") + Text(list.Entries.back().Value));
    auto* row = new QToolButton(PresetMenu);
    row->setIcon(thumb);
    row->setIconSize(QSize(kThumbWidth, kThumbHeight));
    row->setText(name);
    row->setToolTip(a->toolTip());
    row->setAccessibleName(name);
    row->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    row->setAutoRaise(true);
    row->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    a->setDefaultWidget(row);
    PresetMenu->addAction(a);
    connect(row, &QToolButton::clicked, a, [a, this] {
      PresetMenu->close();
      a->trigger();
    });
    const std::string key = preset.Name;
    connect(a, &QAction::triggered, this, [this, key] { ChoosePreset(key); });
  }
  PresetMenu->setToolTipsVisible(true);
}

bool TColorListDisplay::ChoosePreset(const std::string& name) {
  for (const auto& [preset, list] : Presets())
    if (preset.Name == name) {
      ColorEdit edit;
      edit.State = list;
      Commit(edit, QStringLiteral("choose %1").arg(QString::fromStdString(name)));
      return true;
    }
  return false;
}

void TColorListDisplay::ImportClick() {
  const auto path = DialogService::instance().fileName(this, ImportRequest());
  if (path) ImportFile(*path);
}

void TColorListDisplay::ImportFile(const QString& path) {
  ColourImport file;
  try {
    file = ReadColourImport(path.toStdString());
  } catch (const std::exception& e) {
    DialogService::instance().error(
        this, QStringLiteral("The colors were not imported:\n%1\nThe color list stays as it was.").arg(e.what()));
    return;
  }
  ColorEdit edit;
  if (!file.NeedsRange()) {
    edit.State = file.List;
  } else {
    double lo = 0, hi = 0;
    DefaultImportRange(State(), lo, hi);
    const QString kind = QString::fromStdString(ColourFormatName(file.Format));
    const QString name =
        file.Stops.Name.empty() ? QString() : QStringLiteral(" \"%1\"").arg(QString::fromStdString(file.Stops.Name));
    const QString description =
        QStringLiteral("%1 colors of the %2%3. Which values shall the first and the last color stand at?")
            .arg(file.Stops.Stops.size())
            .arg(kind, name);
    TImportRangeDlg dialog(this);
    if (!dialog.execute(file.Stops, description, lo, hi)) return;
    try {
      edit.State = SpanStops(file.Stops, dialog.Lo, dialog.Hi);
    } catch (const std::exception& e) {
      DialogService::instance().error(this, QString::fromUtf8(e.what()));
      return;
    }
  }
  Commit(edit, QStringLiteral("import colours"));
}

void TColorListDisplay::ExportClick() {
  const auto path = DialogService::instance().fileName(this, ExportRequest());
  if (!path) return;
  try {
    const std::string p = path->toStdString();
    ExportColours(p, State(), ColourFormatFor(p, nullptr, 0));
  } catch (const std::exception& e) {
    DialogService::instance().error(this, QStringLiteral("The colors were not exported:\n%1").arg(e.what()));
  }
}

void TColorListDisplay::SetExponentSource(std::function<const PixelDataFile*()> source) {
  exponents_ = std::move(source);
}

void TColorListDisplay::AutoColoursClick() {
  const PixelDataFile* file = exponents_ ? exponents_() : nullptr;
  if (!file) {
    DialogService::instance().error(
        this, QStringLiteral("Automatic colors need the exponents of the picture: pause the calculation or let it "
                             "finish first."));
    return;
  }
  ColorEdit edit;
  {
    WaitCursor wait;
    edit = AutoColours(State(), *file);
  }
  Commit(edit, QStringLiteral("auto colours"));
}

}  // namespace vantorel::gui
