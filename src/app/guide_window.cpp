// SPDX-License-Identifier: GPL-3.0-or-later
// Help > User guide. Qt draws the Markdown of docs/guide.md but gives its
// headings no anchors, so the contents links would lead nowhere: each
// heading gets the anchor GitHub gives it once the guide is loaded, and a
// link inside the guide scrolls to its heading while any other link opens
// in the desktop's viewer. Pictures keep their natural size up to the
// width they have in the window (the viewport, or a table cell of it) and
// shrink with the window, so that no picture needs a horizontal scroll.
#include "app/guide_window.h"

#include <QtGui/QDesktopServices>
#include <QtGui/QFontDatabase>
#include <QtGui/QFontMetricsF>
#include <QtGui/QImage>
#include <QtGui/QKeySequence>
#include <QtGui/QShortcut>
#include <QtGui/QTextBlock>
#include <QtGui/QTextCursor>
#include <QtGui/QTextDocument>
#include <QtGui/QTextList>
#include <QtGui/QTextTable>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QScrollBar>
#include <QtWidgets/QTextBrowser>
#include <QtWidgets/QVBoxLayout>
#include <algorithm>
#include <cmath>

namespace vireltan::app {

QString GuideHeadingAnchor(const QString& heading) {
  QString anchor;
  for (const QChar c : heading.trimmed().toLower()) {
    if (c.isLetterOrNumber() || c == '-' || c == '_')
      anchor += c;
    else if (c == ' ')
      anchor += '-';
  }
  return anchor;
}

QStringList GuideHeadingAnchors(const QStringList& headings) {
  QStringList anchors;
  QHash<QString, int> seen;
  for (const QString& heading : headings) {
    const QString anchor = GuideHeadingAnchor(heading);
    const int times = seen.value(anchor, 0);
    seen[anchor] = times + 1;
    anchors << (times == 0 ? anchor : anchor + "-" + QString::number(times));
  }
  return anchors;
}

GuideWindow::GuideWindow(const QString& guidePath, QWidget* parent) : QDialog(parent, Qt::Window) {
  setObjectName("UserGuideWindow");
  setWindowTitle("Vireltan user guide");
  resize(900, 760);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);

  // The search row above the guide.
  auto* findRow = new QHBoxLayout;
  findRow->setContentsMargins(8, 6, 8, 6);
  auto* findLabel = new QLabel("&Find:", this);
  find_ = new QLineEdit(this);
  find_->setObjectName("UserGuideFind");
  find_->setClearButtonEnabled(true);
  find_->setPlaceholderText("a word of the guide");
  find_->setToolTip("Enter or F3: next; Shift+F3: previous; Ctrl+F comes back here");
  findLabel->setBuddy(find_);
  auto* previous = new QPushButton("&Previous", this);
  auto* next = new QPushButton("&Next", this);
  // The field's Enter finds the next match: no button of the dialog takes
  // it as its default as well.
  for (QPushButton* button : {previous, next}) {
    button->setAutoDefault(false);
    button->setDefault(false);
  }
  findStatus_ = new QLabel(this);
  findStatus_->setObjectName("UserGuideFindStatus");
  // The field and the status share the row: a narrow window shortens the
  // status (its whole text in the tooltip) rather than the field.
  findStatus_->setMinimumWidth(fontMetrics().horizontalAdvance("Match 10 of 99"));
  findStatus_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  find_->setMinimumWidth(fontMetrics().horizontalAdvance("a word of the guide") + 40);
  findRow->addWidget(findLabel);
  findRow->addWidget(find_, 3);
  findRow->addWidget(previous);
  findRow->addWidget(next);
  findRow->addWidget(findStatus_, 2);
  layout->addLayout(findRow);

  browser_ = new QTextBrowser(this);
  browser_->setObjectName("UserGuideText");
  // Links are followed here: those inside the guide go to their heading,
  // the others open outside the program.
  browser_->setOpenLinks(false);
  browser_->setOpenExternalLinks(false);
  browser_->viewport()->installEventFilter(this);
  layout->addWidget(browser_, 1);

  connect(browser_, &QTextBrowser::anchorClicked, this,
          [this](const QUrl& link) { FollowLink(link); });
  connect(find_, &QLineEdit::returnPressed, this, [this] { FindNext(); });
  connect(find_, &QLineEdit::textEdited, this, [this] {
    // Typing searches from the start of the current match, so that the
    // match grows with the word.
    QTextCursor from = browser_->textCursor();
    from.setPosition(from.selectionStart());
    browser_->setTextCursor(from);
    FindNext();
  });
  connect(next, &QPushButton::clicked, this, [this] { FindNext(); });
  connect(previous, &QPushButton::clicked, this, [this] { FindNext(true); });
  auto shortcut = [this](const QKeySequence& keys, auto action) {
    auto* s = new QShortcut(keys, this);
    s->setContext(Qt::WindowShortcut);
    connect(s, &QShortcut::activated, this, action);
  };
  shortcut(QKeySequence::Find, [this] {
    find_->setFocus(Qt::ShortcutFocusReason);
    find_->selectAll();
  });
  shortcut(QKeySequence(Qt::Key_F3), [this] { FindNext(); });
  shortcut(QKeySequence(Qt::SHIFT | Qt::Key_F3), [this] { FindNext(true); });

