#include "colour/gui/ColorListDisplay.h"

#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QUndoStack>
#include <QVBoxLayout>
#include <algorithm>

#include "gui/DialogService.h"
#include "gui/Settings.h"
#include "colour/ColorFile.h"
#include "core/ColorMapping.h"
#include "colour/gui/ColorDialogs.h"
#include "core/NumberText.h"
#include "core/PixelDataFile.h"

namespace vantorel::gui {

namespace {

constexpr int kImageRole = Qt::UserRole;      // index into ImageList1
constexpr int kValueRole = Qt::UserRole + 1;  // the value the caption shows

// Items compare by value, so that sorting the list view keeps it in ascending order.
class ColorItem : public QListWidgetItem {
 public:
  using QListWidgetItem::QListWidgetItem;
  bool operator<(const QListWidgetItem& other) const override {
    return TColorListDisplay::ListView1Compare(this, &other) < 0;
  }
};

QString Text(double value) { return QString::fromStdString(FloatToText(value)); }

}  // namespace

QColor ToQColor(uint32_t color) { return QColor(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF); }

uint32_t FromQColor(const QColor& color) {
  return static_cast<uint32_t>(color.red()) | (static_cast<uint32_t>(color.green()) << 8) |
         (static_cast<uint32_t>(color.blue()) << 16);
}

// ---------------------------------------------------------------------------------------------
// TShape

TShape::TShape(QWidget* parent) : QFrame(parent) {
  setFixedSize(33, 25);
  setToolTip(QStringLiteral("click to change"));
  setCursor(Qt::PointingHandCursor);
}

void TShape::SetBrushColor(uint32_t color) {
  color_ = color & 0xFFFFFF;
  update();
}

void TShape::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setPen(Qt::black);
  p.setBrush(ToQColor(color_));
  p.drawRect(rect().adjusted(0, 0, -1, -1));
}

void TShape::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) emit clicked();
}

// ---------------------------------------------------------------------------------------------
// TColorListDisplay

