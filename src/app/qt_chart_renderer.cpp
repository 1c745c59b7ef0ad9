// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/qt_chart_renderer.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QtCharts/QChart>
#include <QtCore/QBuffer>
#include <QtCore/QCoreApplication>
#include <QtCore/QDir>
#include <QtCore/QRegularExpression>
#include <QtCore/QXmlStreamReader>
#include <QtGui/QImage>
#include <QtGui/QPageSize>
#include <QtGui/QPainter>
#include <QtGui/QPdfWriter>
#include <QtSvg/QSvgGenerator>
#include <QtSvg/QSvgRenderer>
#include <QtWidgets/QApplication>
#include <QtWidgets/QGraphicsScene>
#include <QtWidgets/QGraphicsSimpleTextItem>
#include <QtWidgets/QGraphicsTextItem>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <functional>

#include "app/chart_drawer.h"
#include "session/chart_files.h"

namespace vireltan::app {

namespace {

void DropQtMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
  // Kept for developers who ask; a user sees the program's own messages.
  static const bool debug = !qEnvironmentVariableIsEmpty("VIRELTAN_QT_DEBUG");
  if (debug || type == QtFatalMsg) std::fprintf(stderr, "Qt: %s\n", qPrintable(message));
}

// Charts are graphics widgets: they need an application object. The
// command line has none and no display; it draws on the offscreen platform.
void EnsureApplication() {
  if (QCoreApplication::instance()) return;
  InstallQtMessageFilter();
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // Without a desktop session Qt warns about a missing runtime folder on
  // standard error, where the command line's messages go: give it a private
  // one in the temporary folder instead.
  if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
    QByteArray runtime = QDir::tempPath().toLocal8Bit() + "/vireltan-runtime-" +
                         QByteArray::number(static_cast<qulonglong>(getuid()));
    if (mkdir(runtime.constData(), 0700) == 0 || errno == EEXIST)
      qputenv("XDG_RUNTIME_DIR", runtime);
  }
  static int argc = 1;
  static char name[] = "vireltan-cli";
  static char* argv[] = {name, nullptr};
  // Kept for the rest of the run: destroying it at exit buys nothing.
  new QApplication(argc, argv);
}

Status RenderFailure(const std::string& what, const QString& why) {
  return Status::Error("Could not draw the " + what + ": " + why.toStdString());
}

// Draws onto a page of the given size (pixels or PDF device units).
using DrawPage = std::function<void(QPainter&, const QSizeF& page)>;

// The figure as a PNG image of its size at its resolution, on white. The
// size was checked against the pixel limit (CheckFigureSize) before.
Status RenderPng(const FigureOptions& options, const DrawPage& draw, std::string& out) {
  const QSize pixels(FigurePixels(options.widthMm, options.dpi),
                     FigurePixels(options.heightMm, options.dpi));
  QImage image(pixels, QImage::Format_ARGB32);
  if (image.isNull()) return RenderFailure("PNG image", "not enough memory for its pixels");
  const int dotsPerMetre = static_cast<int>(std::lround(options.dpi / 0.0254));
  image.setDotsPerMeterX(dotsPerMetre);
  image.setDotsPerMeterY(dotsPerMetre);
  image.fill(Qt::white);
  {
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    draw(painter, QSizeF(pixels));
  }
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  if (!image.save(&buffer, "PNG")) return RenderFailure("PNG image", "it could not be encoded");
  out = bytes.toStdString();
  return Status::Ok();
}

// The figure as a one-page PDF of its size in millimetres. Qt's PDF writer
// keeps lines and texts as vectors: the figure prints sharp at any size.
Status RenderPdf(const FigureOptions& options, const QString& title, const DrawPage& draw,
                 std::string& out) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  {
    QPdfWriter writer(&buffer);
    writer.setPageSize(QPageSize(QSizeF(options.widthMm, options.heightMm), QPageSize::Millimeter));
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    writer.setResolution(std::max(options.dpi, 300));
    if (!title.isEmpty()) writer.setTitle(title);
    writer.setCreator("Vireltan");
    QPainter painter;
    if (!painter.begin(&writer)) return RenderFailure("PDF page", "the drawing could not start");
    draw(painter, QSizeF(writer.width(), writer.height()));
    painter.end();
  }
  out = bytes.toStdString();
  return Status::Ok();
}

// Qt writes the SVG's size in whole 1/96 inch; the header states the
// figure's exact size in millimetres, the view box keeping the layout units.
QByteArray WithPhysicalSize(QByteArray svg, const FigureOptions& options) {
  const int open = svg.indexOf("<svg");
  if (open < 0) return svg;
  const int close = svg.indexOf('>', open);
  QString head = QString::fromUtf8(svg.mid(open, close - open));
  head.replace(QRegularExpression(" width=\"[^\"]*\""),
               QString(" width=\"%1mm\"").arg(options.widthMm, 0, 'g', 6));
  head.replace(QRegularExpression(" height=\"[^\"]*\""),
               QString(" height=\"%1mm\"").arg(options.heightMm, 0, 'g', 6));
  return svg.left(open) + head.toUtf8() + svg.mid(close);
}

// Whether `svg` is well-formed XML (a population name with a control
// character must not produce a file no program can read).
bool WellFormed(const QByteArray& svg) {
  QXmlStreamReader reader(svg);
  while (!reader.atEnd()) reader.readNext();
  return !reader.hasError();
}

}  // namespace

