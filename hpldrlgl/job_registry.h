// The jobs handed out as handles. A handle is a number that is never issued
// twice, so a stale or made-up handle is refused instead of followed.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "hpraster/hpldrlgl_abi.h"
#include "job.h"

namespace slabrip::hpldrlgl {

/// A handle is used by one thread at a time; different jobs may run in parallel.
class TJobRegistry {
 public:
  HPDRLGL_JobHandle Add(std::unique_ptr<TJob> job);
  /// The live job of `handle`, or null.
  TJob* Find(HPDRLGL_JobHandle handle);
  /// Removes the job from the live ones; null when it is not live.
  std::unique_ptr<TJob> Take(HPDRLGL_JobHandle handle);

 private:
  std::mutex Mutex_;
  std::unordered_map<std::uintptr_t, std::unique_ptr<TJob>> Jobs_;
  // Far from small numbers a caller might pass by mistake; steps keep the
  // values pointer-aligned like real handles.
  std::uintptr_t Next_ = 0x48500000;
};

TJobRegistry& Jobs();

}  // namespace slabrip::hpldrlgl