TColorListDisplay::TColorListDisplay(QWidget* parent) : QWidget(parent) {
  auto* page = new QVBoxLayout(this);
  page->setContentsMargins(4, 4, 4, 4);
  page->setSpacing(6);

  // The list with its buttons and the two outer colours.
  GroupBox3 = new QGroupBox(QStringLiteral("color- and value-list"), this);
  auto* listRow = new QHBoxLayout(GroupBox3);
  ListView1 = new QListWidget(GroupBox3);
  ListView1->setViewMode(QListView::ListMode);
  ListView1->setSelectionMode(QAbstractItemView::ExtendedSelection);
  ListView1->setIconSize(QSize(16, 16));
  ListView1->setMinimumHeight(110);
  ListView1->setSortingEnabled(false);  // sorted explicitly, as after every change
  listRow->addWidget(ListView1, 1);

  auto* side = new QGridLayout;
  Button3 = new QPushButton(QStringLiteral("new"), GroupBox3);
  Button3->setToolTip(QStringLiteral("create new entry"));
  Button5 = new QPushButton(QStringLiteral("edit"), GroupBox3);
  Button5->setToolTip(QStringLiteral("edit chosen color and value"));
  Button4 = new QPushButton(QStringLiteral("delete"), GroupBox3);
  Button4->setToolTip(QStringLiteral("delete selected entries"));
  PopupMenu1 = new QMenu(ListView1);
  NewEntry1 = PopupMenu1->addAction(QStringLiteral("new entry"));
  EditSelected1 = PopupMenu1->addAction(QStringLiteral("edit selected"));
  DeleteSelected1 = PopupMenu1->addAction(QStringLiteral("delete selected"));
  Farbreihenfolgeumkehren1 = PopupMenu1->addAction(QStringLiteral("invert order"));
  Farbwertenegativ1 = PopupMenu1->addAction(QStringLiteral("edit selected values"));
  swapcolors1 = PopupMenu1->addAction(QStringLiteral("swap colors"));
  ListView1->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(ListView1, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& at) { PopupMenu1->popup(ListView1->viewport()->mapToGlobal(at)); });
  Button9 = new QPushButton(QStringLiteral("save"), GroupBox3);
  Button9->setToolTip(QStringLiteral("save colors"));
  Button10 = new QPushButton(QStringLiteral("load"), GroupBox3);
  Button10->setToolTip(QStringLiteral("load colors"));
  // The list's commands on the left, the colour file's beside them.
  side->addWidget(Button3, 0, 0);
  side->addWidget(Button5, 1, 0);
  side->addWidget(Button4, 2, 0);
  side->addWidget(Button9, 0, 1);
  side->addWidget(Button10, 1, 1);
  Label15 = new QLabel(QStringLiteral("x < xmin:"), GroupBox3);
  Label16 = new QLabel(QStringLiteral("x > xmax:"), GroupBox3);
  Shape1 = new TShape(GroupBox3);
  Shape2 = new TShape(GroupBox3);
  Shape1->SetBrushColor(0xFFFFFF);
  Shape2->SetBrushColor(0x000000);
  side->addWidget(Label15, 3, 0);
  side->addWidget(Shape1, 3, 1, Qt::AlignLeft);
  side->addWidget(Label16, 4, 0);
  side->addWidget(Shape2, 4, 1, Qt::AlignLeft);
  side->setRowStretch(5, 1);
  listRow->addLayout(side);
  page->addWidget(GroupBox3);
  BuildPaletteTools(page);

  // The colour bar with its end labels and the readout between them.
  ScrollBox4 = new QWidget(this);
  ScrollBox4->setMouseTracking(true);
  auto* barBox = new QGridLayout(ScrollBox4);
  barBox->setContentsMargins(0, 0, 0, 0);
  barBox->setVerticalSpacing(2);
  auto* barFrame = new QFrame(ScrollBox4);  // an outline, so that white ends stay visible
  barFrame->setFrameShape(QFrame::Box);
  barFrame->setLineWidth(1);
  barFrame->setFixedSize(BarWidth + 2, BarHeight + 2);
  barFrame->setMouseTracking(true);
  Image3 = new QLabel(barFrame);
  Image3->setGeometry(1, 1, BarWidth, BarHeight);
  Image3->setMouseTracking(true);
  Image3->setToolTip(QStringLiteral("click to insert color"));
  Label17 = new QLabel(QStringLiteral("-2"), ScrollBox4);
  Label18 = new QLabel(QStringLiteral("2"), ScrollBox4);
  Label19 = new QLabel(ScrollBox4);
  Label17->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  Label18->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  Label19->setAlignment(Qt::AlignCenter);
  Label19->hide();
  Label19->setMinimumWidth(120);
  barBox->addWidget(barFrame, 0, 0, 1, 3, Qt::AlignHCenter);
  barBox->addWidget(Label17, 1, 0);
  barBox->addWidget(Label19, 1, 1);
  barBox->addWidget(Label18, 1, 2);
  barBox->setColumnStretch(0, 1);
  barBox->setColumnStretch(2, 1);
  ScrollBox4->setFixedWidth(BarWidth + 2);
  page->addWidget(ScrollBox4, 0, Qt::AlignHCenter);

  // The preview with the two "apply" buttons.
  Panel1 = new QGroupBox(QStringLiteral("Vorschau"), this);
  auto* previewRow = new QHBoxLayout(Panel1);
  Image2 = new QLabel(Panel1);
  Image2->setFixedSize(PreviewGrid::Columns, PreviewGrid::Rows);
  previewRow->addWidget(Image2, 0, Qt::AlignTop);
  auto* applyColumn = new QVBoxLayout;
  Button8 = new QPushButton(QStringLiteral("apply to preview"), Panel1);
  Button8->setToolTip(QStringLiteral("applies changes to preview"));
  Button6 = new QPushButton(QStringLiteral("apply to picture"), Panel1);
  Button6->setToolTip(QStringLiteral("applies changes to picture"));
  Button6->setEnabled(false);
  applyColumn->addWidget(Button8);
  applyColumn->addWidget(Button6);
  applyColumn->addStretch(1);
  previewRow->addLayout(applyColumn);
  page->addWidget(Panel1);
  page->addStretch(1);

  preview_ = QImage(PreviewGrid::Columns, PreviewGrid::Rows, QImage::Format_RGB888);
  preview_.fill(Qt::white);
  Image2->setPixmap(QPixmap::fromImage(preview_));

  // Moving over the page's other parts hides the readout again.
  for (QWidget* w :
       std::initializer_list<QWidget*>{this, GroupBox3, ScrollBox4, Label17, Label18, Button3, Button5, Button4}) {
    w->setMouseTracking(true);
    w->installEventFilter(this);
  }
  Image3->installEventFilter(this);

  Shape1->setAccessibleName(Label15->text());
  Shape2->setAccessibleName(Label16->text());
  Image3->setAccessibleName(Image3->toolTip());
  Image2->setAccessibleName(Panel1->title());
  ListView1->setAccessibleName(GroupBox3->title());
  ListView1->viewport()->installEventFilter(this);
  ListView1->installEventFilter(this);

  connect(Button3, &QPushButton::clicked, this, [this] { Button3Click(); });
  connect(Button4, &QPushButton::clicked, this, [this] { Button4Click(); });
  connect(Button5, &QPushButton::clicked, this, [this] { Button5Click(); });
  connect(Button9, &QPushButton::clicked, this, [this] { Button9Click(); });
  connect(Button10, &QPushButton::clicked, this, [this] { Button10Click(); });
  connect(NewEntry1, &QAction::triggered, this, [this] { Button3Click(); });
  connect(EditSelected1, &QAction::triggered, this, [this] { Button5Click(); });
  connect(DeleteSelected1, &QAction::triggered, this, [this] { Button4Click(); });
  connect(Farbreihenfolgeumkehren1, &QAction::triggered, this, [this] { Farbreihenfolgeumkehren1Click(); });
  connect(Farbwertenegativ1, &QAction::triggered, this, [this] { Farbwertenegativ1Click(); });
  connect(swapcolors1, &QAction::triggered, this, [this] { swapcolors1Click(); });
  connect(PopupMenu1, &QMenu::aboutToShow, this, [this] { PopupMenu1Popup(); });
  connect(ListView1, &QListWidget::itemSelectionChanged, this, [this] { ListView1Change(); });
  ListView1Change();

  connect(Shape1, &TShape::clicked, this, [this] { ShapeMouseDown(Shape1); });
  connect(Shape2, &TShape::clicked, this, [this] { ShapeMouseDown(Shape2); });

  bar_ = QImage(BarWidth, BarHeight, QImage::Format_RGB888);
  bar_.fill(Qt::white);
  SetUndoStack(nullptr);
}

