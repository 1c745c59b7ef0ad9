// SPDX-License-Identifier: GPL-3.0-or-later
// The option panels in general: how they are built, shown and hidden, with
// the progress panel and the About panel.
#include <QtGui/QKeyEvent>
#include <QtWidgets/QAbstractSpinBox>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QProgressBar>
#include <QtWidgets/QRadioButton>
#include <QtWidgets/QStatusBar>

#include "app/main_window_parts.h"

namespace vireltan::app {

QGroupBox* AddPanel(QVBoxLayout& layout, QGroupBox*& member, const char* name,
                    const char* caption) {
  member = new QGroupBox(caption, layout.parentWidget());
  member->setObjectName(name);
  member->hide();
  layout.addWidget(member);
  return member;
}

QPushButton* MakeButton(QPushButton*& member, const char* name, const char* caption,
                        QWidget* parent) {
  member = new QPushButton(caption, parent);
  member->setObjectName(name);
  return member;
}

QLineEdit* MakeEdit(QLineEdit*& member, const char* name, const char* text, QWidget* parent) {
  member = new QLineEdit(text, parent);
  member->setObjectName(name);
  member->setMaximumWidth(120);
  return member;
}

void AddNumberPanel(QVBoxLayout& layout, QGroupBox*& box, const char* boxName, const char* caption,
                    QLineEdit*& field, const char* fieldName, const char* fieldCaption,
                    const char* text, QPushButton*& run, const char* runName) {
  AddPanel(layout, box, boxName, caption);
  auto* row = new QHBoxLayout(box);
  auto* label = new QLabel(fieldCaption, box);
  label->setObjectName(QString(fieldName) + "Caption");
  row->addWidget(label);
  row->addWidget(MakeEdit(field, fieldName, text, box));
  row->addWidget(MakeButton(run, runName, "&Run", box));
  row->addStretch(1);
}

void TForm1::BuildProgressPanel(QVBoxLayout& layout) {
  AddPanel(layout, GroupBox1, "GroupBox1", "In Progress");
  {
    auto* row = new QHBoxLayout(GroupBox1);
    ProgressBar1 = new QProgressBar(GroupBox1);
    ProgressBar1->setObjectName("ProgressBar1");
    ProgressBar1->setRange(0, 100);
    row->addWidget(ProgressBar1, 1);
    row->addWidget(MakeButton(CancelButton, "CancelButton", "Cancel", GroupBox1));
    connect(CancelButton, &QPushButton::clicked, this, [this] { CancelButtonClick(); });
  }
}

void TForm1::BuildAboutPanel(QVBoxLayout& layout) {
  AddPanel(layout, GroupBox8, kCaption, kCaption);
  GroupBox8->setObjectName("GroupBox8");
  {
    auto* column = new QVBoxLayout(GroupBox8);
    const char* lines[] = {
        "Vireltan 2.0, a computer program to analyse genotypic data,",
        "test for clonality and describe spatial clonal organisation", "The Vireltan developers",
        "Questions and reports: through the project's issue tracker",
        "Home page: the project's repository, where the README explains every command"};
    QLabel** members[] = {&StaticText1, &StaticText2, &StaticText3, &StaticText4, &StaticText5};
    for (int i = 0; i < 5; ++i) {
      *members[i] = new QLabel(lines[i], GroupBox8);
      (*members[i])->setObjectName(QString("StaticText%1").arg(i + 1));
      (*members[i])->setAlignment(Qt::AlignCenter);
      column->addWidget(*members[i]);
    }
    column->addWidget(MakeButton(Button8, "Button8", "OK", GroupBox8), 0, Qt::AlignCenter);
    connect(Button8, &QPushButton::clicked, this, [this] { Button8Click(); });
  }
}

void TForm1::HidePanels() {
  for (QGroupBox* panel :
       {GroupBox2, GroupBox3, GroupBox4, GroupBox5, GroupBox6, GroupBox7, GroupBox9, GroupBox10})
    panel->hide();
  for (QGroupBox* panel : lineagePanels_) panel->hide();
  for (QGroupBox* panel : popgenPanels_) panel->hide();
  UpdateSidePane();
}

void TForm1::HideChartsAndPanels() {
  HidePanels();
  GroupBox8->hide();
  Label1->hide();
  session_->HideCharts();
}

void TForm1::ShowPanel(QGroupBox* panel, std::initializer_list<QWidget*> enabled) {
  // Long choices ("poppr (poppr's tree, ties at each node's shortest tree
  // edge)") are cut to a readable width in the closed box, whole in its
  // list: the panel never widens the pane.
  for (QComboBox* box : panel->findChildren<QComboBox*>()) {
    box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    box->setMinimumContentsLength(24);
  }
  for (QWidget* w : enabled) {
    w->show();
    // A run button whose command is not built yet stays disabled.
    auto* button = qobject_cast<QPushButton*>(w);
    bool wired = !button || !FindWiring(w->objectName().toStdString()) ||
                 IsWired(w->objectName().toStdString());
    w->setEnabled(wired);
    // A button the data open rule out says why.
    if (button && wired) {
      const QString ruledOut = DataKindReason(w->objectName().toStdString());
      // Its own tooltip is kept aside while the reason shows.
      const QVariant usual = w->property("usualToolTip");
      if (!ruledOut.isEmpty()) {
        if (!usual.isValid()) w->setProperty("usualToolTip", w->toolTip());
        w->setEnabled(false);
        w->setToolTip(ruledOut);
      } else if (usual.isValid()) {
        w->setToolTip(usual.toString());
      }
    }
  }
  panel->show();
  Refresh();
  FocusPanel(panel);
}

void FocusPanel(QGroupBox* panel) {
  // The keyboard goes to the panel: its first field to type in (selected,
  // so that typing replaces it), else its first choice, else its default
  // button; Enter then runs it and Escape closes it (eventFilter).
  QWidget* target = nullptr;
  QPushButton* fallback = nullptr;
  for (QWidget* w : panel->findChildren<QWidget*>()) {
    if (w->isHidden() || !w->isEnabled() || !w->isVisibleTo(panel)) continue;
    if (w->focusPolicy() == Qt::NoFocus) continue;
    if (auto* edit = qobject_cast<QLineEdit*>(w)) {
      if (edit->isReadOnly()) continue;
      edit->selectAll();
      target = edit;
      break;
    }
    if (auto* spin = qobject_cast<QAbstractSpinBox*>(w)) {
      spin->selectAll();
      target = spin;
      break;
    }
    if (qobject_cast<QRadioButton*>(w) && !target) target = w;
    if (auto* button = qobject_cast<QPushButton*>(w))
      if (!fallback || (button->isDefault() && !fallback->isDefault())) fallback = button;
  }
  if (!target) target = fallback;
  if (!target) target = panel;
  target->setFocus(Qt::OtherFocusReason);
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
  // A key that the focused field of a panel leaves unused (Enter, Escape)
  // reaches the panel: Enter runs it by its default button, Escape closes it.
  auto* panel = qobject_cast<QGroupBox*>(watched);
  if (!panel || event->type() != QEvent::KeyPress || busy())
    return QMainWindow::eventFilter(watched, event);
  const int key = static_cast<QKeyEvent*>(event)->key();
  if (key == Qt::Key_Return || key == Qt::Key_Enter) {
    for (QPushButton* button : panel->findChildren<QPushButton*>())
      if (button->isDefault() && !button->isHidden() && button->isEnabled()) {
        button->click();
        return true;
      }
  } else if (key == Qt::Key_Escape) {
    panel->hide();
    UpdateSidePane();
    statusBar()->showMessage(panel->title() + ": closed, not run");
    return true;
  }
  return QMainWindow::eventFilter(watched, event);
}

}  // namespace vireltan::app
