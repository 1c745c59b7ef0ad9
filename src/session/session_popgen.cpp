// SPDX-License-Identifier: GPL-3.0-or-later
// Population genetics of the units counted: the diversity table and the
// locus table.
#include "session/session.h"

namespace vireltan {

Status Session::GeneticDiversity(const PopgenRequest&) { return Status::Error("not yet"); }
Status Session::FStatistics(const PopgenRequest&) { return Status::Error("not yet"); }
Status Session::PairwiseFst(const PopgenRequest&) { return Status::Error("not yet"); }
Status Session::HardyWeinberg(const PopgenRequest&) { return Status::Error("not yet"); }

}  // namespace vireltan
