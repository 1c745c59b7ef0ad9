// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What File > Open asks for SNP data (VCF, BCF, PLINK): the sample sheet
// and the filters applied at Open, as the command line's --samples,
// --min-call-rate-locus, --min-call-rate-sample and --min-maf.
#include <QtCore/QString>
#include <QtWidgets/QWidget>
#include <optional>

#include "dataset/snp/snp_study.h"

namespace vireltan::app {

// `suggestedSheet` is filled in first (the sheet beside the data file, or
// empty); `current` gives the filters shown. Empty when cancelled.
std::optional<SnpOpenOptions> AskSnpOpenOptions(QWidget* parent, const QString& dataPath,
                                                const QString& suggestedSheet,
                                                const SnpOpenOptions& current);

}  // namespace vireltan::app
