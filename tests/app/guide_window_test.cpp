// SPDX-License-Identifier: GPL-3.0-or-later
// Help > User guide: the contents of docs/guide.md against its headings,
// links that scroll to their heading, the search field and its keys, and
// pictures that fit the window.
#include <gtest/gtest.h>

#include <QtCore/QElapsedTimer>
#include <QtCore/QFile>
#include <QtCore/QRegularExpression>
#include <QtGui/QMouseEvent>
#include <QtGui/QTextBlock>
#include <QtGui/QTextDocument>
#include <QtWidgets/QApplication>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QScrollBar>
#include <QtWidgets/QTextBrowser>
#ifdef VIRELTAN_HAVE_QTTEST
#include <QtTest/QTest>
#endif

#include "app/guide_window.h"
#include "app/main_window.h"
#include "common/version.h"

namespace vireltan::app {
namespace {

const QString kGuide = QString::fromUtf8(kGuideSourcePath);

TEST(GuideHeadingAnchorTest, MadeAsGitHubMakesThem) {
  const struct {
    const char* heading;
    const char* anchor;
  } cases[] = {
      {"Installing", "installing"},
      {"Reproducibility with --seed", "reproducibility-with---seed"},
      {"distances.txt: fixed distance classes", "distancestxt-fixed-distance-classes"},
      {"Populations, lineages and the network", "populations-lineages-and-the-network"},
      {"SNP data: from Open to lineages", "snp-data-from-open-to-lineages"},
      {"Psex: are repeated genotypes clonemates?", "psex-are-repeated-genotypes-clonemates"},
      {"MLGs shared among populations", "mlgs-shared-among-populations"},
      {"Hardy\u2013Weinberg tests", "hardyweinberg-tests"},  // the dash is dropped
      {"Licence and citing", "licence-and-citing"},
      {"snake_case and 2 digits", "snake_case-and-2-digits"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(GuideHeadingAnchor(QString::fromUtf8(c.heading)).toStdString(), c.anchor)
        << c.heading;
}

TEST(GuideHeadingAnchorTest, ARepeatedHeadingIsNumbered) {
  EXPECT_EQ(GuideHeadingAnchors({"Files", "Notes", "Files", "Files"}),
            QStringList({"files", "notes", "files-1", "files-2"}));
}

// The guide as its Markdown source: headings (outside code blocks), the
// links of its contents list and every link inside the guide.
struct GuideSource {
  QStringList level2;      // the anchors of the `##` sections, in order
  QStringList anchors;     // every heading's anchor
  QStringList contents;    // the anchors the contents list links to
  QStringList innerLinks;  // every "(#anchor)" of the guide
  QStringList pictures;    // every "![...](file)", in order
};

GuideSource ReadGuideSource() {
  GuideSource source;
  QFile file(kGuide);
  if (!file.open(QIODevice::ReadOnly)) return source;
  const QStringList lines = QString::fromUtf8(file.readAll()).split('\n');
  const QRegularExpression heading("^(#{1,6}) +(.*?) *#* *$");
  const QRegularExpression link("\\]\\(#([^)]+)\\)");
  const QRegularExpression picture("!\\[[^\\]]*\\]\\(([^)]+)\\)");
  QStringList headings;
  QList<int> levels;
  bool inCode = false, inContents = false;
  for (const QString& line : lines) {
    if (line.startsWith("```")) inCode = !inCode;
    if (inCode) continue;
    if (line.startsWith("Contents:")) inContents = true;
    if (inContents && line.trimmed().isEmpty() && !source.contents.isEmpty()) inContents = false;
    for (auto m = link.globalMatch(line); m.hasNext();) {
      const QString anchor = m.next().captured(1);
      source.innerLinks << anchor;
      if (inContents) source.contents << anchor;
    }
    for (auto m = picture.globalMatch(line); m.hasNext();) source.pictures << m.next().captured(1);
    if (const auto m = heading.match(line); m.hasMatch()) {
      headings << m.captured(2);
      levels << int(m.captured(1).size());
    }
  }
  source.anchors = GuideHeadingAnchors(headings);
  for (qsizetype i = 0; i < headings.size(); ++i)
    if (levels[i] == 2) source.level2 << source.anchors[i];
  return source;
}

TEST(GuideContentsTest, EverySectionIsListedInOrderAndEveryLinkHasItsHeading) {
  const GuideSource guide = ReadGuideSource();
  ASSERT_GT(guide.level2.size(), 10) << "no sections read from " << kGuide.toStdString();
  ASSERT_FALSE(guide.contents.isEmpty()) << "no contents list (a line starting \"Contents:\")";
  qsizetype last = -1;
  for (const QString& section : guide.level2) {
    const qsizetype at = guide.contents.indexOf(section);
    EXPECT_NE(at, -1) << "section #" << section.toStdString() << " missing from the contents";
    if (at == -1) continue;
    EXPECT_GT(at, last) << "section #" << section.toStdString() << " listed out of order";
    last = at;
  }
  for (const QString& anchor : guide.innerLinks)
    EXPECT_TRUE(guide.anchors.contains(anchor))
        << "the link to #" << anchor.toStdString() << " has no heading";
}

class GuideWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!QFile::exists(kGuide)) GTEST_SKIP() << "no guide at " << kGuide.toStdString();
    window = std::make_unique<GuideWindow>(kGuide);
    window->resize(900, 700);
    window->show();
    QApplication::processEvents();
  }
  QTextBrowser* text() const { return window->browser(); }
  // Qt lays a long text out in steps on its timers: half a second of events.
  static void Settle() {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 500) QApplication::processEvents(QEventLoop::AllEvents, 50);
  }
  // Where the block at `position` starts, in the viewport's pixels.
  int TopInView(int position) const {
    QTextCursor at(text()->document());
    at.setPosition(position);
    return text()->cursorRect(at).top();
  }
  int HeadingPosition(const QString& name) const {
    for (QTextBlock b = text()->document()->begin(); b.isValid(); b = b.next())
      if (b.blockFormat().headingLevel() > 0 && b.text() == name) return b.position();
    return -1;
  }
  void Click(QPoint at) {
    QWidget* view = text()->viewport();
    const QPointF global = view->mapToGlobal(QPointF(at));
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(at), global, Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(view, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(at), global, Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(view, &release);
    QApplication::processEvents();
  }
  std::unique_ptr<GuideWindow> window;
};

TEST_F(GuideWindowTest, TheHeadingsShownHaveTheAnchorsTheSourceLinksTo) {
  EXPECT_EQ(window->anchors(), ReadGuideSource().anchors);
}

// Qt's Markdown reader places a picture when it reads its alternative
// text: one written "![](file)" would be left out without a word.
TEST_F(GuideWindowTest, EveryPictureOfTheSourceIsShown) {
  QStringList shown;
  for (QTextBlock b = text()->document()->begin(); b.isValid(); b = b.next())
    for (auto it = b.begin(); !it.atEnd(); ++it)
      if (it.fragment().charFormat().isImageFormat())
        shown << it.fragment().charFormat().toImageFormat().name();
  EXPECT_EQ(shown, ReadGuideSource().pictures);
}

TEST_F(GuideWindowTest, AContentsLinkScrollsToItsHeading) {
  // The link "Isolation by distance" of the contents list, clicked.
  int link = -1;
  for (QTextBlock b = text()->document()->begin(); b.isValid() && link < 0; b = b.next())
    for (auto it = b.begin(); !it.atEnd(); ++it)
      if (it.fragment().charFormat().anchorHref() == "#isolation-by-distance") {
        link = it.fragment().position();
        break;
      }
  ASSERT_GE(link, 0);
  text()->verticalScrollBar()->setValue(0);
  QTextCursor at(text()->document());
  at.setPosition(link + 1);
  Click(text()->cursorRect(at).center());

  const int heading = HeadingPosition("Isolation by distance");
  ASSERT_GE(heading, 0);
  EXPECT_GT(text()->verticalScrollBar()->value(), 0);
  const int top = TopInView(heading);
  EXPECT_GE(top, -2);
  EXPECT_LT(top, text()->fontMetrics().height() * 2) << "the heading is not at the top";
}

TEST_F(GuideWindowTest, EveryHeadingIsReachedByItsAnchor) {
  QList<int> headings;
  for (QTextBlock b = text()->document()->begin(); b.isValid(); b = b.next())
    if (b.blockFormat().headingLevel() > 0) headings << b.position();
  const QStringList anchors = window->anchors();
  ASSERT_EQ(anchors.size(), headings.size());
  QScrollBar* scroll = text()->verticalScrollBar();
  for (qsizetype i = 0; i < anchors.size(); ++i) {
    scroll->setValue(i % 2 ? 0 : scroll->maximum());  // from above and from below
    ASSERT_TRUE(window->GoToHeading(anchors[i])) << anchors[i].toStdString();
    EXPECT_EQ(text()->textCursor().position(), headings[i]) << anchors[i].toStdString();
    // At the top of the view, unless the guide ends before a screenful.
    if (scroll->value() < scroll->maximum()) {
      EXPECT_GE(TopInView(headings[i]), -2) << anchors[i].toStdString();
      EXPECT_LT(TopInView(headings[i]), text()->fontMetrics().height() * 2)
          << anchors[i].toStdString();
    }
  }
  EXPECT_FALSE(window->GoToHeading("no-such-heading"));
  EXPECT_EQ(window->findStatus()->text(), "No heading \u201cno-such-heading\u201d in the guide");
}

TEST_F(GuideWindowTest, SearchFindsAWordAndSaysWhenItIsAbsent) {
  window->findField()->setText("Mantel");
  ASSERT_TRUE(window->FindNext());
  EXPECT_EQ(text()->textCursor().selectedText(), "Mantel");
  EXPECT_TRUE(window->findStatus()->text().startsWith("Match 1 of "))
      << window->findStatus()->text().toStdString();
  const int first = text()->textCursor().selectionStart();
  ASSERT_TRUE(window->FindNext());
  const int second = text()->textCursor().selectionStart();
  EXPECT_GT(second, first);
  ASSERT_TRUE(window->FindNext(/*backward=*/true));
  EXPECT_EQ(text()->textCursor().selectionStart(), first);
  // The match is on show, whole.
  const QRect match = text()->cursorRect(text()->textCursor());
  EXPECT_GE(match.top(), 0);
  EXPECT_LE(match.bottom(), text()->viewport()->height());

  window->findField()->setText("qzxwvjk");
  EXPECT_FALSE(window->FindNext());
  EXPECT_EQ(window->findStatus()->text(), "\u201cqzxwvjk\u201d is not in the guide");
}

TEST_F(GuideWindowTest, SearchGoesRoundTheEndOfTheGuide) {
  window->findField()->setText("Licence and citing");
  ASSERT_TRUE(window->FindNext(/*backward=*/true));  // from the top, backwards: the last one
  const int last = text()->textCursor().selectionStart();
  EXPECT_TRUE(window->findStatus()->text().endsWith("from the end again"));
  ASSERT_TRUE(window->FindNext());
  EXPECT_LT(text()->textCursor().selectionStart(), last);
  EXPECT_TRUE(window->findStatus()->text().endsWith("from the top again"));
}

#ifdef VIRELTAN_HAVE_QTTEST
TEST_F(GuideWindowTest, CtrlFEnterAndF3DriveTheSearch) {
  QApplication::setActiveWindow(window.get());
  text()->setFocus();
  QTest::keyClick(text(), Qt::Key_F, Qt::ControlModifier);
  EXPECT_TRUE(window->findField()->hasFocus());
  QTest::keyClicks(window->findField(), "permutation");
  const int typed = text()->textCursor().selectionStart();
  EXPECT_EQ(text()->textCursor().selectedText().toLower(), "permutation");
  QTest::keyClick(window->findField(), Qt::Key_Return);
  const int entered = text()->textCursor().selectionStart();
  EXPECT_GT(entered, typed);
  QTest::keyClick(window->findField(), Qt::Key_F3);
  EXPECT_GT(text()->textCursor().selectionStart(), entered);
  QTest::keyClick(window->findField(), Qt::Key_F3, Qt::ShiftModifier);
  EXPECT_EQ(text()->textCursor().selectionStart(), entered);
}
#else
TEST_F(GuideWindowTest, CtrlFEnterAndF3DriveTheSearch) {
  GTEST_SKIP() << "Qt Test is not installed: the keys are not checked";
}
#endif

TEST_F(GuideWindowTest, NoPictureIsWiderThanTheWindow) {
  for (const QSize size : {QSize(1300, 800), QSize(700, 600), QSize(420, 500)}) {
    window->resize(size);
    Settle();  // the pictures are fitted once the text is laid out, then laid out again
    const int viewport = text()->viewport()->width();
    int pictures = 0;
    for (QTextBlock b = text()->document()->begin(); b.isValid(); b = b.next())
      for (auto it = b.begin(); !it.atEnd(); ++it)
        if (it.fragment().charFormat().isImageFormat()) {
          const QTextImageFormat picture = it.fragment().charFormat().toImageFormat();
          ++pictures;
          EXPECT_GT(picture.width(), 0) << picture.name().toStdString();
          EXPECT_LE(picture.width(), viewport) << picture.name().toStdString();
        }
    EXPECT_GT(pictures, 5);
    // Nothing drawn needs a sideways scroll (code blocks wrap too).
    EXPECT_EQ(text()->horizontalScrollBar()->maximum(), 0) << "at " << size.width();
    EXPECT_LE(text()->document()->idealWidth(), text()->document()->textWidth() + 0.5)
        << "at " << size.width();
  }
}

TEST(UserGuideMenuTest, HelpUserGuideOpensTheSearchableGuide) {
  RecordingMessageSink messages;
  TForm1 form(&messages);
  form.Userguide1->trigger();
  auto* window = form.findChild<GuideWindow*>("UserGuideWindow");
  ASSERT_NE(window, nullptr);
  EXPECT_NE(window->findChild<QLineEdit*>("UserGuideFind"), nullptr);
  EXPECT_FALSE(window->anchors().isEmpty());
}

}  // namespace
}  // namespace vireltan::app
