// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The window's population items: File > Load populations…, MLG >
// Population summary, MLG > Units table, Format > GenAlEx and Format >
// Genepop. Each asks for
// its options in a small dialog, then runs its session command as every
// menu command runs.
namespace vireltan::app {

class TForm1;

// Connects the five menu items (found by their object names) of `form`.
void ConnectPopulationCommands(TForm1& form);

}  // namespace vireltan::app
