// The stand-in 4D host: the package's life cycle, routine calls and cooperative processes.
#include "host.h"

#include <chrono>
#include <filesystem>

#include "library_loader.h"
#include "marshalling.h"
#include "package/fourd_abi.h"
#include "processes.h"
#include "toolbox/host_services.h"

namespace standin {
namespace {

constexpr const char* kEntryPointName = "FourDPack";
constexpr const char* kResourceFileName = "Nimbus.RSR";
constexpr int64_t kTicksPerSecond = 60;

std::string ResourceFileBeside(const std::string& packagePath) {
  return (std::filesystem::path(packagePath).parent_path() / kResourceFileName).string();
}

}  // namespace

struct Host::Impl {
  ProcessScheduler scheduler;
  void* library = nullptr;
  FourDPackProc entry = nullptr;
  Handle globals = nullptr;
  std::string lastError;

  bool Fail(const std::string& why) {
    lastError = why;
    return false;
  }
  void ForgetLibrary() {
    CloseLibrary(library);
    library = nullptr;
    entry = nullptr;
  }
};

Host::Host() : impl_(std::make_unique<Impl>()) {}

Host::~Host() {
  if (loaded()) Unload();
}

bool Host::Load(const std::string& packagePath, const std::string& resourcePath) {
  Impl& d = *impl_;
  if (loaded()) return d.Fail("a package is already loaded");
  RaiseOpenFileLimit();

  std::string why;
  d.library = OpenLibrary(packagePath, &why);
  if (d.library == nullptr) return d.Fail("cannot load package " + packagePath + ": " + why);
  d.entry = reinterpret_cast<FourDPackProc>(FindExport(d.library, kEntryPointName));
  if (d.entry == nullptr) {
    d.ForgetLibrary();
    return d.Fail(packagePath + " does not export " + kEntryPointName);
  }

  // The package reads its character tables at load: the resource file opens first.
  const std::string resources =
      resourcePath.empty() ? ResourceFileBeside(packagePath) : resourcePath;
  std::error_code ignored;
  if (std::filesystem::exists(resources, ignored) && OpenResFile(resources.c_str()) < 0) {
    d.ForgetLibrary();
    return d.Fail("cannot open resource file " + resources);
  }

  d.globals = nullptr;
  FourDResult result{};
  d.entry(kSelectorLoad, nullptr, &d.globals, &result);
  d.lastError.clear();
  return true;
}

void Host::Unload() {
  Impl& d = *impl_;
  if (!loaded()) return;
  if (!d.scheduler.inMainProcess()) {
    d.lastError = "the package can only be unloaded from the main process";
    return;
  }
  // No process may still be suspended inside the package's code when it goes away.
  d.scheduler.WindDown();
  FourDResult result{};
  d.entry(kSelectorUnload, nullptr, &d.globals, &result);
  // The global block is 4D's to discard once the package has let go of it.
  if (d.globals != nullptr) DisposeHandle(d.globals);
  d.globals = nullptr;
  d.ForgetLibrary();
  TBHost_CloseResFiles();
}

bool Host::loaded() const {
  return impl_->entry != nullptr;
}

std::string Host::lastError() const {
  return impl_->lastError;
}

CallResult Host::Call(const std::string& routine, const std::vector<Value>& params,
                      int32_t initialResult) {
  Impl& d = *impl_;
  CallResult out;
  const RoutineInfo* info = FindRoutineInfo(routine);
  if (!loaded()) {
    out.error = "no package is loaded";
  } else if (info == nullptr) {
    out.error = "unknown routine: " + routine;
  } else {
    CallFrame frame;
    out.error = frame.Prepare(*info, params, initialResult);
    if (out.error.empty()) {
      d.entry(info->selector, frame.params(), &d.globals, frame.result());
      return frame.Collect();
    }
  }
  d.lastError = out.error;
  return out;
}

void Host::CallRaw(int32_t selector, void** params, FourDResult* result) {
  if (!loaded()) {
    impl_->lastError = "no package is loaded";
    return;
  }
  impl_->entry(selector, params, &impl_->globals, result);
}

Handle* Host::globalsVariable() {
  return &impl_->globals;
}

void Host::StartProcess(const std::string& name, std::function<void()> body) {
  impl_->scheduler.Start(name, std::move(body));
}

void Host::RunProcesses() {
  impl_->scheduler.RunUntilAllFinished();
}

void Host::DelayProcess(int32_t ticks) {
  TBHost_PumpMessages();
  // Exact for any longint: 2^31 ticks in nanoseconds fit 64 bits many times over.
  impl_->scheduler.Delay(std::chrono::nanoseconds(int64_t{ticks} * 1000000000 / kTicksPerSecond));
}

void Host::EndDelays() {
  impl_->scheduler.EndDelays();
}

int32_t Host::processCount() const {
  return impl_->scheduler.unfinishedCount();
}

bool Host::stopping() const {
  return impl_->scheduler.stopping();
}

}  // namespace standin