int TColorListDisplay::AddImage(uint32_t color) {
  QImage image(16, 16, QImage::Format_RGB888);
  image.fill(ToQColor(color));
  images_.push_back(image);
  return static_cast<int>(images_.size()) - 1;
}

QListWidgetItem* TColorListDisplay::AddItem(int image, double value) {
  auto* item = new ColorItem(Text(value), ListView1);
  item->setData(kImageRole, image);
  item->setData(kValueRole, value);
  if (image >= 0 && image < static_cast<int>(images_.size())) {
    // The icon carries a thin outline so that a white square shows on the white list.
    QPixmap icon = QPixmap::fromImage(images_[static_cast<size_t>(image)]);
    QPainter p(&icon);
    p.setPen(QColor(128, 128, 128));
    p.drawRect(0, 0, 15, 15);
    p.end();
    item->setIcon(QIcon(icon));
  }
  return item;
}

uint32_t TColorListDisplay::ItemColor(const QListWidgetItem* item) const {
  const int image = ItemImage(item);
  if (image < 0 || image >= static_cast<int>(images_.size())) return 0;
  return FromQColor(images_[static_cast<size_t>(image)].pixelColor(1, 1));
}

double TColorListDisplay::ItemValue(const QListWidgetItem* item) { return item->data(kValueRole).toDouble(); }

int TColorListDisplay::ItemImage(const QListWidgetItem* item) { return item->data(kImageRole).toInt(); }

int TColorListDisplay::ListView1Compare(const QListWidgetItem* a, const QListWidgetItem* b) {
  const double x = ItemValue(a);
  const double y = ItemValue(b);
  if (x < y) return -1;
  if (x > y) return 1;
  return 0;
}

void TColorListDisplay::SortList() { ListView1->sortItems(Qt::AscendingOrder); }

