#include "job_registry.h"

namespace slabrip::hpldrlgl {

HPDRLGL_JobHandle TJobRegistry::Add(std::unique_ptr<TJob> job) {
  const std::lock_guard lock(Mutex_);
  const std::uintptr_t id = Next_;
  Jobs_.emplace(id, std::move(job));
  Next_ += 16;
  return reinterpret_cast<HPDRLGL_JobHandle>(id);
}

TJob* TJobRegistry::Find(HPDRLGL_JobHandle handle) {
  const std::lock_guard lock(Mutex_);
  const auto it = Jobs_.find(reinterpret_cast<std::uintptr_t>(handle));
  return it == Jobs_.end() ? nullptr : it->second.get();
}

std::unique_ptr<TJob> TJobRegistry::Take(HPDRLGL_JobHandle handle) {
  const std::lock_guard lock(Mutex_);
  const auto it = Jobs_.find(reinterpret_cast<std::uintptr_t>(handle));
  if (it == Jobs_.end()) return nullptr;
  std::unique_ptr<TJob> job = std::move(it->second);
  Jobs_.erase(it);
  return job;
}

TJobRegistry& Jobs() {
  // An object, not a leaked pointer: the driver unloads the library, and jobs
  // still open then are freed with it.
  static TJobRegistry registry;
  return registry;
}

}  // namespace slabrip::hpldrlgl
