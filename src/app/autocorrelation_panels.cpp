// SPDX-License-Identifier: GPL-3.0-or-later
// The two option panels of the spatial autocorrelation: the class rule and
// the procedure for clonal replicates (radio buttons in two groups), then
// the numbers of classes and permutations.
#include <QtWidgets/QFormLayout>

#include "app/main_window_parts.h"

namespace vireltan::app {

AutocorrelationOptions AutocorrelationFrom(const CommandInputs& in) {
  AutocorrelationOptions options;
  options.equalCountClasses = in.CheckBox1;
  options.fixedClasses = in.CheckBox2;
  options.centralCoordinates = in.CheckBox3;
  options.genetsWeighted = in.CheckBox4;
  options.genetsResampled = in.CheckBox5;
  options.entireDatasetOnly = in.fields.count("AutocorrelationEntireOnly") &&
                              in.fields.at("AutocorrelationEntireOnly") == "1";
  options.classCountText = in.Edit6;
  options.permutationsText = in.Edit7;
  return options;
}

void TForm1::BuildAutocorrelationPanels(QVBoxLayout& layout) {
  AddPanel(layout, GroupBox9, "GroupBox9", "Autocorrelation");
  {
    auto* column = new QVBoxLayout(GroupBox9);
    // Each group holds choices that exclude each other.
    auto group = [&](const char* name, const char* title) {
      auto* g = new QGroupBox(title, GroupBox9);
      g->setObjectName(name);
      g->setLayout(new QVBoxLayout);
      column->addWidget(g);
      return g;
    };
    QGroupBox* classes = group("AutocorrelationClasses", "Distance classes");
    QGroupBox* replicates = group("AutocorrelationReplicates", "Clonal replicates");
    auto radio = [&](QRadioButton*& member, QGroupBox* parent, const char* name,
                     const char* caption) {
      member = new QRadioButton(caption, parent);
      member->setObjectName(name);
      parent->layout()->addWidget(member);
    };
    radio(CheckBox1, classes, "CheckBox1", "Number of &distance classes");
    radio(CheckBox2, classes, "CheckBox2", "Fi&xed distance classes (distances.txt)");
    radio(CheckBox3, replicates, "CheckBox3", "&Central coordinates");
    radio(CheckBox4, replicates, "CheckBox4", "Genets &weighted");
    radio(CheckBox5, replicates, "CheckBox5", "Genets with &resampling");
    // The entire dataset alone, replicates as they are (the command line's
    // procedure "none").
    QRadioButton* entireOnly = nullptr;
    radio(entireOnly, replicates, "AutocorrelationEntireOnly", "&Entire dataset only");
    entireOnly->setToolTip(
        "No second analysis: every sampling unit as it is, clonal replicates included");
    column->addWidget(MakeButton(Button9, "Button9", "&Next", GroupBox9), 0, Qt::AlignLeft);
    connect(CheckBox1, &QRadioButton::clicked, this, [this] { CheckBox1Click(); });
    connect(CheckBox2, &QRadioButton::clicked, this, [this] { CheckBox2Click(); });
    connect(CheckBox3, &QRadioButton::clicked, this, [this] { CheckBox3Click(); });
    connect(CheckBox4, &QRadioButton::clicked, this, [this] { CheckBox4Click(); });
    connect(CheckBox5, &QRadioButton::clicked, this, [this] { CheckBox5Click(); });
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
    form->addRow(MakeButton(Button11, "Button11", "&Run", GroupBox10));
  }
}

void TForm1::Spatialautocorrelation1Click() {
  HideChartsAndPanels();
  ClearAutocorrelationChoices();
  for (QRadioButton* c : {CheckBox1, CheckBox2, CheckBox3, CheckBox4, CheckBox5,
                          findChild<QRadioButton*>("AutocorrelationEntireOnly")}) {
    c->setEnabled(true);
    c->show();
  }
  GroupBox10->hide();
  Label4->show();
  Label5->show();
  ShowPanel(GroupBox9, {Button9});
}

void TForm1::ClearAutocorrelationChoices() {
  // Radio buttons of a group cannot all be unticked while exclusive.
  for (QRadioButton* c : {CheckBox1, CheckBox2, CheckBox3, CheckBox4, CheckBox5,
                          findChild<QRadioButton*>("AutocorrelationEntireOnly")}) {
    c->setAutoExclusive(false);
    c->setChecked(false);
    c->setAutoExclusive(true);
  }
}

// The groups make each choice exclude its alternatives; the handlers have
// nothing left to do.
void TForm1::CheckBox1Click() {}
void TForm1::CheckBox2Click() {}
void TForm1::CheckBox3Click() {}
void TForm1::CheckBox4Click() {}
void TForm1::CheckBox5Click() {}

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
