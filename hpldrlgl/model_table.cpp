#include "model_table.h"

#include <dlfcn.h>

#include <algorithm>
#include <cstdio>
#include <mutex>
#include <pugixml.hpp>

#include "result.h"
#include "text_values.h"

namespace slabrip::hpldrlgl {
namespace {

// Any object of the library: its address tells dladdr which file we are.
const char kAnchor = 0;

// The RTL plane description holds resolutions in 16 bits.
constexpr std::int64_t kMaxResolution = 9600;

[[noreturn]] void Invalid() { Fail(HPDRLGL_CONFIGURATION_INVALID); }

std::int32_t Attribute(const pugi::xml_node& node, const char* name, std::int64_t min, std::int64_t max) {
  const auto value = ParseUnsigned(node.attribute(name).value(), max);
  if (!value || *value < min) Invalid();
  return static_cast<std::int32_t>(*value);
}

std::string Text(const pugi::xml_node& node, const char* name) {
  std::string text = node.attribute(name).value();
  if (text.empty() || text.size() > TModelTable::kMaxNameBytes) Invalid();
  return text;
}

TModel ParseModel(const pugi::xml_node& node) {
  TModel model;
  model.Id = Text(node, "id");
  model.Name = Text(node, "name");
  model.MarginLeft = Attribute(node, "marginLeft", 0, INT32_MAX);
  model.MarginTop = Attribute(node, "marginTop", 0, INT32_MAX);
  model.MarginRight = Attribute(node, "marginRight", 0, INT32_MAX);
  model.MarginBottom = Attribute(node, "marginBottom", 0, INT32_MAX);
  model.MaxPrintWidth = Attribute(node, "maxPrintWidth", 1, INT32_MAX);
  for (const pugi::xml_node& resolution : node.children("Resolution")) {
    const std::int32_t dpi = Attribute(resolution, "dpi", 1, kMaxResolution);
    if (model.HasResolution(dpi) || model.Resolutions.size() == TModelTable::kMaxResolutions) Invalid();
    model.Resolutions.push_back(dpi);
  }
  if (model.Resolutions.empty()) Invalid();
  return model;
}

std::string LibraryFolder() {
  Dl_info info{};
  if (::dladdr(&kAnchor, &info) == 0 || info.dli_fname == nullptr) Invalid();
  const std::string path = info.dli_fname;
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? "." : path.substr(0, slash);
}

std::string ReadModelsFile() {
  const std::string path = LibraryFolder() + "/" + TModelTable::kFileName;
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
  if (!file) Invalid();
  // One byte more than allowed tells a file that is too large.
  std::string text(TModelTable::kMaxFileBytes + 1, '\0');
  const std::size_t size = std::fread(text.data(), 1, text.size(), file.get());
  if (std::ferror(file.get()) || size > TModelTable::kMaxFileBytes) Invalid();
  text.resize(size);
  return text;
}

}  // namespace

bool TModel::HasResolution(std::int64_t dpi) const {
  return std::find(Resolutions.begin(), Resolutions.end(), dpi) != Resolutions.end();
}

std::int64_t TModel::MaxWidthPixels(std::int32_t dpi) const {
  return std::int64_t{MaxPrintWidth} * dpi / 9600;
}

TModelTable TModelTable::Parse(std::string_view xml) {
  pugi::xml_document doc;
  if (!doc.load_buffer(xml.data(), xml.size(), pugi::parse_default, pugi::encoding_utf8)) Invalid();
  TModelTable table;
  for (const pugi::xml_node& node : doc.child("PrinterModels").children("Model")) {
    TModel model = ParseModel(node);
    if (table.Find(model.Id) != nullptr) Invalid();
    table.Models_.push_back(std::move(model));
  }
  if (table.Models_.empty()) Invalid();
  return table;
}

const TModel* TModelTable::Find(std::string_view id) const {
  for (const TModel& model : Models_)
    if (model.Id == id) return &model;
  return nullptr;
}

std::shared_ptr<const TModelTable> Models() {
  static std::mutex mutex;
  static std::shared_ptr<const TModelTable> table;
  const std::lock_guard lock(mutex);
  // Only a good table is kept: a file put in place later is still found.
  if (!table) table = std::make_shared<const TModelTable>(TModelTable::Parse(ReadModelsFile()));
  return table;
}

}  // namespace slabrip::hpldrlgl
