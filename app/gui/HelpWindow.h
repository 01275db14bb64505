// The program's own help window: the help document in a text browser with its links, back
// and forward, a search field, and "open in browser" for the desktop's web browser.
#pragma once

#include <QString>
#include <QUrl>
#include <QWidget>
#include <functional>

class QLabel;
class QLineEdit;
class QTextBrowser;
class QToolButton;

namespace vantorel::gui {

class THelpWindow : public QWidget {
  Q_OBJECT
 public:
  explicit THelpWindow(QWidget* parent = nullptr);

  // Shows the document at its beginning (the contents) and brings the window to the front.
  void ShowDocument(const QString& path);
  // Finds the next place of the search field's text after the cursor, from the top again at
  // the end; false (and "not found" beside the field) when the document does not contain it.
  bool FindNext();
  // Opens the page shown in the desktop's web browser; says so beside the field when that fails.
  void OpenInBrowser();

  // How "open in browser" opens a page; the frame passes its own opener.
  std::function<bool(const QUrl&)> UrlOpener;

  QTextBrowser* Browser = nullptr;
  QToolButton* BackButton = nullptr;     // "back"
  QToolButton* ForwardButton = nullptr;  // "forward"
  QToolButton* HomeButton = nullptr;     // "contents"
  QLineEdit* SearchEdit = nullptr;       // "search"
  QToolButton* FindButton = nullptr;     // "find next"
  QToolButton* BrowserButton = nullptr;  // "open in browser"
  QLabel* SearchResult = nullptr;        // "not found", or empty
};

}  // namespace vantorel::gui
