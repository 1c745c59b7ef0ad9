// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/qt_chart_renderer.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QtCharts/QChart>
#include <QtCore/QCoreApplication>
#include <QtCore/QDir>
#include <QtCore/QSaveFile>
#include <QtGui/QImage>
#include <QtGui/QPageSize>
#include <QtGui/QPainter>
#include <QtGui/QPdfWriter>
#include <QtSvg/QSvgGenerator>
#include <QtSvg/QSvgRenderer>
#include <QtWidgets/QApplication>
#include <QtWidgets/QGraphicsScene>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <functional>

#include "app/chart_drawer.h"

namespace vireltan::app {

namespace {

// Charts are graphics widgets: they need an application object. The
// command line has none and no display; it draws on the offscreen platform.
void EnsureApplication() {
  if (QCoreApplication::instance()) return;
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

Status SaveFailure(const std::string& path, const QString& why) {
  return Status::Error("Could not write the chart file " + path + ": " + why.toStdString());
}

// Draws onto a page of the given size (pixels or PDF device units).
using DrawPage = std::function<void(QPainter&, const QSizeF& page)>;

// The figure as a PNG image of its size at its resolution, on white.
Status WritePng(const std::string& path, const FigureOptions& options, const DrawPage& draw) {
  const QSize pixels(FigurePixels(options.widthMm, options.dpi),
                     FigurePixels(options.heightMm, options.dpi));
  QImage image(pixels, QImage::Format_ARGB32);
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
  QSaveFile png(QString::fromStdString(path));
  if (!png.open(QIODevice::WriteOnly)) return SaveFailure(path, png.errorString());
  if (!image.save(&png, "PNG")) return SaveFailure(path, "the image could not be encoded");
  if (!png.commit()) return SaveFailure(path, png.errorString());
  return Status::Ok();
}

// The figure as a one-page PDF of its size in millimetres. Qt's PDF writer
// keeps lines and texts as vectors: the figure prints sharp at any size.
Status WritePdf(const std::string& path, const FigureOptions& options, const QString& title,
                const DrawPage& draw) {
  QSaveFile file(QString::fromStdString(path));
  if (!file.open(QIODevice::WriteOnly)) return SaveFailure(path, file.errorString());
  {
    QPdfWriter writer(&file);
    writer.setPageSize(QPageSize(QSizeF(options.widthMm, options.heightMm), QPageSize::Millimeter));
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    writer.setResolution(std::max(options.dpi, 300));
    if (!title.isEmpty()) writer.setTitle(title);
    writer.setCreator("Vireltan");
    QPainter painter;
    if (!painter.begin(&writer)) return SaveFailure(path, "the drawing could not start");
    draw(painter, QSizeF(writer.width(), writer.height()));
    painter.end();
  }
  if (!file.commit()) return SaveFailure(path, file.errorString());
  return Status::Ok();
}

}  // namespace

QSizeF QtChartRenderer::LogicalSize(const FigureOptions& options) {
  return QSizeF(options.widthMm / 25.4 * kLogicalDpi, options.heightMm / 25.4 * kLogicalDpi);
}

Status QtChartRenderer::SaveFigure(const ChartData& data, const std::string& basePath,
                                   const FigureOptions& options) {
  if (Status size = CheckFigureSize(options); !size) return size;
  EnsureApplication();
  // The chart is laid out at the figure's size in points of 1/96 inch, so
  // that its texts have the same size on paper whatever the resolution.
  const QRectF area(QPointF(0, 0), LogicalSize(options));
  QGraphicsScene scene;
  auto* chart = new QChart;
  scene.addItem(chart);  // the scene owns and deletes it
  chart->setGeometry(area);
  DrawChart(*chart, data);
  // Apply the layout now, so that the plot area and the point labels sit
  // where they will be drawn.
  // (A map takes its shape in a second layout: a few passes settle it.)
  for (int pass = 0; pass < 4; ++pass)
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
  PlaceChartTexts(*chart);

  if (options.svg) {
    const std::string path = basePath + ".svg";
    QSaveFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::WriteOnly)) return SaveFailure(path, file.errorString());
    QSvgGenerator generator;
    generator.setOutputDevice(&file);
    generator.setResolution(kLogicalDpi);
    generator.setSize(area.size().toSize());
    generator.setViewBox(area);
    generator.setTitle(QString::fromStdString(data.title));
    generator.setDescription(ChartObjectName(data.role));
    QPainter painter;
    if (!painter.begin(&generator)) return SaveFailure(path, "the drawing could not start");
    scene.render(&painter, area, area);
    painter.end();
    if (!file.commit()) return SaveFailure(path, file.errorString());
  }

  auto drawScene = [&](QPainter& painter, const QSizeF& page) {
    scene.render(&painter, QRectF(QPointF(0, 0), page), area, Qt::IgnoreAspectRatio);
  };
  if (options.png)
    if (Status s = WritePng(basePath + ".png", options, drawScene); !s) return s;
  if (options.pdf)
    if (Status s =
            WritePdf(basePath + ".pdf", options, QString::fromStdString(data.title), drawScene);
        !s)
      return s;
  return Status::Ok();
}

Status QtChartRenderer::SaveSvgDrawing(const std::string& svgText, const std::string& basePath,
                                       const FigureOptions& options) {
  if (Status size = CheckFigureSize(options); !size) return size;
  EnsureApplication();
  QSvgRenderer svg(QByteArray::fromStdString(svgText));
  if (!svg.isValid()) return SaveFailure(basePath + ".svg", "the drawing could not be read");
  const QSizeF drawing = svg.viewBoxF().isValid() ? svg.viewBoxF().size() : QSizeF(1000, 750);
  // The drawing scaled to fit the page, centred: a network has the
  // proportions of its layout, not of the figure.
  auto drawFitted = [&](QPainter& painter, const QSizeF& page) {
    const QSizeF size = drawing.scaled(page, Qt::KeepAspectRatio);
    svg.render(&painter, QRectF(QPointF((page.width() - size.width()) / 2,
                                        (page.height() - size.height()) / 2),
                                size));
  };
  if (options.png)
    if (Status s = WritePng(basePath + ".png", options, drawFitted); !s) return s;
  if (options.pdf)
    if (Status s = WritePdf(basePath + ".pdf", options, QString(), drawFitted); !s) return s;
  return Status::Ok();
}

}  // namespace vireltan::app
