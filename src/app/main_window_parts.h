// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the parts of the main window share: captions, the tables that say
// which menu item opens which panel and what each item needs, and the
// builders of the option panels. Private to the main window's source files in src/app/.
#include <QtWidgets/QGroupBox>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QVBoxLayout>
#include <vector>

#include "app/main_window.h"

namespace vireltan::app {

inline constexpr char kNotAvailable[] = "not available yet";
inline constexpr char kCaption[] = "Vireltan";

// The charts of Chart1 .. Chart5, in that order.
inline constexpr ChartRole kMainChartRoles[] = {
    ChartRole::kMap, ChartRole::kPareto, ChartRole::kSamplingEffort, ChartRole::kAllelicHistogram,
    ChartRole::kMicrosatHistogram};

// Menu items that open an option panel, and the run buttons of that panel.
struct PanelOpener {
  const char* menuItem;
  std::vector<const char*> runButtons;
};
const std::vector<PanelOpener>& PanelOpeners();

// What the loaded dataset must allow for each menu item (the menu enabling
// of Open); File and About need nothing.
struct MenuItemRule {
  const char* item;
  CommandGroup group;
};
const std::vector<MenuItemRule>& MenuItemRules();

// The lineage commands with the options of their panels (lineage_panels.cpp).
Status LineagesFrom(Session& session, const CommandInputs& in);
Status SuggestionFrom(Session& session, const CommandInputs& in);
Status ReplicatesFrom(Session& session, const CommandInputs& in);
Status NetworkFrom(Session& session, const CommandInputs& in);
Status ClonalityTestFrom(Session& session, const CommandInputs& in);

// The population genetics commands with the options of their panels
// (popgen_panels.cpp).
Status GeneticDiversityFrom(Session& session, const CommandInputs& in);
Status FStatisticsFrom(Session& session, const CommandInputs& in);
Status PairwiseFstFrom(Session& session, const CommandInputs& in);
Status HardyWeinbergFrom(Session& session, const CommandInputs& in);
Status AmovaFrom(Session& session, const CommandInputs& in);
Status OrdinationFrom(Session& session, const CommandInputs& in);
Status IsolationFrom(Session& session, const CommandInputs& in);

// The autocorrelation options as the two panels hold them.
AutocorrelationOptions AutocorrelationFrom(const CommandInputs& in);

// Panel builders: each component gets its name as objectName. A panel is
// added hidden to `layout`.
QGroupBox* AddPanel(QVBoxLayout& layout, QGroupBox*& member, const char* name, const char* caption);
QPushButton* MakeButton(QPushButton*& member, const char* name, const char* caption,
                        QWidget* parent);
QLineEdit* MakeEdit(QLineEdit*& member, const char* name, const char* text, QWidget* parent);
// Gives the keyboard to a panel just shown: its first field, else its
// first choice, else its default button.
void FocusPanel(QGroupBox* panel);
// A panel holding one number field and its "run" button.
void AddNumberPanel(QVBoxLayout& layout, QGroupBox*& box, const char* boxName, const char* caption,
                    QLineEdit*& field, const char* fieldName, const char* fieldCaption,
                    const char* text, QPushButton*& run, const char* runName);

}  // namespace vireltan::app
