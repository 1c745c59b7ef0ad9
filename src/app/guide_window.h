// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Help > User guide: docs/guide.md shown by the program itself, with
// contents links that go to their heading, a search field, and pictures
// scaled down to the width of the window.
#include <QtCore/QHash>
#include <QtCore/QSize>
#include <QtCore/QString>
#include <QtCore/QStringList>
#include <QtCore/QUrl>
#include <QtWidgets/QDialog>

class QLabel;
class QLineEdit;
class QTextBrowser;

namespace vireltan::app {

// The anchor a heading gets, as GitHub makes it, so that one link works on
// the web page of the sources and in the program: lower case, letters,
// digits, '-' and '_' kept, spaces turned into '-', the rest dropped
// ("Reproducibility with --seed" -> "reproducibility-with---seed").
QString GuideHeadingAnchor(const QString& heading);

// The anchors of a list of headings in document order: a repeated one gets
// "-1", "-2", ... as on GitHub.
QStringList GuideHeadingAnchors(const QStringList& headings);

class GuideWindow : public QDialog {
  Q_OBJECT
 public:
  // `guidePath`: the Markdown file; its pictures are found relative to it.
  explicit GuideWindow(const QString& guidePath, QWidget* parent = nullptr);

  QTextBrowser* browser() const { return browser_; }
  QLineEdit* findField() const { return find_; }
  QLabel* findStatus() const { return findStatus_; }

  // The anchors of the headings, in document order.
  QStringList anchors() const { return anchorOrder_; }
  // Scrolls so that the heading of `anchor` is at the top; false when no
  // heading has it.
  bool GoToHeading(const QString& anchor);
  // Finds the search field's text after (or before) the current match,
  // going round the end of the guide; says in the status when it is absent.
  bool FindNext(bool backward = false);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Load(const QString& guidePath);
  void AnchorHeadings();
  void WrapCode();
  void FitPictures();
  void FollowLink(const QUrl& link);
  void SayFound(const QString& words);
  QSize NaturalSize(const QString& picture);

  QTextBrowser* browser_ = nullptr;
  QLineEdit* find_ = nullptr;
  QLabel* findStatus_ = nullptr;
  QUrl guideUrl_;
  QStringList anchorOrder_;             // the headings' anchors in order
  QHash<QString, int> anchors_;         // anchor -> position of its heading
  QHash<QString, QSize> naturalSizes_;  // picture -> its size in pixels
  int fittedWidth_ = -1;                // viewport width the pictures fit
};

}  // namespace vireltan::app
