// SPDX-License-Identifier: GPL-3.0-or-later
// The option panels of the spatial commands: permutations of the
// aggregation index and the edge effect, and the distance classes of the
// clonal subrange.
#include <QtWidgets/QHBoxLayout>

#include "app/main_window_parts.h"

namespace vireltan::app {

void TForm1::BuildSpatialPanels(QVBoxLayout& layout) {
  AddNumberPanel(layout, GroupBox2, "GroupBox2", "Permutations", Edit1, "Edit1", "N. permutations",
                 "1000", Button1, "Button1");
  AddNumberPanel(layout, GroupBox4, "GroupBox4", "Number of distance classes", Edit3, "Edit3",
                 "N. distance classes", "6", Button3, "Button3");
  AddPanel(layout, GroupBox6, "GroupBox6", "distance classes");
  {
    auto* row = new QHBoxLayout(GroupBox6);
    row->addWidget(MakeButton(Button5, "Button5", "Number of distance classes", GroupBox6));
    row->addWidget(MakeButton(Button6, "Button6", "Fixed distance classes", GroupBox6));
    row->addStretch(1);
    // Enter goes on to the number of classes, the usual choice.
    Button5->setDefault(true);
    connect(Button5, &QPushButton::clicked, this, [this] { Button5Click(); });
  }
  AddNumberPanel(layout, GroupBox7, "GroupBox7", "Edge effect Permutations", Edit5, "Edit5",
                 "N. permutations", "1000", Button7, "Button7");
}

void TForm1::Aggregationindex1Click() {
  HideChartsAndPanels();
  ShowPanel(GroupBox2, {Edit1, Button1});
}

void TForm1::Edgeeffect1Click() {
  HideChartsAndPanels();
  ShowPanel(GroupBox7, {Edit5, Button7});
}

void TForm1::Clonalsubrange1Click() {
  HideChartsAndPanels();
  ShowPanel(GroupBox6, {Button5, Button6});
}

void TForm1::Button5Click() {
  GroupBox6->hide();
  ShowPanel(GroupBox4, {Edit3, Button3});
}

}  // namespace vireltan::app
