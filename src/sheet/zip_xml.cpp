// SPDX-License-Identifier: GPL-3.0-or-later
#include "sheet/zip_xml.h"

#include <expat.h>
#include <zip.h>

#include <cstring>
#include <vector>

namespace vireltan {

namespace {

// With namespace processing on, expat reports "uri name"; the part after the
// separator is what the xlsx parts are matched by.
constexpr char kNamespaceSeparator = ' ';

std::string_view LocalName(const char* name) {
  std::string_view view(name);
  size_t cut = view.rfind(kNamespaceSeparator);
  return cut == std::string_view::npos ? view : view.substr(cut + 1);
}

struct ParseContext {
  XmlHandler* handler;
};

void XMLCALL OnStart(void* data, const XML_Char* name, const XML_Char** attributes) {
  static_cast<ParseContext*>(data)->handler->StartElement(LocalName(name), attributes);
}

void XMLCALL OnEnd(void* data, const XML_Char* name) {
  static_cast<ParseContext*>(data)->handler->EndElement(LocalName(name));
}

void XMLCALL OnText(void* data, const XML_Char* text, int length) {
  static_cast<ParseContext*>(data)->handler->CharacterData(
      std::string_view(text, static_cast<size_t>(length)));
}

// libzip's messages start with a capital; here they follow a colon.
std::string ZipErrorText(zip_error_t* error) {
  std::string text = zip_error_strerror(error);
  if (!text.empty() && text[0] >= 'A' && text[0] <= 'Z' && (text.size() < 2 || text[1] > 'Z')) {
    text[0] = static_cast<char>(text[0] - 'A' + 'a');
  }
  return text;
}

}  // namespace

const char* FindAttribute(const char** attributes, std::string_view name) {
  for (int i = 0; attributes[i] != nullptr; i += 2) {
    if (LocalName(attributes[i]) == name) return attributes[i + 1];
  }
  return nullptr;
}

ZipArchive::~ZipArchive() {
  if (archive_ != nullptr) zip_discard(archive_);
}

Status ZipArchive::Open(const std::string& path) {
  int code = 0;
  archive_ = zip_open(path.c_str(), ZIP_RDONLY, &code);
  if (archive_ != nullptr) return Status::Ok();
  zip_error_t error;
  zip_error_init_with_code(&error, code);
  std::string message = ZipErrorText(&error);
  zip_error_fini(&error);
  return Status::Error("the zip archive is damaged (" + message + ").");
}

long long ZipArchive::Locate(const std::string& entry) const {
  zip_int64_t index = zip_name_locate(archive_, entry.c_str(), 0);
  if (index < 0) index = zip_name_locate(archive_, entry.c_str(), ZIP_FL_NOCASE);
  return index;
}

bool ZipArchive::Contains(const std::string& entry) const {
  return Locate(entry) >= 0;
}

Status ZipArchive::ParseXml(const std::string& entry, XmlHandler& handler,
                            const std::function<bool()>& stop) const {
  long long index = Locate(entry);
  if (index < 0) return Status::Error("the part \"" + entry + "\" is missing.");
  zip_file_t* file = zip_fopen_index(archive_, static_cast<zip_uint64_t>(index), 0);
  if (file == nullptr) {
    return Status::Error("the part \"" + entry + "\" cannot be opened (" +
                         ZipErrorText(zip_get_error(archive_)) + ").");
  }
  XML_Parser parser = XML_ParserCreateNS(nullptr, kNamespaceSeparator);
  ParseContext context{&handler};
  XML_SetUserData(parser, &context);
  XML_SetElementHandler(parser, OnStart, OnEnd);
  XML_SetCharacterDataHandler(parser, OnText);

  Status status;
  std::vector<char> buffer(1 << 16);
  while (true) {
    zip_int64_t got = zip_fread(file, buffer.data(), buffer.size());
    if (got < 0) {
      status = Status::Error("the part \"" + entry + "\" is damaged (" +
                             ZipErrorText(zip_file_get_error(file)) + ").");
      break;
    }
    bool last = got == 0;
    if (XML_Parse(parser, buffer.data(), static_cast<int>(got), last) == XML_STATUS_ERROR) {
      status = Status::Error("the part \"" + entry + "\" is not valid XML (" +
                             XML_ErrorString(XML_GetErrorCode(parser)) + " at line " +
                             std::to_string(XML_GetCurrentLineNumber(parser)) + ").");
      break;
    }
    if (last || (stop && stop())) break;
  }
  XML_ParserFree(parser);
  zip_fclose(file);
  return status;
}

}  // namespace vireltan