  Load(guidePath);
}

void GuideWindow::Load(const QString& guidePath) {
  guideUrl_ = QUrl::fromLocalFile(guidePath);
  browser_->setSource(guideUrl_, QTextDocument::MarkdownResource);
  AnchorHeadings();
  WrapCode();
  fittedWidth_ = -1;
  FitPictures();
}

void GuideWindow::AnchorHeadings() {
  QStringList headings;
  QList<QTextBlock> blocks;
  for (QTextBlock b = browser_->document()->begin(); b.isValid(); b = b.next())
    if (b.blockFormat().headingLevel() > 0 && !b.text().trimmed().isEmpty()) {
      headings << b.text();
      blocks << b;
    }
  anchorOrder_ = GuideHeadingAnchors(headings);
  anchors_.clear();
  for (qsizetype i = 0; i < blocks.size(); ++i) {
    QTextCursor heading(blocks[i]);
    heading.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    QTextCharFormat anchor;
    anchor.setAnchor(true);
    anchor.setAnchorNames({anchorOrder_[i]});
    heading.mergeCharFormat(anchor);
    anchors_.insert(anchorOrder_[i], blocks[i].position());
  }
}

void GuideWindow::WrapCode() {
  // Code blocks (commands, the rows of a data file) keep their line breaks
  // but wrap where the window is narrower than a line, rather than making
  // the whole guide scroll sideways; tab stops every eight characters keep
  // the columns of the data rows together.
  QTextDocument* document = browser_->document();
  for (QTextBlock b = document->begin(); b.isValid(); b = b.next()) {
    QTextBlockFormat format = b.blockFormat();
    if (!format.nonBreakableLines()) continue;
    format.setNonBreakableLines(false);
    QTextCursor(b).setBlockFormat(format);
  }
  QTextOption option = document->defaultTextOption();
  const QFont code = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  option.setTabStopDistance(8 * QFontMetricsF(code).horizontalAdvance(' '));
  document->setDefaultTextOption(option);
}

bool GuideWindow::GoToHeading(const QString& anchor) {
  if (!anchors_.contains(anchor)) {
    SayFound(QString("No heading “%1” in the guide").arg(anchor));
    return false;
  }
  // The cursor moves there too, so that a search goes on from the heading.
  QTextCursor at(browser_->document());
  at.setPosition(anchors_.value(anchor));
  browser_->setTextCursor(at);
  browser_->scrollToAnchor(anchor);
  return true;
}

void GuideWindow::FollowLink(const QUrl& link) {
  const QUrl target = guideUrl_.resolved(link);
  if (target.adjusted(QUrl::RemoveFragment) == guideUrl_ && link.hasFragment()) {
    GoToHeading(link.fragment());
    return;
  }
  // Another file beside the guide, or a web page.
  if (!QDesktopServices::openUrl(target))
    SayFound(QString("Could not open %1").arg(target.toDisplayString()));
}

void GuideWindow::SayFound(const QString& words) {
  findStatus_->setText(words);
  findStatus_->setToolTip(words);
}

bool GuideWindow::FindNext(bool backward) {
  const QString text = find_->text();
  QTextDocument* document = browser_->document();
  if (text.isEmpty()) {
    SayFound(QString());
    browser_->setExtraSelections({});
    return false;
  }
  const QTextDocument::FindFlags flags =
      backward ? QTextDocument::FindBackward : QTextDocument::FindFlags();
  QTextCursor found = document->find(text, browser_->textCursor(), flags);
  bool wrapped = false;
  if (found.isNull()) {
    // Round the end (or the start) of the guide.
    QTextCursor from(document);
    if (backward) from.movePosition(QTextCursor::End);
    found = document->find(text, from, flags);
    wrapped = true;
  }
  if (found.isNull()) {
    SayFound(QString("“%1” is not in the guide").arg(text));
    browser_->setExtraSelections({});
    return false;
  }
  browser_->setTextCursor(found);
  // A match out of sight is brought a third of the way down the view, with
  // the lines before it to read.
  const QRect at = browser_->cursorRect(found);
  const int height = browser_->viewport()->height();
  if (at.top() < 0 || at.bottom() > height) {
    QScrollBar* scroll = browser_->verticalScrollBar();
    scroll->setValue(scroll->value() + at.top() - height / 3);
  }
  // The match stands out while the focus stays in the field.
  QTextEdit::ExtraSelection mark;
  mark.cursor = found;
  mark.format.setBackground(QColor(255, 221, 87));
  mark.format.setForeground(Qt::black);
  browser_->setExtraSelections({mark});

  int count = 0, index = 0;
  for (QTextCursor c = document->find(text, 0); !c.isNull(); c = document->find(text, c)) {
    ++count;
    if (c.selectionStart() == found.selectionStart()) index = count;
  }
  QString status = QString("Match %1 of %2").arg(index).arg(count);
  if (wrapped) status += backward ? ", from the end again" : ", from the top again";
  SayFound(status);
  return true;
}

