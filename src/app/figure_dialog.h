// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The dialog of File > Save map and File > Save Graph: where the figure
// goes, in which format (SVG, PNG or PDF), its printed size in millimetres
// and, for PNG, its resolution; the sizes of its texts in points and
// whether it has a title. The choices are remembered between runs.
#include <QtWidgets/QDialog>
#include <string>

#include "charts/chart_renderer.h"

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QSpinBox;

namespace vireltan::app {

class FigureDialog : public QDialog {
 public:
  // `basePath` is the proposed file name without its extension
  // (OutputPrefix + the chart's suffix).
  FigureDialog(const QString& what, const std::string& basePath, QWidget* parent = nullptr);

  // The chosen file name without extension, and the options (one format).
  std::string basePath() const;
  FigureOptions options() const;
  // The map's dialog: a field for the unit of the coordinates, showing
  // `unit` (the session's; empty: "coordinate units"), above the buttons.
  void AddCoordinateUnitField(const QString& unit);
  // The unit typed, trimmed; "" when the field is empty or absent.
  QString coordinateUnit() const;

 private:
  void Browse();
  void FormatChanged();
  void Remember() const;

  QLineEdit* file_ = nullptr;
  QComboBox* format_ = nullptr;
  QDoubleSpinBox* width_ = nullptr;
  QDoubleSpinBox* height_ = nullptr;
  QSpinBox* dpi_ = nullptr;
  QLabel* pixels_ = nullptr;
  QDoubleSpinBox* font_ = nullptr;
  QDoubleSpinBox* title_ = nullptr;
  QCheckBox* showTitle_ = nullptr;
  QLineEdit* unit_ = nullptr;  // the map's only
};

// The extension of the single format `options` chooses (".svg" ...).
QString FigureExtension(const FigureOptions& options);

}  // namespace vireltan::app
