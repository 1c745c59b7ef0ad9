// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Finding one's way around an xlsx package: which zip entry holds the
// workbook, its first worksheet and its shared strings. The names are never
// assumed; they are looked up through the package's relationship parts.
#include <string>

#include "common/status.h"
#include "sheet/zip_xml.h"

namespace vireltan {

struct XlsxParts {
  std::string worksheetName;      // as shown on the worksheet's tab
  std::string worksheetPart;      // zip entry of the first worksheet
  std::string sharedStringsPart;  // zip entry, or "" when there is none
};

// Errors say what is missing, without the file name.
Status FindXlsxParts(const ZipArchive& archive, XlsxParts& parts);

// Joins a relationship target to the folder of the part that refers to it,
// resolving "." and ".." ("xl/" + "../docProps/x.xml" gives "docProps/x.xml";
// a target starting with "/" is taken from the package root).
std::string ResolvePartName(const std::string& sourcePart, const std::string& target);

}  // namespace vireltan
