#include "app/gui/HelpWindow.h"

#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QTextBrowser>
#include <QTextCursor>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/gui/Artwork.h"
#include "gui/WindowPlacement.h"

namespace vantorel::gui {

namespace {

QToolButton* Button(QWidget* parent, const QString& name, const QString& text, const QString& hint) {
  auto* button = new QToolButton(parent);
  button->setObjectName(name);
  button->setText(text);
  button->setToolTip(hint);
  button->setStatusTip(hint);
  button->setAccessibleName(text);
  return button;
}

}  // namespace

THelpWindow::THelpWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName("HelpWindow");
  setWindowTitle(QStringLiteral("Vantorel help"));
  setWindowIcon(ProgramIcon());
  auto* column = new QVBoxLayout(this);
  auto* bar = new QHBoxLayout;
  BackButton = Button(this, "BackButton", QStringLiteral("back"), QStringLiteral("the page shown before"));
  ForwardButton = Button(this, "ForwardButton", QStringLiteral("forward"), QStringLiteral("the page shown after"));
  HomeButton = Button(this, "HomeButton", QStringLiteral("contents"), QStringLiteral("the beginning of the help"));
  SearchEdit = new QLineEdit(this);
  SearchEdit->setObjectName("SearchEdit");
  SearchEdit->setPlaceholderText(QStringLiteral("search"));
  SearchEdit->setAccessibleName(QStringLiteral("search"));
  SearchEdit->setToolTip(QStringLiteral("a word to find in the help; Enter finds the next place"));
  FindButton =
      Button(this, "FindButton", QStringLiteral("find next"), QStringLiteral("find the next place of the word"));
  SearchResult = new QLabel(this);
  SearchResult->setObjectName("SearchResult");
  SearchResult->setAccessibleName(QStringLiteral("search result"));
  BrowserButton = Button(this, "BrowserButton", QStringLiteral("open in browser"),
                         QStringLiteral("show this page in the web browser"));
  for (QWidget* w :
       std::initializer_list<QWidget*>{BackButton, ForwardButton, HomeButton, SearchEdit, FindButton, SearchResult})
    bar->addWidget(w);
  bar->addStretch(1);
  bar->addWidget(BrowserButton);
  column->addLayout(bar);

  Browser = new QTextBrowser(this);
  Browser->setObjectName("Browser");
  Browser->setAccessibleName(QStringLiteral("help text"));
  Browser->setOpenLinks(false);  // links are followed below
  column->addWidget(Browser, 1);
  resize(640, 560);

  BackButton->setEnabled(false);
  ForwardButton->setEnabled(false);
  connect(Browser, &QTextBrowser::backwardAvailable, BackButton, &QWidget::setEnabled);
  connect(Browser, &QTextBrowser::forwardAvailable, ForwardButton, &QWidget::setEnabled);
  connect(BackButton, &QToolButton::clicked, Browser, &QTextBrowser::backward);
  connect(ForwardButton, &QToolButton::clicked, Browser, &QTextBrowser::forward);
  connect(HomeButton, &QToolButton::clicked, Browser, &QTextBrowser::home);
  connect(FindButton, &QToolButton::clicked, this, [this] { FindNext(); });
  connect(SearchEdit, &QLineEdit::returnPressed, this, [this] { FindNext(); });
  connect(SearchEdit, &QLineEdit::textChanged, SearchResult, &QLabel::clear);
  connect(BrowserButton, &QToolButton::clicked, this, &THelpWindow::OpenInBrowser);
  // Links within the help stay in this window; web addresses go to the web browser.
  connect(Browser, &QTextBrowser::anchorClicked, this, [this](const QUrl& link) {
    const QUrl url = Browser->source().resolved(link);
    if (url.isLocalFile())
      Browser->setSource(url);
    else if (UrlOpener)
      UrlOpener(url);
  });
}

void THelpWindow::ShowDocument(const QString& path) {
  const QUrl url = QUrl::fromLocalFile(path);
  Browser->setSearchPaths({QFileInfo(path).absolutePath()});
  if (Browser->source().adjusted(QUrl::RemoveFragment) != url)
    Browser->setSource(url);
  else
    Browser->home();
  ShowBeside(this, parentWidget());  // the first time beside the main window
  show();
  raise();
  activateWindow();
}

bool THelpWindow::FindNext() {
  const QString text = SearchEdit->text();
  if (text.isEmpty()) return false;
  bool found = Browser->find(text);
  if (!found) {  // from the top again
    QTextCursor cursor = Browser->textCursor();
    cursor.movePosition(QTextCursor::Start);
    Browser->setTextCursor(cursor);
    found = Browser->find(text);
  }
  SearchResult->setText(found ? QString() : QStringLiteral("not found"));
  return found;
}

void THelpWindow::OpenInBrowser() {
  const QUrl url = Browser->source();
  if (!UrlOpener || !UrlOpener(url))
    SearchResult->setText(
        QStringLiteral("no web browser: the page is %1").arg(QDir::toNativeSeparators(url.toLocalFile())));
}

}  // namespace vantorel::gui
