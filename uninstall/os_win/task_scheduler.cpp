#include "os_win/task_scheduler.h"

#include <mstask.h>
#include <taskschd.h>

#include "os_win/unique_com.h"

namespace uninstall {
namespace {

// Class and interface ids of the two task schedulers, spelled out so that no extra import
// library is needed.
constexpr CLSID kClsidTaskScheduler = {
    0x0F87369F, 0xA4E5, 0x4CFC, {0xBD, 0x3E, 0x73, 0xE6, 0x15, 0x45, 0x72, 0xDD}};
constexpr IID kIidTaskService = {
    0x2FABA4C7, 0x4DA9, 0x4013, {0x96, 0x97, 0x20, 0xCC, 0x3F, 0xD4, 0x0F, 0x85}};
constexpr CLSID kClsidCTaskScheduler = {
    0x148BD52A, 0xA2AB, 0x11CE, {0xB1, 0x1F, 0x00, 0xAA, 0x00, 0x53, 0x05, 0x03}};
constexpr IID kIidITaskScheduler = {
    0x148BD527, 0xA2AB, 0x11CE, {0xB1, 0x1F, 0x00, 0xAA, 0x00, 0x53, 0x05, 0x03}};

}  // namespace

bool DeleteScheduledTask(const wchar_t* name) {
  const ComApartment com;
  if (!com.ok()) return false;
  if (FAILED(::CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_PKT_PRIVACY,
                                    RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE, nullptr))) {
    return false;
  }
  UniqueCom<ITaskService> service;
  UniqueCom<ITaskFolder> folder;
  const UniqueVariant empty;
  const UniqueBstr root(L"\\");
  const UniqueBstr task(name);
  return SUCCEEDED(::CoCreateInstance(kClsidTaskScheduler, nullptr, CLSCTX_INPROC_SERVER,
                                      kIidTaskService, service.put_void())) &&
         SUCCEEDED(service->Connect(empty.get(), empty.get(), empty.get(), empty.get())) &&
         SUCCEEDED(service->GetFolder(root.get(), folder.put())) &&
         SUCCEEDED(folder->DeleteTask(task.get(), 0));
}

bool DeleteLegacyScheduledTask(const wchar_t* name) {
  const ComApartment com;
  if (!com.ok()) return false;
  UniqueCom<ITaskScheduler> scheduler;
  return SUCCEEDED(::CoCreateInstance(kClsidCTaskScheduler, nullptr, CLSCTX_INPROC_SERVER,
                                      kIidITaskScheduler, scheduler.put_void())) &&
         SUCCEEDED(scheduler->Delete(name));
}

}  // namespace uninstall
