// The two option panels of the spatial autocorrelation: the class rule and
// the procedure for clonal replicates (ticked boxes that rule out their
// alternatives), then the numbers of classes and permutations.
#include <QtWidgets/QFormLayout>

#include "app/tform1_internal.h"

namespace vireltan::app {

AutocorrelationOptions AutocorrelationFrom(const CommandInputs& in) {
  AutocorrelationOptions options;
  options.equalCountClasses = in.CheckBox1;
  options.fixedClasses = in.CheckBox2;
  options.centralCoordinates = in.CheckBox3;
  options.genetsWeighted = in.CheckBox4;
  options.genetsResampled = in.CheckBox5;
  options.classCountText = in.Edit6;
  options.permutationsText = in.Edit7;
  return options;
}

void TForm1::BuildAutocorrelationPanels(QVBoxLayout& layout) {
  AddPanel(layout, GroupBox9, "GroupBox9", "Autocorrelation");
  {
    auto* column = new QVBoxLayout(GroupBox9);
    auto box = [&](QCheckBox*& member, const char* name, const char* caption) {
      member = new QCheckBox(caption, GroupBox9);
      member->setObjectName(name);
      column->addWidget(member);
    };
    box(CheckBox1, "CheckBox1", "number of distance classes");
    box(CheckBox2, "CheckBox2", "Fixed distance classes");
    box(CheckBox3, "CheckBox3", "Central coordinates");
    box(CheckBox4, "CheckBox4", "genets weighted");
    box(CheckBox5, "CheckBox5", "genets with resampling");
    column->addWidget(MakeButton(Button9, "Button9", "run", GroupBox9), 0, Qt::AlignLeft);
    connect(CheckBox1, &QCheckBox::clicked, this, [this] { CheckBox1Click(); });
    connect(CheckBox2, &QCheckBox::clicked, this, [this] { CheckBox2Click(); });
    connect(CheckBox3, &QCheckBox::clicked, this, [this] { CheckBox3Click(); });
    connect(CheckBox4, &QCheckBox::clicked, this, [this] { CheckBox4Click(); });
    connect(CheckBox5, &QCheckBox::clicked, this, [this] { CheckBox5Click(); });
    connect(Button9, &QPushButton::clicked, this, [this] { Button9Click(); });
  }
  AddPanel(layout, GroupBox10, "GroupBox10", "Autocorrelation");
  {
    auto* form = new QFormLayout(GroupBox10);
    Label4 = new QLabel("N. distance classes", GroupBox10);
    Label4->setObjectName("Label4");
    Label5 = new QLabel("N. permutations", GroupBox10);
    Label5->setObjectName("Label5");
    form->addRow(Label4, MakeEdit(Edit6, "Edit6", "10", GroupBox10));
    form->addRow(Label5, MakeEdit(Edit7, "Edit7", "1000", GroupBox10));
    form->addRow(MakeButton(Button11, "Button11", "run", GroupBox10));
  }
}

void TForm1::Spatialautocorrelation1Click() {
  HideChartsAndPanels();
  for (QCheckBox* c : {CheckBox1, CheckBox2, CheckBox3, CheckBox4, CheckBox5}) {
    c->setChecked(false);
    c->setEnabled(true);
    c->show();
  }
  GroupBox10->hide();
  Label4->show();
  Label5->show();
  ShowPanel(GroupBox9, {Button9});
}

// Each box, ticked or unticked, rules out its alternatives until the menu
// command is chosen again.
void TForm1::CheckBox1Click() {
  CheckBox2->setEnabled(false);
}
void TForm1::CheckBox2Click() {
  CheckBox1->setEnabled(false);
}
void TForm1::CheckBox3Click() {
  CheckBox4->setEnabled(false);
  CheckBox5->setEnabled(false);
}
void TForm1::CheckBox4Click() {
  CheckBox3->setEnabled(false);
  CheckBox5->setEnabled(false);
}
void TForm1::CheckBox5Click() {
  CheckBox3->setEnabled(false);
  CheckBox4->setEnabled(false);
}

void TForm1::Button9Click() {
  CommandInputs in = CollectInputs();
  // The session checks the ticks and shows its messages; the panels follow.
  AutocorrelationValidation v = session_->CheckAutocorrelationOptions(AutocorrelationFrom(in));
  if (v.showSecondPanel) {
    Edit6->setVisible(v.showClassCount);
    Label4->setVisible(v.showClassCount);
    Label5->show();
    if (v.showClassCount) {
      ShowPanel(GroupBox10, {Button11, Edit7, Edit6});
    } else {
      ShowPanel(GroupBox10, {Button11, Edit7});
    }
  }
  if (v.closeFirstPanel) {
    GroupBox9->hide();
    UpdateSidePane();
  }
}

}  // namespace vireltan::app