void TColorListDisplay::SetColors(const std::vector<TColorEntry>& list, uint32_t below, uint32_t above) {
  ListView1->clear();
  images_.clear();
  for (const TColorEntry& e : list) AddItem(AddImage(e.Color), e.Value);
  Shape1->SetBrushColor(below);
  Shape2->SetBrushColor(above);
  DrawColorPad();
}

std::vector<TColorEntry> TColorListDisplay::Colors() const {
  std::vector<TColorEntry> list;
  list.reserve(static_cast<size_t>(ListView1->count()));
  for (int i = 0; i < ListView1->count(); ++i) {
    const QListWidgetItem* item = ListView1->item(i);
    list.push_back({ItemColor(item), ItemValue(item)});
  }
  return list;
}

uint32_t TColorListDisplay::BelowColor() const { return Shape1->BrushColor(); }
uint32_t TColorListDisplay::AboveColor() const { return Shape2->BrushColor(); }

bool TColorListDisplay::EndValues(double& lo, double& hi) const {
  if (ListView1->count() == 0) return false;
  lo = ItemValue(ListView1->item(0));
  hi = ItemValue(ListView1->item(ListView1->count() - 1));
  return true;
}

void TColorListDisplay::DrawColorPad() {
  SortList();
  const std::vector<TColorEntry> list = Colors();
  const uint32_t below = BelowColor();
  const uint32_t above = AboveColor();

  QPainter p(&bar_);
  p.fillRect(0, 0, 10, BarHeight, ToQColor(below));
  p.fillRect(300, 0, 11, BarHeight, ToQColor(above));
  double lo = 0, hi = 0;
  if (EndValues(lo, hi)) {
    Label17->setText(ListView1->item(0)->text());
    Label18->setText(ListView1->item(ListView1->count() - 1)->text());
    for (int i = 0; i <= 300; ++i) {
      const long double v = static_cast<long double>(lo) + (static_cast<long double>(hi) - lo) * i / 300;
      // Rounding may carry the last column just past the last value; it shows the last colour.
      const uint32_t c = v > hi ? list.back().Color : ColorForExponent(list, below, above, static_cast<double>(v));
      p.fillRect(i + 5, 0, 1, BarHeight, ToQColor(c));
    }
  } else {
    Label17->clear();
    Label18->clear();
  }
  p.end();
  Image3->setPixmap(QPixmap::fromImage(bar_));
}

QString TColorListDisplay::ReadoutText(int x) const {
  double lo = 0, hi = 0;
  if (!EndValues(lo, hi)) return QString();
  return Text(lo + (hi - lo) * (x - 5) / 300);
}

void TColorListDisplay::Image3MouseMove(int x) {
  const QString text = ReadoutText(x);
  Label19->setText(text);
  Label19->setVisible(!text.isEmpty());
}

void TColorListDisplay::ScrollBox4MouseMove() { Label19->hide(); }

TColorListDisplay::~TColorListDisplay() = default;

void TColorListDisplay::DrawPreview(const PreviewGrid& grid) {
  SortList();
  const std::vector<TColorEntry> list = Colors();
  if (!list.empty()) {
    const uint32_t below = BelowColor();
    const uint32_t above = AboveColor();
    for (int y = 0; y < PreviewGrid::Rows; ++y) {
      uchar* row = preview_.scanLine(y);
      for (int x = 0; x < PreviewGrid::Columns; ++x) {
        const uint32_t c = ColorForExponent(list, below, above, grid.At(x, y));
        row[3 * x] = c & 0xFF;
        row[3 * x + 1] = (c >> 8) & 0xFF;
        row[3 * x + 2] = (c >> 16) & 0xFF;
      }
    }
  }
  Image2->setPixmap(QPixmap::fromImage(preview_));
}

void TColorListDisplay::ShapeMouseDown(TShape* shape) {
  const auto chosen = DialogService::instance().color(this, ToQColor(shape->BrushColor()), QString());
  if (!chosen) return;
  ColorEdit edit;
  edit.State = State();
  (shape == Shape1 ? edit.State.Below : edit.State.Above) = FromQColor(*chosen);
  edit.Selected = SelectedRows();
  if (edit.State == State()) return;  // the colour it had
  Commit(edit, shape == Shape1 ? QStringLiteral("change colour below") : QStringLiteral("change colour above"));
  emit outerColorChanged();
}