void InstallQtMessageFilter() {
  qInstallMessageHandler(DropQtMessages);
}

LaidOutChart::LaidOutChart() = default;
LaidOutChart::~LaidOutChart() = default;

QSizeF QtChartRenderer::LogicalSize(const FigureOptions& options) {
  return QSizeF(options.widthMm / 25.4 * kLogicalDpi, options.heightMm / 25.4 * kLogicalDpi);
}

std::unique_ptr<LaidOutChart> QtChartRenderer::LayOut(const ChartData& data,
                                                      const FigureOptions& options) {
  EnsureApplication();
  auto laidOut = std::make_unique<LaidOutChart>();
  // The chart is laid out at the figure's size in 1/144 inch, so that its
  // texts have the same size on paper whatever the resolution.
  laidOut->area = QRectF(QPointF(0, 0), LogicalSize(options));
  laidOut->scene = std::make_unique<QGraphicsScene>();
  laidOut->chart = new QChart;
  laidOut->scene->addItem(laidOut->chart);  // the scene owns and deletes it
  laidOut->chart->setGeometry(laidOut->area);
  DrawChart(*laidOut->chart, data, ChartStyle::ForFigure(options, kLogicalDpi / 72.0));
  // Apply the layout now, so that the plot area and the point labels sit
  // where they will be drawn. (A map takes its shape in a second layout: a
  // few passes settle it.)
  // Each pass may change tick labels and so the axes' room: a few more
  // settle it (a fixed number: the layout never runs away).
  for (int pass = 0; pass < 12; ++pass) {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
  }
  PlaceChartTexts(*laidOut->chart);
  return laidOut;
}

std::vector<FigureText> QtChartRenderer::Texts(const LaidOutChart& laidOut) {
  std::vector<FigureText> texts;
  auto points = [](const QFont& font) {
    return font.pixelSize() > 0 ? font.pixelSize() * 72.0 / kLogicalDpi : font.pointSizeF();
  };
  for (QGraphicsItem* item : laidOut.scene->items()) {
    if (!item->isVisible() || !item->isVisibleTo(nullptr)) continue;
    if (auto* t = dynamic_cast<QGraphicsTextItem*>(item)) {
      if (!t->toPlainText().isEmpty())
        texts.push_back({t->toPlainText(), points(t->font()), t->sceneBoundingRect()});
    } else if (auto* s = dynamic_cast<QGraphicsSimpleTextItem*>(item)) {
      if (!s->text().isEmpty())
        texts.push_back({s->text(), points(s->font()), s->sceneBoundingRect()});
    }
  }
  return texts;
}

Status QtChartRenderer::RenderFigure(const ChartData& data, const FigureOptions& options,
                                     FigureBytes& out) {
  if (Status size = CheckFigureSize(options); !size) return size;
  std::unique_ptr<LaidOutChart> laidOut = LayOut(data, options);
  QGraphicsScene& scene = *laidOut->scene;
  const QRectF area = laidOut->area;

  if (options.svg) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QSvgGenerator generator;
    generator.setOutputDevice(&buffer);
    generator.setResolution(kLogicalDpi);
    generator.setSize(area.size().toSize());
    generator.setViewBox(area);
    generator.setTitle(ChartTextForFigure(data.title));
    generator.setDescription(ChartObjectName(data.role));
    QPainter painter;
    if (!painter.begin(&generator)) return RenderFailure("SVG drawing", "it could not start");
    scene.render(&painter, area, area);
    painter.end();
    bytes = WithPhysicalSize(bytes, options);
    if (!WellFormed(bytes)) return RenderFailure("SVG drawing", "it is not well-formed XML");
    out.svg = bytes.toStdString();
  }

  auto drawScene = [&](QPainter& painter, const QSizeF& page) {
    scene.render(&painter, QRectF(QPointF(0, 0), page), area, Qt::IgnoreAspectRatio);
  };
  if (options.png)
    if (Status s = RenderPng(options, drawScene, out.png); !s) return s;
  if (options.pdf)
    if (Status s = RenderPdf(options, ChartTextForFigure(data.title), drawScene, out.pdf); !s)
      return s;
  return Status::Ok();
}

Status QtChartRenderer::RenderSvgDrawing(const std::string& svgText, const FigureOptions& options,
                                         FigureBytes& out) {
  if (Status size = CheckFigureSize(options); !size) return size;
  EnsureApplication();
  const QByteArray svgBytes = QByteArray::fromStdString(svgText);
  if (!WellFormed(svgBytes)) return RenderFailure("SVG drawing", "it is not well-formed XML");
  if (!options.png && !options.pdf) return Status::Ok();
  QSvgRenderer svg(svgBytes);
  if (!svg.isValid()) return RenderFailure("SVG drawing", "it could not be read");
  // The drawing fills the page: it was laid out at the figure's size.
  auto drawPage = [&](QPainter& painter, const QSizeF& page) {
    svg.render(&painter, QRectF(QPointF(0, 0), page));
  };
  if (options.png)
    if (Status s = RenderPng(options, drawPage, out.png); !s) return s;
  if (options.pdf)
    if (Status s = RenderPdf(options, QString(), drawPage, out.pdf); !s) return s;
  return Status::Ok();
}

Status QtChartRenderer::SaveFigure(const ChartData& chart, const std::string& basePath,
                                   const FigureOptions& options) {
  return SaveChartFiles(*this, chart, basePath, options);
}

}  // namespace vireltan::app
