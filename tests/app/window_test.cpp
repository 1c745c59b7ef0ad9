// SPDX-License-Identifier: GPL-3.0-or-later
// Drives the real main window headless: menus, enabling, messages, the MLG
// map, Save map, Cancel and Close.
#include <gtest/gtest.h>

#include <QtCharts/QCategoryAxis>
#include <QtCharts/QScatterSeries>
#include <QtCharts/QValueAxis>
#include <QtCore/QFile>
#include <QtCore/QThread>
#include <QtCore/QTimer>
#include <QtCore/QXmlStreamReader>
#include <QtGui/QImage>
#include <QtWidgets/QApplication>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QDialog>
#include <QtWidgets/QGraphicsSimpleTextItem>
#include <QtWidgets/QMenuBar>
#include <QtWidgets/QStatusBar>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "app/chart_drawer.h"
#include "app/main_window.h"
#include "app/map_view.h"
#include "support/sheet_builder.h"

namespace vireltan::app {
namespace {

using vireltan::testing::Rows;
using vireltan::testing::TempDir;
using vireltan::testing::WriteTsv;
namespace fs = std::filesystem;

const Rows kPlot{{"5", "", "", "2", "2"},
                 {"s1", "10", "5", "120124", "150152"},
                 {"s2", "100", "50", "130130", "160160"},
                 {"s3", "12", "7", "124120", "152150"},
                 {"s4", "40", "20", "101130", "150152"},
                 {"s5", "41", "21", "130130", "160160"}};
const Rows kMissing{{"3", "", "", "2", "2"},
                    {"s1", "10", "5", "120124", "999999"},
                    {"s2", "20", "6", "130130", "160160"},
                    {"s3", "30", "7", "120124", "150152"}};
const Rows kNoCoordinates{{"3", "", "", "2", "2"},
                          {"s1", "999", "999", "120124", "150150"},
                          {"s2", "999", "999", "130130", "160160"},
                          {"s3", "999", "999", "120124", "150152"}};

class WindowTest : public ::testing::Test {
 protected:
  RecordingMessageSink messages;
  std::unique_ptr<TForm1> form = std::make_unique<TForm1>(&messages);
  TempDir dir;

