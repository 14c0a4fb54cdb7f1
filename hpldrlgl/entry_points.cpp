// The exported C functions. Nothing unwinds past them: every failure becomes
// a result code here.
#include <cstring>
#include <new>
#include <pugixml.hpp>
#include <sstream>
#include <string>

#include "hpraster/hpldrlgl_abi.h"
#include "job_registry.h"
#include "model_table.h"
#include "result.h"
#include "xml_documents.h"

#define HPDRLGL_EXPORT extern "C" __attribute__((visibility("default")))

namespace slabrip::hpldrlgl {
namespace {

template <class F>
std::int32_t Guard(F&& call) noexcept {
  try {
    call();
    return HPDRLGL_OK;
  } catch (const TFailure& failure) {
    return failure.Code;
  } catch (const std::bad_alloc&) {
    return HPDRLGL_NOT_ENOUGH_MEMORY;
  } catch (...) {
    return HPDRLGL_GENERAL_ERROR;
  }
}

// Runs a call on a live job. A failed start call or a refused delivery
// leaves the job failed; other faults (a bad row, a misplaced end) do not.
template <class F>
std::int32_t OnJob(HPDRLGL_JobHandle handle, bool startCall, F&& call) noexcept {
  return Guard([&] {
    TJob* job = Jobs().Find(handle);
    if (job == nullptr) Fail(HPDRLGL_INVALID_PARAMETERS);
    try {
      call(*job);
    } catch (const TFailure& failure) {
      if (startCall || failure.Code == HPDRLGL_CALLBACK_FAILED) job->MarkFailed();
      throw;
    } catch (...) {
      if (startCall) job->MarkFailed();
      throw;
    }
  });
}

void CopyOut(const std::string& text, char* buffer, std::uint32_t size) {
  if (buffer == nullptr || text.size() >= size) Fail(HPDRLGL_INVALID_PARAMETERS);
  std::memcpy(buffer, text.c_str(), text.size() + 1);
}

const TModel& FindModel(const char* modelId) {
  if (modelId == nullptr) Fail(HPDRLGL_INVALID_PARAMETERS);
  const TModel* model = Models()->Find(modelId);
  if (model == nullptr) Fail(HPDRLGL_MODEL_NOT_SUPPORTED);
  return *model;
}

std::string PrinterInfoXml(const TModel& model) {
  pugi::xml_document doc;
  pugi::xml_node declaration = doc.append_child(pugi::node_declaration);
  declaration.append_attribute("version") = "1.0";
  declaration.append_attribute("encoding") = "UTF-8";
  pugi::xml_node root = doc.append_child("PrinterInfo");
  root.append_child("PrinterModel").text() = model.Id.c_str();
  root.append_child("ModelName").text() = model.Name.c_str();
  pugi::xml_node margins = root.append_child("Margins");
  margins.append_attribute("left") = model.MarginLeft;
  margins.append_attribute("top") = model.MarginTop;
  margins.append_attribute("right") = model.MarginRight;
  margins.append_attribute("bottom") = model.MarginBottom;
  root.append_child("MaxPrintWidth").text() = model.MaxPrintWidth;
  pugi::xml_node resolutions = root.append_child("Resolutions");
  for (const std::int32_t dpi : model.Resolutions) resolutions.append_child("Resolution").text() = dpi;
  std::ostringstream out;
  doc.save(out, "  ");
  return out.str();
}

}  // namespace
}  // namespace slabrip::hpldrlgl

using namespace slabrip::hpldrlgl;

HPDRLGL_EXPORT int32_t HPDRLGL_QueryLibraryInfo(char* buffer, uint32_t size) {
  return Guard([&] { CopyOut("slabrip-hpldrlgl " HPDRLGL_VERSION, buffer, size); });
}

HPDRLGL_EXPORT int32_t HPDRLGL_QuerySupportedPrinters(char* buffer, uint32_t size) {
  return Guard([&] {
    if (buffer == nullptr) Fail(HPDRLGL_INVALID_PARAMETERS);
    std::string list;
    for (const TModel& model : Models()->Models()) list += model.Id + "\n";
    CopyOut(list, buffer, size);
  });
}