bool TColorListDisplay::eventFilter(QObject* watched, QEvent* event) {
  if (watched == ListView1->viewport() || watched == ListView1) {
    if (event->type() == QEvent::MouseButtonDblClick && watched == ListView1->viewport()) {
      // Qt selects the item under the mouse first; a double click beside the items finds none.
      const auto* mouse = static_cast<QMouseEvent*>(event);
      if (!ListView1->itemAt(mouse->position().toPoint())) ListView1->clearSelection();
      ListView1DblClick();
      return true;
    }
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete) {
      Button4Click();
      return true;
    }
    return QWidget::eventFilter(watched, event);
  }
  if (event->type() == QEvent::MouseButtonPress && watched == Image3) {
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() == Qt::LeftButton) {
      const QPoint at = mouse->position().toPoint();
      Image3MouseDown(at.x(), at.y());
      return true;
    }
  }
  if (event->type() == QEvent::MouseMove) {
    if (watched == Image3) {
      Image3MouseMove(static_cast<QMouseEvent*>(event)->position().toPoint().x());
      return true;  // the box around the bar must not see it and hide the readout again
    }
    ScrollBox4MouseMove();
  } else if (event->type() == QEvent::Leave && watched == Image3) {
    ScrollBox4MouseMove();
  }
  return QWidget::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------------------------
// Editing

ColorListState TColorListDisplay::State() const { return {Colors(), BelowColor(), AboveColor()}; }

std::vector<size_t> TColorListDisplay::SelectedRows() const {
  std::vector<size_t> rows;
  for (int i = 0; i < ListView1->count(); ++i)
    if (ListView1->item(i)->isSelected()) rows.push_back(static_cast<size_t>(i));
  return rows;
}

void TColorListDisplay::Commit(const ColorEdit& edit, const QString& step) {
  if (!edit.Ok()) {
    DialogService::instance().error(this, QString::fromStdString(edit.Error));
    return;
  }
  if (edit.State == State()) return;  // nothing to show and no step to take back
  // The preview keeps its colours until "apply to preview".
  undoStack_->push(new ColourListStep(
      step, State(), edit.State, edit.Selected,
      [this](const ColorListState& list, const std::vector<size_t>& selected) { ShowList(list, selected); }));
}

void TColorListDisplay::ShowList(const ColorListState& list, const std::vector<size_t>& selected) {
  SetColors(list.Entries, list.Below, list.Above);
  for (size_t row : selected)
    if (row < static_cast<size_t>(ListView1->count())) ListView1->item(static_cast<int>(row))->setSelected(true);
  if (!selected.empty()) ListView1->setCurrentRow(static_cast<int>(selected.front()), QItemSelectionModel::NoUpdate);
  ListView1Change();
  emit colorsEdited();
}

bool TColorListDisplay::ChooseColorAndValue(uint32_t& color, double& value) {
  TOKBottomDlg dialog(this);
  if (!dialog.execute(color, value)) return false;
  color = dialog.Color;
  value = dialog.Value;
  return true;
}

void TColorListDisplay::Button3Click() {
  uint32_t color = 0;
  double value = 0.0;
  if (ChooseColorAndValue(color, value))
    Commit(InsertColorEntry(State(), {color, value}), QStringLiteral("new colour"));
}

void TColorListDisplay::Button5Click() {
  const std::vector<size_t> rows = SelectedRows();
  if (rows.size() != 1) return;
  const ColorListState state = State();
  TColorEntry entry = state.Entries[rows[0]];
  if (!ChooseColorAndValue(entry.Color, entry.Value)) return;
  if (entry == state.Entries[rows[0]]) return;  // nothing changed
  Commit(ReplaceColorEntry(state, rows[0], entry), QStringLiteral("change colour"));
}

void TColorListDisplay::Button4Click() {
  const std::vector<size_t> rows = SelectedRows();
  if (!CanDeleteColorEntries(rows.size(), static_cast<size_t>(ListView1->count()))) return;
  if (DialogService::instance().question(this, QStringLiteral("really delete selected color(s)"),
                                         QMessageBox::Yes | QMessageBox::No, QMessageBox::Warning) != QMessageBox::Yes)
    return;
  Commit(DeleteColorEntries(State(), rows),
         rows.size() == 1 ? QStringLiteral("delete colour") : QStringLiteral("delete colours"));
}