  std::string Write(const std::string& name, const Rows& rows) {
    WriteTsv(dir.path() / name, rows);
    return dir.file(name);
  }
  void Open(const std::string& path) {
    form->OpenPath(QString::fromStdString(path));
    form->WaitUntilIdle();
  }
  void Trigger(QAction* action) {
    action->trigger();
    form->WaitUntilIdle();
  }
  bool Enabled(const char* name) {
    auto* action = form->findChild<QAction*>(name);
    EXPECT_NE(action, nullptr) << name;
    return action && action->isEnabled();
  }
  bool MenuEnabled(QMenu* menu) { return menu->menuAction()->isEnabled(); }
  // Answers the next figure dialog: format `format`, the proposed file name.
  void AcceptFigureDialog(const QString& format) {
    QTimer::singleShot(0, [format] {
      auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
      auto* box = dialog->findChild<QComboBox*>("FigureFormat");
      box->setCurrentIndex(box->findData(format));
      dialog->accept();
    });
  }
};

TEST_F(WindowTest, FormAndMenuTreeCarryTheirNamesAndCaptions) {
  EXPECT_EQ(form->objectName(), "Form1");
  EXPECT_EQ(form->windowTitle(), "Vireltan");
  struct Item {
    const char* name;
    const char* caption;
  };
  struct Menu {
    const char* name;
    const char* caption;
    std::vector<Item> items;
  };
  const std::vector<Menu> tree = {
      {"File1",
       "&File",
       {{"Open1", "&Open\u2026"},
        {"OpenRecent1Action", "Open &Recent"},
        {"Loadpopulations1", "Load &populations\u2026"},
        {"Coordinateunit1", "Coordinate &unit\u2026"},
        {"Save1", "Save &map\u2026"},
        {"Saveas1", "Save &Graph\u2026"},
        {"SaveAllCharts1", "Save &all charts\u2026"},
        {"OutputFolder1", "Output &folder\u2026"},
        {"OutputBesideData1", "Output &beside the data file"},
        {"Close1", "&Close"},
        {"Quit1", "&Quit"}}},
      {"CombinationandPermutationtest1",
       "&Tests",
       {{"resampling1lloci1", "&Resampling of loci\u2026"},
        {"resampling1nindividuals1", "Resampling of &sampling units\u2026"},
        {"Combination1lloci1", "&Combinations of loci"},
        {"Combination1nindfividuals1", "Combinations of sampling &units"},
        {"Psex1", "&Psex"},
        {"numberofdistinctalleles1", "Matrix of &allelic distances"},
        {"Matrixofmicrosatellitedistance1", "Matrix of m&icrosatellite distances"}}},
      {"MLG1",
       "&MLG",
       {{"diversityindices1", "&Diversity and richness"},
        {"Pareto1", "&Pareto distribution"},
        {"Populationsummary1", "Population &summary"},
        {"Unitstable1", "&Units table (MLG, MLL)"},
        {"Multilocuslineages1", "Multilocus &lineages\u2026"},
        {"Countlineages1", "&Count lineages instead of genotypes"},
        {"Minimumspanningnetwork1", "Minimum spanning &network\u2026"},
        {"Testofclonality1", "&Test of clonality (index of association)\u2026"}}},
      {"Populations1",
       "Pop&ulations",
       {{"Geneticdiversity1", "&Genetic diversity\u2026"},
        {"Fstatistics1", "&F-statistics\u2026"},
        {"PairwiseFst1", "&Pairwise Fst\u2026"},
        {"HardyWeinberg1", "&Hardy\u2013Weinberg\u2026"},
        {"Amova1", "&AMOVA\u2026"},
        {"Ordination1", "&Ordination\u2026"},
        {"Isolationbydistance1", "&Isolation by distance\u2026"},
        {"SharedMlgs1", "&MLGs shared among populations"}}},
      {"Spatialcomponents2",
       "&Spatial components",
       {{"MLGmap1", "MLG &map"},
        {"Clonalsubrange1", "Clonal &subrange\u2026"},
        {"Spatialautocorrelation1", "Spatial &autocorrelation\u2026"},
        {"Aggregationindex1", "A&ggregation index\u2026"},
        {"Edgeeffect1", "&Edge effect\u2026"}}},
      {"Format1",
       "F&ormat",
       {{"Quorvex1", "&Quorvex"},
        {"Arlequin1", "&Arlequin"},
        {"GenAlEx1", "&GenAlEx"},
        {"Genepop1", "Ge&nepop"},
        {"Vcf1", "&VCF (SNP data)"}}},
      {"Help1", "&Help", {{"Userguide1", "&User guide"}, {"About1", "&About Vireltan"}}},
  };
  form->OpenRecent1->menuAction()->setObjectName("OpenRecent1Action");
  QList<QAction*> bar = form->menuBar()->actions();
  ASSERT_EQ(bar.size(), 7);
  for (size_t m = 0; m < tree.size(); ++m) {
    auto* menu = form->findChild<QMenu*>(tree[m].name);
    ASSERT_NE(menu, nullptr) << tree[m].name;
    EXPECT_EQ(bar[m]->menu(), menu);
    EXPECT_EQ(menu->title(), tree[m].caption);
    QList<QAction*> items = menu->actions();
    ASSERT_EQ(items.size(), static_cast<int>(tree[m].items.size())) << tree[m].name;
    for (size_t i = 0; i < tree[m].items.size(); ++i) {
      EXPECT_EQ(items[i]->objectName(), tree[m].items[i].name);
      EXPECT_EQ(items[i]->text(), tree[m].items[i].caption);
    }
  }
}

TEST_F(WindowTest, EveryNamedComponentExists) {
  const char* names[] = {
      "GroupBox1",   "GroupBox2",   "GroupBox3",    "GroupBox4",   "GroupBox5",    "GroupBox6",
      "GroupBox7",   "GroupBox8",   "GroupBox9",    "GroupBox10",  "ProgressBar1", "Edit1",
      "Edit2",       "Edit3",       "Edit4",        "Edit5",       "Edit6",        "Edit7",
      "Button1",     "Button2",     "Button3",      "Button4",     "Button5",      "Button6",
      "Button7",     "Button8",     "Button9",      "Button11",    "CheckBox1",    "CheckBox2",
      "CheckBox3",   "CheckBox4",   "CheckBox5",    "Label1",      "Label4",       "Label5",
      "StaticText1", "StaticText5", "PageControl1", "OpenDialog1", "OpenDialog2",  "Chart1",
      "Chart2",      "Chart3",      "Chart4",       "Chart5",      "userswindow",  "results",
      "autocorr",    "data",        "rob",          "freq",        "resperm",      "combi",
      "combi2"};
  for (const char* name : names) EXPECT_NE(form->findChild<QObject*>(name), nullptr) << name;
  QAbstractSeries* series[] = {form->Series1, form->Series2, form->Series3, form->Series4,
                               form->Series5, form->Series6, form->Series7};
  for (int i = 0; i < 7; ++i) {
    ASSERT_NE(series[i], nullptr) << i;
    EXPECT_EQ(series[i]->objectName(), QString("Series%1").arg(i + 1));
  }
  EXPECT_EQ(form->GroupBox1->title(), "In progress");
  EXPECT_EQ(form->GroupBox6->title(), "Clonal subrange: distance classes");
  EXPECT_EQ(form->Button6->text(), "Fi&xed distance classes (distances.txt)");
  EXPECT_EQ(form->Edit6->text(), "10");
  EXPECT_EQ(form->Edit7->text(), "1000");
  EXPECT_EQ(form->Label1->text(), "Fitted line equation");
  // Every option field says what it means.
  for (QLineEdit* field : form->findChildren<QLineEdit*>())
    if (field->objectName().startsWith("Edit"))
      EXPECT_FALSE(field->toolTip().isEmpty()) << field->objectName().toStdString();
}

TEST_F(WindowTest, EnablingFollowsWhatTheDatasetAllows) {
  // Before any dataset: nothing that needs one.
  EXPECT_FALSE(Enabled("MLGmap1"));
  EXPECT_FALSE(Enabled("Quorvex1"));
  EXPECT_TRUE(Enabled("Open1"));
  EXPECT_TRUE(Enabled("Save1"));

  struct Case {
    const char* name;
    const Rows* rows;
    bool complete;     // Psex, matrices, MLG menu
    bool coordinates;  // spatial menu
  };
  const Case cases[] = {{"complete", &kPlot, true, true},
                        {"missing data", &kMissing, false, true},
                        {"no coordinates", &kNoCoordinates, true, false}};
  for (const Case& c : cases) {
    messages.messages.clear();
    Open(Write(std::string(c.name) + ".txt", *c.rows));
    EXPECT_TRUE(MenuEnabled(form->MLG1)) << c.name;  // Population summary: any dataset
    EXPECT_EQ(Enabled("diversityindices1"), c.complete) << c.name;
    EXPECT_TRUE(Enabled("Populationsummary1")) << c.name;
    // Distances leave out loci missing in either unit: always available.
    EXPECT_TRUE(Enabled("numberofdistinctalleles1")) << c.name;
    EXPECT_TRUE(Enabled("Matrixofmicrosatellitedistance1")) << c.name;
    EXPECT_TRUE(Enabled("Multilocuslineages1")) << c.name;
    EXPECT_TRUE(Enabled("Minimumspanningnetwork1")) << c.name;
    EXPECT_EQ(MenuEnabled(form->Spatialcomponents2), c.coordinates) << c.name;
    EXPECT_EQ(Enabled("MLGmap1"), c.coordinates) << c.name;
    EXPECT_TRUE(Enabled("Quorvex1")) << c.name;
    // The warning says how many units and which loci.
    bool warned =
        std::count_if(messages.messages.begin(), messages.messages.end(), [](const std::string& m) {
          return m.rfind("!!Missing data: 1 sampling unit(s)", 0) == 0 &&
                 m.find("(loci: locus2)") != std::string::npos;
        }) == 1;
    EXPECT_EQ(warned, !c.complete) << c.name;
    // A disabled item says why.
    if (!c.complete)
      EXPECT_EQ(form->Pareto1->toolTip(), "Not available with missing genotypes: 1 unit");
    if (!c.coordinates) EXPECT_NE(form->MLGmap1->toolTip().indexOf("coordinates"), -1);
  }
}

TEST_F(WindowTest, ItemsOfCommandsNotBuiltYetAreDisabledWithATooltip) {
  Open(Write("plot.txt", kPlot));
  for (QAction* action : form->findChildren<QAction*>()) {
    if (action->toolTip() == "not available yet")
      EXPECT_FALSE(action->isEnabled()) << action->objectName().toStdString();
  }
  for (QPushButton* button : form->findChildren<QPushButton*>()) {
    if (button->toolTip() == "not available yet") {
      button->click();
      EXPECT_FALSE(form->busy());
    }
  }
}

TEST_F(WindowTest, PageChangeBeforeLoadingIsRefused) {
  form->PageControl1->setCurrentIndex(1);
  EXPECT_EQ(form->PageControl1->currentIndex(), 0);
  EXPECT_EQ(messages.messages, std::vector<std::string>{"You must load the file first"});
  Open(Write("plot.txt", kPlot));
  messages.messages.clear();
  form->PageControl1->setCurrentIndex(1);
  EXPECT_EQ(form->PageControl1->currentIndex(), 1);
  EXPECT_TRUE(messages.messages.empty());
}

TEST_F(WindowTest, SavingWithNothingShownSaysSo) {
  Open(Write("plot.txt", kPlot));
  messages.messages.clear();
  Trigger(form->Save1);
  Trigger(form->Saveas1);
  ASSERT_EQ(messages.messages.size(), 2u);
  EXPECT_EQ(messages.messages[0].rfind("There is no map to save", 0), 0u);
  EXPECT_EQ(messages.messages[1].rfind("There is no chart to save", 0), 0u);
  EXPECT_FALSE(fs::exists(dir.file("plot.svg")));
}

// The Save map dialog's unit field sets the session's unit: the map saved,
// the map on show and the map kept on the charts page say it.
TEST_F(WindowTest, SaveMapDialogSetsTheCoordinateUnitForTheSession) {
  Open(Write("plot.txt", kPlot));
  Trigger(form->MLGmap1);
  QTimer::singleShot(0, [] {
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    auto* box = dialog->findChild<QComboBox*>("FigureFormat");
    box->setCurrentIndex(box->findData("svg"));
    auto* unit = dialog->findChild<QLineEdit*>("FigureCoordinateUnit");
    ASSERT_NE(unit, nullptr);
    EXPECT_EQ(unit->text(), "");
    unit->setText(" m ");
    dialog->accept();
  });
  Trigger(form->Save1);
  EXPECT_EQ(form->session().coordinateUnit(), "m");
  const std::string svg = vireltan::testing::ReadWholeFile(dir.file("plot.svg"));
  EXPECT_NE(svg.find("X (m)"), std::string::npos);
  EXPECT_EQ(form->session().chart(ChartRole::kMap).left.title, "Y (m)");
  ASSERT_EQ(form->keptCharts().size(), 1u);
  EXPECT_EQ(form->keptCharts()[0].chart.bottom.title, "X (m)");
  // Refused: the unit stays, nothing else changes.
  EXPECT_FALSE(form->ApplyCoordinateUnit("m\tkm"));
  EXPECT_EQ(form->session().coordinateUnit(), "m");
  ASSERT_FALSE(messages.messages.empty());
  EXPECT_NE(messages.messages.back().find("tab or a line break"), std::string::npos);
}

TEST_F(WindowTest, MlgMapDrawsEveryUnitWithItsLabelColourAndAxes) {
  Open(Write("plot.txt", kPlot));
  Trigger(form->MLGmap1);
  EXPECT_FALSE(form->Chart1->isHidden());
  // The first Qt series holds the largest clone, MLG 2.
  auto* series = qobject_cast<QScatterSeries*>(form->Series1);
  ASSERT_NE(series, nullptr);
  EXPECT_EQ(series->points(), (QList<QPointF>{{10, 5}, {12, 7}}));
  EXPECT_EQ(series->name(), "2 (2)");

  QStringList labels;
  for (QGraphicsItem* item : form->Chart1->chart()->childItems())
    if (auto* text = dynamic_cast<QGraphicsSimpleTextItem*>(item))
      if (text->text().size() == 1 && text->text()[0].isDigit()) labels << text->text();
  labels.sort();
  EXPECT_EQ(labels, (QStringList{"1", "2", "2", "3", "3"}));
  // The switch hides them.
  auto* map = dynamic_cast<MapView*>(form->Chart1);
  ASSERT_NE(map, nullptr);
  map->labelsAction()->setChecked(false);
  int shown = 0;
  for (QGraphicsItem* item : form->Chart1->chart()->childItems())
    if (auto* text = dynamic_cast<QGraphicsSimpleTextItem*>(item))
      if (text->text().size() == 1 && text->text()[0].isDigit()) ++shown;
  EXPECT_EQ(shown, 0);
}

// Real UTM coordinates (hundreds of kilometres): the axes span the data
// with a small margin, not the distance from 0.
TEST_F(WindowTest, MapOfUtmCoordinatesSpansTheDataNotTheOrigin) {
  form->resize(1200, 900);
  form->show();
  fs::copy_file(fs::path(VIRELTAN_TEST_DATA_DIR) / "pramorum_curry.txt", dir.path() / "curry.txt");
  Open(dir.file("curry.txt"));
  Trigger(form->MLGmap1);
  // The side pane lays its charts out in turns of the event loop.
  for (int turn = 0; turn < 5; ++turn) QApplication::processEvents();
  const DatasetInfo& info = form->session().info();
  double xLo = 1e300, xHi = -1e300, yLo = 1e300, yHi = -1e300;
  for (double x : form->session().dataset().x) xLo = std::min(xLo, x), xHi = std::max(xHi, x);
  for (double y : form->session().dataset().y) yLo = std::min(yLo, y), yHi = std::max(yHi, y);
  ASSERT_GT(xLo, 300000);  // UTM eastings
  (void)info;
  auto* bottom = qobject_cast<QValueAxis*>(form->Chart1->chart()->axes(Qt::Horizontal).value(0));
  auto* left = qobject_cast<QValueAxis*>(form->Chart1->chart()->axes(Qt::Vertical).value(0));
  ASSERT_NE(bottom, nullptr);
  ASSERT_NE(left, nullptr);
  const double xPad = 0.1 * (xHi - xLo), yPad = 0.1 * (yHi - yLo);
  EXPECT_LE(bottom->min(), xLo);
  EXPECT_GE(bottom->min(), xLo - xPad);
  EXPECT_GE(bottom->max(), xHi);
  EXPECT_LE(bottom->max(), xHi + xPad);
  EXPECT_LE(left->min(), yLo);
  EXPECT_GE(left->min(), yLo - yPad);
  EXPECT_GE(left->max(), yHi);
  EXPECT_LE(left->max(), yHi + yPad);
}

TEST_F(WindowTest, SaveMapWritesSvgPngAndPdfAndKeepsTheMap) {
  Open(Write("plot.txt", kPlot));
  Trigger(form->MLGmap1);
  FigureOptions options;  // 160 x 120 mm, 300 dpi
  options.pdf = true;
  ASSERT_TRUE(form->SaveFigure(ChartRole::kMap, dir.file("plot"), options).ok());
  EXPECT_TRUE(messages.messages.empty());

  QFile svg(QString::fromStdString(dir.file("plot.svg")));
  ASSERT_TRUE(svg.open(QIODevice::ReadOnly));
  QXmlStreamReader xml(&svg);
  QString root;
  QStringList texts;
  while (!xml.atEnd()) {
    if (xml.readNext() == QXmlStreamReader::StartElement) {
      if (root.isEmpty()) root = xml.name().toString();
      if (xml.name() == QLatin1String("text")) texts << xml.readElementText().trimmed();
    }
  }
  EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
  EXPECT_EQ(root, "svg");
  // MLG 1's label would cover MLG 3's at (41, 21): it is left out.
  for (const char* label : {"2", "3", "X coordinate"}) EXPECT_TRUE(texts.contains(label)) << label;

  QImage png(QString::fromStdString(dir.file("plot.png")));
  ASSERT_FALSE(png.isNull());
  EXPECT_EQ(png.size(), QSize(1890, 1417));
  EXPECT_EQ(png.dotsPerMeterX(), 11811);  // 300 dpi

  QFile pdf(QString::fromStdString(dir.file("plot.pdf")));
  ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
  EXPECT_TRUE(pdf.read(4) == "%PDF");
  // The map stays on screen and the status bar says where it went.
  EXPECT_FALSE(form->Chart1->isHidden());
  EXPECT_NE(
      form->statusBar()->currentMessage().indexOf(QString::fromStdString(dir.file("plot.pdf"))),
      -1);
}

TEST_F(WindowTest, CancelledOpenLeavesNoOutput) {
  fs::copy_file(fs::path(VIRELTAN_TEST_DATA_DIR) / "monilinia_haploid.txt",
                dir.path() / "monilinia.txt");
  const std::string path = dir.file("monilinia.txt");
  // The real Open, started only once the user has pressed Cancel, so that
  // the test does not race the worker.
  form->Run("Open", [path](Session& s) {
    for (int i = 0; i < 5000 && !s.progress().Cancelled(); ++i) QThread::msleep(1);
    return s.Open(path);
  });
  EXPECT_TRUE(form->busy());
  EXPECT_FALSE(form->menuBar()->isEnabled());
  EXPECT_TRUE(form->CancelButton->isEnabled());
  form->CancelButton->click();
  form->WaitUntilIdle();
  EXPECT_NE(form->statusBar()->currentMessage().indexOf("cancelled"), -1);
  EXPECT_FALSE(fs::exists(dir.file("monilinia.outvireltan.txt")));
  EXPECT_EQ(form->userswindow->model()->rowCount(), 0);
  EXPECT_FALSE(Enabled("Quorvex1"));
  EXPECT_TRUE(form->menuBar()->isEnabled());
  EXPECT_TRUE(form->GroupBox1->isHidden());
  EXPECT_TRUE(messages.messages.empty());
}

// A cancelled analysis leaves the results, the log and the workbook as they were.
TEST_F(WindowTest, CancelledAnalysisLeavesNoOutput) {
  Open(Write("plot.txt", kPlot));
  messages.messages.clear();
  const std::string log = vireltan::testing::ReadWholeFile(dir.file("plot.outvireltan.txt"));
  const int rows = form->session().results.first().LastRow();
  struct Case {
    QAction* item;
    QLineEdit* field;
    QPushButton* run;
  };
  const Case cases[] = {{form->Aggregationindex1, form->Edit1, form->Button1},
                        {form->Edgeeffect1, form->Edit5, form->Button7},
                        {form->resampling1lloci1, form->Edit4, form->Button4}};
  for (const Case& c : cases) {
    const std::string name = c.run->objectName().toStdString();
    Trigger(c.item);
    c.field->setText("100000000");  // far longer than the test
    c.run->click();
    ASSERT_TRUE(form->busy()) << name;
    form->CancelButton->click();
    form->WaitUntilIdle();
    EXPECT_NE(form->statusBar()->currentMessage().indexOf("cancelled"), -1) << name;
    EXPECT_TRUE(messages.messages.empty()) << name;
    EXPECT_EQ(form->session().results.first().LastRow(), rows) << name;
    EXPECT_EQ(form->session().spatialResults.NumSheets(), 1) << name;
    EXPECT_FALSE(form->session().chart(ChartRole::kSamplingEffort).visible) << name;
  }
  EXPECT_EQ(vireltan::testing::ReadWholeFile(dir.file("plot.outvireltan.txt")), log);
  EXPECT_FALSE(fs::exists(dir.file("plot.spatialcomponents.xlsx")));
}

TEST_F(WindowTest, ChartsOfThePreviousDatasetAreHiddenByOpenAndClose) {
  const std::string path = Write("plot.txt", kPlot);
  auto subrange = [&] {
    Open(path);
    Trigger(form->Clonalsubrange1);
    form->Button5->click();
    form->Edit3->setText("2");
    form->Button3->click();
    form->WaitUntilIdle();
    auto* view = form->findChild<QChartView*>("subrangeChart");
    EXPECT_NE(view, nullptr);
    EXPECT_TRUE(view && !view->isHidden());
    return view;
  };
  QChartView* view = subrange();
  ASSERT_NE(view, nullptr);
  Open(path);
  EXPECT_TRUE(view->isHidden());
  EXPECT_FALSE(form->session().chart(ChartRole::kSubrange).visible);
  subrange();
  Trigger(form->Close1);
  EXPECT_TRUE(view->isHidden());
}

// A chart redrawn while hidden (after every command) and shown later looks
// exactly like the same chart drawn once: no axes of earlier drawings.
TEST_F(WindowTest, AChartShownLaterCarriesNothingOfEarlierDrawings) {
  form->show();
  fs::copy_file(fs::path(VIRELTAN_EXAMPLES_DIR) / "seagrass_meadow.txt", dir.path() / "meadow.txt");
  Open(dir.file("meadow.txt"));
  Trigger(form->MLGmap1);
  Trigger(form->Pareto1);
  Trigger(form->resampling1lloci1);
  form->Edit4->setText("20");
  form->Button4->click();
  form->WaitUntilIdle();
  Trigger(form->numberofdistinctalleles1);
  Trigger(form->numberofdistinctalleles1);  // redrawn in a view already shown
  ASSERT_FALSE(form->Chart4->isHidden());
  auto settle = [] {
    for (int i = 0; i < 10; ++i) {
      QApplication::processEvents();
      QThread::msleep(5);
    }
  };
  settle();
  QChartView fresh(new QChart);
  fresh.setRenderHint(QPainter::Antialiasing);
  fresh.resize(form->Chart4->size());
  fresh.show();
  ShowChart(fresh, form->session().chart(ChartRole::kAllelicHistogram));
  settle();
  ASSERT_EQ(fresh.size(), form->Chart4->size());
  EXPECT_EQ(form->Chart4->chart()->size().toSize(), form->Chart4->size());
  EXPECT_EQ(form->Chart4->grab().toImage().convertToFormat(QImage::Format_RGB32),
            fresh.grab().toImage().convertToFormat(QImage::Format_RGB32));
}

TEST_F(WindowTest, CloseDisablesTheDatasetCommands) {
  Open(Write("plot.txt", kPlot));
  EXPECT_EQ(form->userswindow->model()->rowCount(), 5);
  EXPECT_EQ(form->userswindow->model()->headerData(0, Qt::Horizontal).toString(), "individual");
  EXPECT_EQ(form->userswindow->model()->headerData(3, Qt::Horizontal).toString(), "locus1");
  ASSERT_TRUE(Enabled("MLGmap1"));
  Trigger(form->Close1);
  EXPECT_FALSE(Enabled("MLGmap1"));
  EXPECT_FALSE(MenuEnabled(form->Spatialcomponents2));
  EXPECT_FALSE(MenuEnabled(form->MLG1));
  EXPECT_FALSE(Enabled("Quorvex1"));
  EXPECT_FALSE(Enabled("numberofdistinctalleles1"));
  EXPECT_EQ(form->userswindow->model()->rowCount(), 0);
  EXPECT_TRUE(fs::exists(dir.file("plot.outvireltan.txt")));
}

TEST_F(WindowTest, AboutShowsItsPanelUntilOk) {
  Trigger(form->About1);
  EXPECT_FALSE(form->GroupBox8->isHidden());
  // Version, licence and how to cite.
  EXPECT_TRUE(form->StaticText1->text().startsWith("Vireltan 2."));
  EXPECT_TRUE(form->StaticText2->text().startsWith("Licence"));
  EXPECT_TRUE(form->StaticText3->text().startsWith("How to cite"));
  form->Button8->click();
  EXPECT_TRUE(form->GroupBox8->isHidden());
}

TEST_F(WindowTest, AutocorrelationChoicesExcludeTheirAlternatives) {
  form->Spatialautocorrelation1Click();
  EXPECT_FALSE(form->GroupBox9->isHidden());
  form->CheckBox3->click();
  form->CheckBox4->click();  // a radio button: the other choice goes
  EXPECT_FALSE(form->CheckBox3->isChecked());
  EXPECT_TRUE(form->CheckBox4->isChecked());
  EXPECT_FALSE(form->CheckBox1->isChecked());  // another group
  form->Spatialautocorrelation1Click();
  EXPECT_FALSE(form->CheckBox4->isChecked());
  form->Button9Click();
  EXPECT_EQ(messages.messages,
            (std::vector<std::string>{"Choose how the distance classes are defined: a number of "
                                      "classes or fixed classes (distances.txt)",
                                      "Choose how clonal replicates are treated: central "
                                      "coordinates, genets weighted or genets with resampling"}));
}

TEST_F(WindowTest, PanelFieldThatIsNotAWholeNumberIsShownBesideIt) {
  Open(Write("plot.txt", kPlot));
  messages.messages.clear();
  Trigger(form->Aggregationindex1);
  ASSERT_FALSE(form->GroupBox2->isHidden());
  ASSERT_TRUE(form->Button1->isEnabled());
  form->Edit1->setText("abc");
  form->Button1->click();
  form->WaitUntilIdle();
  EXPECT_TRUE(messages.messages.empty());
  EXPECT_FALSE(form->GroupBox2->isHidden());  // still open, for a correction
  auto* note = form->findChild<QLabel*>("GroupBox2Error");
  ASSERT_NE(note, nullptr);
  EXPECT_NE(note->text().indexOf("not a whole number"), -1);
  EXPECT_FALSE(fs::exists(dir.file("plot.spatialcomponents.xlsx")));
  // Values are kept when the panel is opened again.
  form->Edit1->setText("77");
  Trigger(form->Aggregationindex1);
  EXPECT_EQ(form->Edit1->text(), "77");
}

// Every analysis, run from its menu item or panel on the bundled example,
// adds what it should and reports only its closing message.
TEST_F(WindowTest, EveryCommandRunsFromItsMenuOnTheExample) {
  fs::copy_file(fs::path(VIRELTAN_EXAMPLES_DIR) / "seagrass_meadow.txt", dir.path() / "meadow.txt");
  Open(dir.file("meadow.txt"));
  ASSERT_TRUE(messages.messages.empty());
  const Sheet& results = form->session().results.first();
  auto grows = [&](QAction* item, const char* closing) {
    int before = results.LastRow();
    messages.messages.clear();
    Trigger(item);
    EXPECT_GT(results.LastRow(), before) << item->objectName().toStdString();
    std::vector<std::string> expected;
    if (closing) expected.push_back(closing);
    EXPECT_EQ(messages.messages, expected) << item->objectName().toStdString();
  };
  auto runPanel = [&](QAction* item, QLineEdit* edit, const char* value, QPushButton* run) {
    messages.messages.clear();
    Trigger(item);
    if (edit) edit->setText(value);
    run->click();
    form->WaitUntilIdle();
  };

  grows(form->Psex1, nullptr);
  EXPECT_FALSE(form->Psex1->isEnabled());  // once per loaded dataset
  grows(form->diversityindices1, nullptr);
  grows(form->Pareto1, nullptr);
  EXPECT_TRUE(form->session().chart(ChartRole::kPareto).visible);
  grows(form->numberofdistinctalleles1, nullptr);
  EXPECT_TRUE(form->session().chart(ChartRole::kAllelicHistogram).visible);
  grows(form->Matrixofmicrosatellitedistance1, nullptr);
  EXPECT_TRUE(form->session().chart(ChartRole::kMicrosatHistogram).visible);
  grows(form->Combination1lloci1, "combinations done");
  grows(form->Combination1nindfividuals1, "combinations done");
  EXPECT_TRUE(form->session().chart(ChartRole::kSamplingEffort).visible);

  int before = results.LastRow();
  runPanel(form->resampling1lloci1, form->Edit4, "50", form->Button4);
  EXPECT_EQ(messages.messages, std::vector<std::string>{"permutations done"});
  runPanel(form->resampling1nindividuals1, form->Edit2, "20", form->Button2);
  EXPECT_EQ(messages.messages, std::vector<std::string>{"permutations done"});
  EXPECT_GT(results.LastRow(), before);

  runPanel(form->Aggregationindex1, form->Edit1, "99", form->Button1);
  EXPECT_EQ(messages.messages, std::vector<std::string>{"permutations done"});
  runPanel(form->Edgeeffect1, form->Edit5, "99", form->Button7);
  EXPECT_EQ(messages.messages, std::vector<std::string>{"permutations done"});
  Trigger(form->Clonalsubrange1);
  form->Button5->click();
  form->Edit3->setText("4");
  form->Button3->click();
  form->WaitUntilIdle();
  EXPECT_TRUE(form->session().chart(ChartRole::kSubrange).visible);

  messages.messages.clear();
  Trigger(form->Spatialautocorrelation1);
  form->CheckBox1->click();
  form->CheckBox3->click();
  form->Button9->click();
  form->WaitUntilIdle();
  form->Edit6->setText("5");
  form->Edit7->setText("99");
  form->Button11->click();
  form->WaitUntilIdle();
  EXPECT_EQ(messages.messages, std::vector<std::string>{"permutations done"});
  EXPECT_TRUE(form->session().chart(ChartRole::kCorrelogram).visible);

  const Book& workbook = form->session().spatialResults;
  for (const char* sheet : {"aggregation index", "Edge effect", "clonal subrange",
                            "all freq& dist matrices", "Autocorr-Nb&Central"})
    EXPECT_TRUE(workbook.HasSheetNamed(sheet)) << sheet;
  EXPECT_TRUE(fs::exists(dir.file("meadow.spatialcomponents.xlsx")));

  messages.messages.clear();
  Trigger(form->Quorvex1);
  Trigger(form->Arlequin1);
  EXPECT_TRUE(messages.messages.empty());
  EXPECT_TRUE(fs::exists(dir.file("meadow.quorvex.txt")));
  EXPECT_TRUE(fs::exists(dir.file("meadow.arlequin.arp")));
  EXPECT_TRUE(fs::exists(dir.file("meadow.outvireltan.txt")));
}

TEST(IntegerField, AcceptsWholeNumbersOnly) {
  struct Case {
    const char* text;
    bool ok;
    int value;
  };
  const Case cases[] = {{"1000", true, 1000}, {" 12 ", true, 12},       {"-3", true, -3},
                        {"+7", true, 7},      {"", false, 0},           {"1.5", false, 0},
                        {"12a", false, 0},    {"99999999999", false, 0}};
  for (const Case& c : cases) {
    int value = 0;
    Status s = IntegerField(c.text, value);
    EXPECT_EQ(s.ok(), c.ok) << c.text;
    if (c.ok) EXPECT_EQ(value, c.value) << c.text;
  }
}

TEST(CommandLine, SaveMapWritesTheSameFilesHeadless) {
  TempDir dir;
  fs::copy_file(fs::path(VIRELTAN_EXAMPLES_DIR) / "seagrass_meadow.txt", dir.path() / "meadow.txt");
  std::string command = std::string("env -u DISPLAY -u QT_QPA_PLATFORM '") + VIRELTAN_CLI_PATH +
                        "' '" + dir.file("meadow.txt") + "' map save-map > /dev/null 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0);
  QImage png(QString::fromStdString(dir.file("meadow.png")));
  EXPECT_FALSE(png.isNull());
  QFile svg(QString::fromStdString(dir.file("meadow.svg")));
  ASSERT_TRUE(svg.open(QIODevice::ReadOnly));
  QXmlStreamReader xml(&svg);
  while (!xml.atEnd()) xml.readNext();
  EXPECT_FALSE(xml.hasError());
}

// MLG > Test of clonality: the summary with its p-values, the histogram of
// the permuted rbarD in its view, saved as .ia.svg.
TEST_F(WindowTest, ClonalityTestShowsAndSavesTheHistogram) {
  form->show();
  fs::copy_file(fs::path(VIRELTAN_EXAMPLES_DIR) / "seagrass_meadow.txt", dir.path() / "meadow.txt");
  Open(dir.file("meadow.txt"));
  Trigger(form->Testofclonality1);
  form->findChild<QLineEdit*>("IaPermutationsEdit")->setText("99");
  form->findChild<QPushButton*>("IaRunButton")->click();
  form->WaitUntilIdle();
  ASSERT_EQ(form->session().associationCharts().size(), 1u);
  auto* view = form->findChild<QChartView*>("iaChart");
  ASSERT_NE(view, nullptr);
  EXPECT_FALSE(view->isHidden());
  AcceptFigureDialog("svg");
  Trigger(form->Saveas1);
  EXPECT_TRUE(fs::exists(dir.path() / "meadow.ia.svg"));
}

// A file that fails to load leaves the dataset, its results and its charts
// as they were; the message names the file that failed.
TEST_F(WindowTest, FailedOpenKeepsTheDatasetResultsAndCharts) {
  Open(Write("plot.txt", kPlot));
  Trigger(form->MLGmap1);
  const int rows = form->session().results.first().LastRow();
  messages.messages.clear();
  Open(Write("broken.txt", {{"5", "", "", "2", "2"}, {"s1", "x", "5", "1", "1"}}));
  ASSERT_EQ(messages.messages.size(), 1u);
  EXPECT_NE(messages.messages[0].find("broken.txt"), std::string::npos) << messages.messages[0];
  EXPECT_EQ(form->session().info().datasetName, "plot");
  EXPECT_EQ(form->session().results.first().LastRow(), rows);
  EXPECT_EQ(form->userswindow->model()->rowCount(), 5);
  EXPECT_TRUE(form->session().chart(ChartRole::kMap).visible && form->keptCharts().size() == 1);
  EXPECT_TRUE(form->statusBar()->currentMessage().contains("plot.txt stays loaded"));
  // A file that loads replaces everything, kept charts included.
  Open(Write("other.txt", kPlot));
  EXPECT_TRUE(form->session().info().datasetName == "other" && form->keptCharts().empty());
}

// Every chart drawn stays in the charts page, is shown again when chosen,
// and Save all charts writes them all through one dialog.
TEST_F(WindowTest, ChartsPageKeepsEveryChartAndSavesThemAll) {
  fs::copy_file(fs::path(VIRELTAN_EXAMPLES_DIR) / "seagrass_meadow.txt", dir.path() / "meadow.txt");
  Open(dir.file("meadow.txt"));
  Trigger(form->Pareto1);
  Trigger(form->MLGmap1);
  Trigger(form->numberofdistinctalleles1);
  Trigger(form->Pareto1);  // run again: replaces its chart, no second line
  ASSERT_EQ(form->ChartList->count(), 3);
  form->ChartList->setCurrentRow(0);
  // The first line is the Pareto chart (titles are drawn by the chart's
  // decor, so the chart is told by its name).
  EXPECT_EQ(form->KeptChartView->chart()->objectName(), ChartObjectName(ChartRole::kPareto));
  AcceptFigureDialog("png");
  Trigger(form->SaveAllCharts1);
  for (const char* name : {"meadow.pareto.png", "meadow.map.png", "meadow.gendist.png"})
    EXPECT_TRUE(fs::exists(dir.path() / name)) << name;
  EXPECT_TRUE(form->statusBar()->currentMessage().startsWith("3 charts saved to "));
}

// Seventeen colonies: one histogram on show, chosen by population, and a
// window that still fits a screen.
TEST_F(WindowTest, ClonalityHistogramsOfManyPopulationsAreChosenOneAtATime) {
  // A copy: the run writes its results beside the data file.
  const fs::path data = dir.path() / "nancycats_colonies.txt";
  fs::copy_file(fs::path(VIRELTAN_TEST_DATA_DIR) / "nancycats_colonies.txt", data);
  Open(data.string());
  // Each colony has one position: its x coordinate names it.
  std::ifstream in(data);
  std::ofstream strata(dir.path() / "colonies.txt");
  std::string name, x, rest;
  std::getline(in, rest);
  while (std::getline(in, name, '\t') && std::getline(in, x, '\t') && std::getline(in, rest))
    strata << name << "\tcolony" << x.substr(0, 6) << '\n';
  strata.close();  // written before it is read
  const std::string file = dir.file("colonies.txt");
  form->Run("Load populations", [file](Session& s) { return s.LoadPopulations(file); });
  form->WaitUntilIdle();
  Trigger(form->Testofclonality1);
  form->findChild<QLineEdit*>("IaPermutationsEdit")->setText("9");
  form->findChild<QPushButton*>("IaRunButton")->click();
  form->WaitUntilIdle();
  const int histograms = static_cast<int>(form->session().associationCharts().size());
  ASSERT_GT(histograms, 10);
  EXPECT_EQ(form->AssociationChooser->count(), histograms);
  EXPECT_EQ(form->findChildren<QChartView*>("iaChart").size(), 1);
  EXPECT_LT(form->minimumSizeHint().height(), 1000);
}

// The lineage panel's missing loci box: scaled to all loci by default,
// poppr's rule on request (nancycats, nearest linkage at T = 4.5: 220 and
// poppr's 211 lineages); the network panel takes the same choice.
TEST_F(WindowTest, MissingLociBoxChoosesTheRuleOfTheLineagesAndTheNetwork) {
  fs::copy_file(fs::path(VIRELTAN_TEST_DATA_DIR) / "nancycats_colonies.txt",
                dir.path() / "cats.txt");
  Open(dir.file("cats.txt"));
  struct Case {
    int index, lineages;
    DistanceMissing rule;
  };
  for (const Case& c :
       {Case{0, 220, DistanceMissing::kRescale}, Case{1, 211, DistanceMissing::kPoppr}}) {
    Trigger(form->Multilocuslineages1);
    form->findChild<QLineEdit*>("MllThresholdEdit")->setText("4.5");
    form->findChild<QComboBox*>("MllLinkageBox")->setCurrentIndex(2);  // nearest
    auto* missing = form->findChild<QComboBox*>("MllMissingBox");
    ASSERT_NE(missing, nullptr);
    ASSERT_EQ(missing->count(), 2);
    EXPECT_EQ(missing->itemText(0), "scale to all loci");
    EXPECT_EQ(missing->itemText(1), "count as no difference (poppr)");
    missing->setCurrentIndex(c.index);
    form->findChild<QPushButton*>("MllRunButton")->click();
    form->WaitUntilIdle();
    EXPECT_EQ(form->session().lineages().partition.lineageCount, c.lineages);
    EXPECT_EQ(form->session().lineages().missing, c.rule);
  }
  Trigger(form->Minimumspanningnetwork1);
  auto* networkMissing = form->findChild<QComboBox*>("MsnMissingBox");
  ASSERT_NE(networkMissing, nullptr);
  networkMissing->setCurrentIndex(1);
  form->findChild<QPushButton*>("MsnRunButton")->click();
  form->WaitUntilIdle();
  EXPECT_NE(form->session().lineages().network.title.find("count as no difference (poppr)"),
            std::string::npos)
      << form->session().lineages().network.title;
}

// MLG > Multilocus lineages: the suggestion fills the threshold field and
// marks the histogram; the network shows in its view and Save Graph writes
// its three files.
TEST_F(WindowTest, LineagePanelsSuggestGroupAndDrawTheNetwork) {
  form->show();
  fs::copy_file(fs::path(VIRELTAN_EXAMPLES_DIR) / "seagrass_meadow.txt", dir.path() / "meadow.txt");
  Open(dir.file("meadow.txt"));
  Trigger(form->Multilocuslineages1);
  auto* panel = form->findChild<QGroupBox*>("MllPanel");
  ASSERT_FALSE(panel->isHidden());
  form->findChild<QPushButton*>("MllSuggestButton")->click();
  form->WaitUntilIdle();
  EXPECT_EQ(form->findChild<QLineEdit*>("MllThresholdEdit")->text(), "3.5");
  EXPECT_FALSE(panel->isHidden());
  EXPECT_FALSE(form->Chart4->isHidden());
  form->findChild<QPushButton*>("MllRunButton")->click();
  form->WaitUntilIdle();
  EXPECT_TRUE(form->session().lineages().grouped);
  Trigger(form->Countlineages1);
  EXPECT_TRUE(form->Countlineages1->isChecked());
  Trigger(form->Minimumspanningnetwork1);
  form->findChild<QPushButton*>("MsnRunButton")->click();
  form->WaitUntilIdle();
  EXPECT_FALSE(form->findChild<QWidget*>("networkView")->isHidden());
  for (const char* format : {"svg", "png", "pdf"}) {
    AcceptFigureDialog(format);
    Trigger(form->Saveas1);
  }
  for (const char* suffix : {".msn.svg", ".msn.png", ".msn.pdf", ".msn.txt"})
    EXPECT_TRUE(fs::exists(dir.path() / (std::string("meadow") + suffix))) << suffix;
  EXPECT_FALSE(form->findChild<QWidget*>("networkView")->isHidden());
}

// The network panel's "show tied edges": off by default, the run and the
// drawing on show follow it (P. ramorum's network has tied edges).
TEST_F(WindowTest, ShowTiedEdgesDrawsTheTiedAlternatives) {
  fs::copy_file(fs::path(VIRELTAN_TEST_DATA_DIR) / "pramorum_curry.txt", dir.path() / "pr.txt");
  Open(dir.file("pr.txt"));
  Trigger(form->Minimumspanningnetwork1);
  auto* shown = form->findChild<QCheckBox*>("MsnTiesShownCheck");
  ASSERT_NE(shown, nullptr);
  EXPECT_FALSE(shown->isChecked());
  form->findChild<QPushButton*>("MsnRunButton")->click();
  form->WaitUntilIdle();
  const NetworkChart& network = form->session().lineages().network;
  ASSERT_TRUE(network.visible);
  EXPECT_FALSE(network.showTiedAlternatives);
  shown->setChecked(true);
  EXPECT_TRUE(form->session().lineages().network.showTiedAlternatives);
  shown->setChecked(false);
  shown->setChecked(true);
  form->findChild<QPushButton*>("MsnRunButton")->click();
  form->WaitUntilIdle();
  EXPECT_TRUE(form->session().lineages().network.showTiedAlternatives);
}

}  // namespace
}  // namespace vireltan::app