HPDRLGL_EXPORT int32_t HPDRLGL_QueryPrinterInfo(const char* modelId, HPDRLGL_PrinterInfo* info,
                                                uint32_t reserved) {
  return Guard([&] {
    if (info == nullptr || info->size != HPDRLGL_PRINTER_INFO_SIZE || reserved != 0)
      Fail(HPDRLGL_INVALID_PARAMETERS);
    const TModel& model = FindModel(modelId);
    std::memset(info->modelName, 0, sizeof info->modelName);
    std::memcpy(info->modelName, model.Name.data(), model.Name.size());
    info->marginLeft = model.MarginLeft;
    info->marginTop = model.MarginTop;
    info->marginRight = model.MarginRight;
    info->marginBottom = model.MarginBottom;
    info->maxPrintWidth = model.MaxPrintWidth;
    info->resolutionCount = static_cast<int32_t>(model.Resolutions.size());
    for (std::size_t i = 0; i < model.Resolutions.size(); ++i) info->resolutions[i] = model.Resolutions[i];
  });
}

HPDRLGL_EXPORT int32_t HPDRLGL_QueryPrinterInfoXML(const char* modelId, char* buffer, uint32_t size) {
  return Guard([&] {
    if (buffer == nullptr) Fail(HPDRLGL_INVALID_PARAMETERS);
    CopyOut(PrinterInfoXml(FindModel(modelId)), buffer, size);
  });
}

HPDRLGL_EXPORT int32_t HPDRLGL_JobStart(HPDRLGL_JobHandle* job, const char* jobInfoXml) {
  return Guard([&] {
    if (job == nullptr) Fail(HPDRLGL_INVALID_PARAMETERS);
    // A failed start leaves no handle for the driver to end.
    *job = nullptr;
    if (jobInfoXml == nullptr) Fail(HPDRLGL_INVALID_PARAMETERS);
    auto started = std::make_unique<TJob>(ParseJobTicket(jobInfoXml, *Models()));
    *job = Jobs().Add(std::move(started));
  });
}

HPDRLGL_EXPORT int32_t HPDRLGL_PageStart(HPDRLGL_JobHandle job, const char* pageInfoXml) {
  return OnJob(job, true, [&](TJob& j) { j.PageStart(pageInfoXml); });
}

HPDRLGL_EXPORT int32_t HPDRLGL_RasterStart(HPDRLGL_JobHandle job, const char* rasterFormatXml,
                                           int32_t reserved1, int32_t reserved2, int32_t reserved3,
                                           int32_t sourceWidth, int32_t sourceHeight, int32_t destWidth,
                                           int32_t destHeight) {
  return OnJob(job, true, [&](TJob& j) {
    j.RasterStart(rasterFormatXml, reserved1, reserved2, reserved3, sourceWidth, sourceHeight, destWidth,
                  destHeight);
  });
}

HPDRLGL_EXPORT int32_t HPDRLGL_RasterRow(HPDRLGL_JobHandle job, const uint8_t* row) {
  return OnJob(job, false, [&](TJob& j) { j.RasterRow(row); });
}

HPDRLGL_EXPORT int32_t HPDRLGL_RasterEnd(HPDRLGL_JobHandle job) {
  return OnJob(job, false, [](TJob& j) { j.RasterEnd(); });
}

HPDRLGL_EXPORT int32_t HPDRLGL_PageEnd(HPDRLGL_JobHandle job) {
  return OnJob(job, false, [](TJob& j) { j.PageEnd(); });
}

HPDRLGL_EXPORT int32_t HPDRLGL_JobEnd(HPDRLGL_JobHandle job) {
  return Guard([&] {
    const TJob* live = Jobs().Find(job);
    if (live == nullptr) Fail(HPDRLGL_INVALID_PARAMETERS);
    // A misplaced end keeps the job, so the caller can still abort it.
    if (!live->CanEnd()) Fail(HPDRLGL_UNEXPECTED_CALL);
    Jobs().Take(job)->End();
  });
}

HPDRLGL_EXPORT int32_t HPDRLGL_JobAbort(HPDRLGL_JobHandle job) {
  return Guard([&] {
    const std::unique_ptr<TJob> owned = Jobs().Take(job);
    if (owned == nullptr) Fail(HPDRLGL_INVALID_PARAMETERS);
    owned->Abort();
  });
}

HPDRLGL_EXPORT int32_t HPDRLGL_JobFlush(HPDRLGL_JobHandle job) {
  return OnJob(job, false, [](TJob& j) { j.Flush(); });
}