void TColorListDisplay::Image3MouseDown(int x, int y) {
  const auto value = TextToFloat(ReadoutText(x).toStdString());
  if (!value) return;  // an empty list has no readout
  uint32_t color = FromQColor(bar_.pixelColor(std::clamp(x, 0, BarWidth - 1), std::clamp(y, 0, BarHeight - 1)));
  double v = *value;
  if (ChooseColorAndValue(color, v)) Commit(InsertColorEntry(State(), {color, v}), QStringLiteral("new colour"));
}

void TColorListDisplay::ListView1Change() {
  const size_t k = SelectedRows().size();
  const size_t n = static_cast<size_t>(ListView1->count());
  Button4->setEnabled(CanDeleteColorEntries(k, n));
  Button5->setEnabled(k == 1);
}

void TColorListDisplay::ListView1DblClick() {
  const size_t k = SelectedRows().size();
  if (k == 1)
    Button5Click();
  else if (k == 0)
    Button3Click();
}

void TColorListDisplay::PopupMenu1Popup() {
  const ColorMenuState m = ColorMenuFor(SelectedRows().size(), static_cast<size_t>(ListView1->count()));
  NewEntry1->setEnabled(m.NewEntry);
  EditSelected1->setEnabled(m.EditSelected);
  DeleteSelected1->setEnabled(m.DeleteSelected);
  Farbreihenfolgeumkehren1->setEnabled(m.InvertOrder);
  Farbwertenegativ1->setEnabled(m.EditValues);
  swapcolors1->setEnabled(m.SwapColors);
}

void TColorListDisplay::Farbreihenfolgeumkehren1Click() {
  ColorEdit edit;
  edit.State = ReverseColors(State());
  edit.Selected = SelectedRows();
  Commit(edit, QStringLiteral("invert order"));
}

void TColorListDisplay::Farbwertenegativ1Click() {
  const std::vector<size_t> rows = SelectedRows();
  if (rows.empty()) return;
  TOKBottomDlg2 dialog(this);
  if (DialogService::instance().execDialog(&dialog) != QDialog::Accepted) return;
  Commit(ChangeColorValues(State(), rows, dialog.Change()), QStringLiteral("change values"));
}

void TColorListDisplay::swapcolors1Click() {
  const std::vector<size_t> rows = SelectedRows();
  if (rows.size() == 2) Commit(SwapColors(State(), rows), QStringLiteral("swap colours"));
}

namespace {

FileDialogRequest ColorFileRequest(FileDialogRequest::Kind kind) {
  FileDialogRequest r;
  r.kind = kind;
  r.title = kind == FileDialogRequest::Save ? QStringLiteral("save colorfile") : QStringLiteral("load colorfile");
  r.filter = QStringLiteral("colorfile (*.Pal);;all files (*)");
  r.defaultSuffix = QStringLiteral("Pal");
  return r;
}

}  // namespace

void TColorListDisplay::Button9Click() {
  const auto path = DialogService::instance().fileName(this, ColorFileRequest(FileDialogRequest::Save));
  if (!path) return;
  try {
    SaveColorFile(path->toStdString(), State());
  } catch (const std::exception& e) {
    DialogService::instance().error(this, QStringLiteral("The colours were not saved:\n%1").arg(e.what()));
    return;
  }
  RememberRecentFile(*path);
}

void TColorListDisplay::Button10Click() {
  const auto path = DialogService::instance().fileName(this, ColorFileRequest(FileDialogRequest::Open));
  if (path) LoadColourFile(*path);
}

bool TColorListDisplay::LoadColourFile(const QString& path) {
  ColorEdit edit;
  try {
    edit.State = LoadColorFile(path.toStdString());
  } catch (const std::exception& e) {
    DialogService::instance().error(
        this, QStringLiteral("The colours were not loaded:\n%1\nThe colour list stays as it was.").arg(e.what()));
    return false;
  }
  Commit(edit, QStringLiteral("load colours"));
  RememberRecentFile(path);
  return true;
}

}  // namespace vantorel::gui
