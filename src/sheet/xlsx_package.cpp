// SPDX-License-Identifier: GPL-3.0-or-later
#include "sheet/xlsx_package.h"

#include <map>
#include <vector>

namespace vireltan {

namespace {

constexpr char kDefaultWorkbookPart[] = "xl/workbook.xml";

bool EndsWith(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

struct Relationship {
  std::string type;
  std::string target;  // already resolved to a zip entry name
};

// A part's relationships live in "<folder>/_rels/<name>.rels".
std::string RelationshipsPartOf(const std::string& part) {
  size_t slash = part.rfind('/');
  std::string folder = slash == std::string::npos ? "" : part.substr(0, slash + 1);
  std::string name = slash == std::string::npos ? part : part.substr(slash + 1);
  return folder + "_rels/" + name + ".rels";
}

class RelationshipsHandler : public XmlHandler {
 public:
  explicit RelationshipsHandler(std::string sourcePart) : sourcePart_(std::move(sourcePart)) {}

  void StartElement(std::string_view name, const char** attributes) override {
    if (name != "Relationship") return;
    const char* id = FindAttribute(attributes, "Id");
    const char* type = FindAttribute(attributes, "Type");
    const char* target = FindAttribute(attributes, "Target");
    const char* mode = FindAttribute(attributes, "TargetMode");
    if (id == nullptr || type == nullptr || target == nullptr) return;
    if (mode != nullptr && std::string_view(mode) == "External") return;
    byId[id] = Relationship{type, ResolvePartName(sourcePart_, target)};
    ordered.push_back(id);
  }
  void EndElement(std::string_view) override {}
  void CharacterData(std::string_view) override {}

  std::map<std::string, Relationship> byId;
  std::vector<std::string> ordered;

 private:
  std::string sourcePart_;
};

struct SheetEntry {
  std::string name;
  std::string relationshipId;
};

class WorkbookHandler : public XmlHandler {
 public:
  void StartElement(std::string_view name, const char** attributes) override {
    if (name != "sheet") return;
    const char* sheetName = FindAttribute(attributes, "name");
    // The relationship id is the attribute "id" in the relationships
    // namespace (written r:id); the plain "sheetId" is a different thing.
    const char* id = FindAttribute(attributes, "id");
    if (id == nullptr) return;
    sheets.push_back(SheetEntry{sheetName != nullptr ? sheetName : "", id});
  }
  void EndElement(std::string_view) override {}
  void CharacterData(std::string_view) override {}

  std::vector<SheetEntry> sheets;
};

Status ReadRelationships(const ZipArchive& archive, const std::string& sourcePart,
                         RelationshipsHandler& handler) {
  return archive.ParseXml(RelationshipsPartOf(sourcePart), handler);
}

}  // namespace

std::string ResolvePartName(const std::string& sourcePart, const std::string& target) {
  std::string joined;
  if (!target.empty() && target[0] == '/') {
    joined = target.substr(1);
  } else {
    size_t slash = sourcePart.rfind('/');
    joined = (slash == std::string::npos ? "" : sourcePart.substr(0, slash + 1)) + target;
  }
  std::vector<std::string> segments;
  size_t start = 0;
  while (start <= joined.size()) {
    size_t end = joined.find('/', start);
    if (end == std::string::npos) end = joined.size();
    std::string segment = joined.substr(start, end - start);
    if (segment == "..") {
      if (!segments.empty()) segments.pop_back();
    } else if (!segment.empty() && segment != ".") {
      segments.push_back(segment);
    }
    start = end + 1;
  }
  std::string resolved;
  for (const auto& segment : segments) resolved += (resolved.empty() ? "" : "/") + segment;
  return resolved;
}

Status FindXlsxParts(const ZipArchive& archive, XlsxParts& parts) {
  parts = XlsxParts();
  // The package root names the workbook part; a package without root
  // relationships gets the usual name a chance.
  std::string workbookPart;
  RelationshipsHandler rootRelationships("");
  if (ReadRelationships(archive, "", rootRelationships).ok()) {
    for (const auto& id : rootRelationships.ordered) {
      const Relationship& relation = rootRelationships.byId[id];
      if (EndsWith(relation.type, "/officeDocument")) {
        workbookPart = relation.target;
        break;
      }
    }
  }
  if (workbookPart.empty() || !archive.Contains(workbookPart)) workbookPart = kDefaultWorkbookPart;
  if (!archive.Contains(workbookPart)) {
    return Status::Error("it is a zip archive but not an xlsx workbook (it has no workbook part).");
  }

  WorkbookHandler workbook;
  Status status = archive.ParseXml(workbookPart, workbook);
  if (!status.ok()) return status;
  RelationshipsHandler relationships(workbookPart);
  status = ReadRelationships(archive, workbookPart, relationships);
  if (!status.ok()) return status;

  // The first worksheet in tab order; chart sheets and dialog sheets that
  // may come before it hold no cells.
  for (const auto& sheet : workbook.sheets) {
    auto found = relationships.byId.find(sheet.relationshipId);
    if (found == relationships.byId.end() || !EndsWith(found->second.type, "/worksheet")) continue;
    parts.worksheetName = sheet.name;
    parts.worksheetPart = found->second.target;
    break;
  }
  if (parts.worksheetPart.empty()) return Status::Error("the workbook has no worksheet.");

  for (const auto& id : relationships.ordered) {
    const Relationship& relation = relationships.byId[id];
    if (EndsWith(relation.type, "/sharedStrings")) {
      parts.sharedStringsPart = relation.target;
      break;
    }
  }
  return Status::Ok();
}

}  // namespace vireltan