bool GuideWindow::eventFilter(QObject* watched, QEvent* event) {
  // After the browser has laid the text out at the new width: changing
  // the pictures from within the resize would leave the layout at the old
  // one.
  if (watched == browser_->viewport() && event->type() == QEvent::Resize)
    QMetaObject::invokeMethod(
        this, [this] { FitPictures(); }, Qt::QueuedConnection);
  return QDialog::eventFilter(watched, event);
}

QSize GuideWindow::NaturalSize(const QString& picture) {
  if (auto known = naturalSizes_.constFind(picture); known != naturalSizes_.cend()) return *known;
  const QVariant resource = browser_->loadResource(QTextDocument::ImageResource, QUrl(picture));
  QImage image;
  if (resource.canConvert<QImage>() && resource.typeId() != QMetaType::QByteArray)
    image = resource.value<QImage>();
  else
    image = QImage::fromData(resource.toByteArray());
  const QSize size = image.isNull() ? QSize() : image.size() / image.devicePixelRatio();
  naturalSizes_.insert(picture, size);
  return size;
}

void GuideWindow::FitPictures() {
  const int viewport = browser_->viewport()->width();
  if (viewport == fittedWidth_ || viewport <= 0) return;
  fittedWidth_ = viewport;
  QTextDocument* document = browser_->document();
  // Text runs between the document's margins; the few pixels kept spare
  // cover the frames' borders.
  const double text = viewport - 2 * document->documentMargin() - 4;
  struct Picture {
    int position, length;
    QTextImageFormat format;
  };
  QList<Picture> pictures;
  for (QTextBlock b = document->begin(); b.isValid(); b = b.next())
    for (auto it = b.begin(); !it.atEnd(); ++it) {
      const QTextFragment fragment = it.fragment();
      if (fragment.isValid() && fragment.charFormat().isImageFormat())
        pictures.push_back(
            {fragment.position(), fragment.length(), fragment.charFormat().toImageFormat()});
    }
  // One edit for all the pictures, then the whole text laid out again:
  // Qt lays a long document out lazily, and pictures resized while that
  // is under way would leave later blocks drawn at their old places.
  QTextCursor edit(document);
  edit.beginEditBlock();
  bool changed = false;
  for (Picture& p : pictures) {
    const QSize natural = NaturalSize(p.format.name());
    if (!natural.isValid() || natural.width() <= 0) continue;
    QTextCursor at(document);
    at.setPosition(p.position);
    // A picture in a list item starts at the item's indent.
    const QTextBlockFormat block = at.blockFormat();
    double indent = block.leftMargin() + block.rightMargin() + std::max(0.0, block.textIndent()) +
                    block.indent() * document->indentWidth();
    if (const QTextList* list = at.currentList())
      indent += list->format().indent() * document->indentWidth();
    double room = text - indent;
    if (QTextTable* table = at.currentTable()) {
      // A picture in a table shares the width with the other columns.
      const QTextTableFormat f = table->format();
      const int columns = std::max(1, table->columns());
      const double edges = 2 * f.border() + (columns + 1) * f.cellSpacing() +
                           columns * 2 * (f.cellPadding() + f.border()) +
                           2 * (f.leftMargin() + f.rightMargin());
      room = (text - edges) / columns - indent;
    }
    const double width = std::max(16.0, std::min<double>(natural.width(), std::floor(room)));
    const double height = std::round(width * natural.height() / natural.width());
    if (p.format.width() == width && p.format.height() == height) continue;
    edit.setPosition(p.position);
    edit.setPosition(p.position + p.length, QTextCursor::KeepAnchor);
    p.format.setWidth(width);
    p.format.setHeight(height);
    edit.setCharFormat(p.format);
    changed = true;
  }
  edit.endEditBlock();
  if (changed) document->markContentsDirty(0, document->characterCount());
}

}  // namespace vireltan::app
