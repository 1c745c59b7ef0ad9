// SPDX-License-Identifier: GPL-3.0-or-later
// The option panels of the sampling-effort commands: the number of random
// draws of the two resampling curves.
#include "app/main_window_parts.h"

namespace vireltan::app {

void TForm1::BuildEffortPanels(QVBoxLayout& layout) {
  AddNumberPanel(layout, GroupBox3, "GroupBox3", "Permutations", Edit2, "Edit2", "N. permutations",
                 "1000", Button2, "Button2");
  AddNumberPanel(layout, GroupBox5, "GroupBox5", "Permutations", Edit4, "Edit4", "N. permutations",
                 "1000", Button4, "Button4");
}

void TForm1::resampling1lloci1Click() {
  HideChartsAndPanels();
  ShowPanel(GroupBox5, {Edit4, Button4});
}

void TForm1::resampling1nindividuals1Click() {
  HideChartsAndPanels();
  ShowPanel(GroupBox3, {Edit2, Button2});
}

}  // namespace vireltan::app
