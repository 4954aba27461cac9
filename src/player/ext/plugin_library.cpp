#include "player/ext/plugin_library.h"

#include "platform/drive_table.h"
#include "util/ascii_case.h"

#include <dlfcn.h>
#include <elf.h>
#include <fcntl.h>
#include <link.h>
#include <pthread.h>
#include <setjmp.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

namespace morvane {
namespace {

namespace fs = std::filesystem;

std::string FileName(std::string_view path) {
  const size_t slash = path.rfind('/');
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string LoaderError() {
  const char* why = dlerror();
  return why ? why : "unknown reason";
}

// --- Faults inside plug-in calls.
//
// While a plug-in runs on the main thread, SIGSEGV, SIGBUS, SIGFPE and SIGILL
// jump back to the innermost guarded call; a fault on any other thread goes
// to the handler that was there before. The handlers are installed around the
// outermost call only and restored after it.

constexpr std::array kFaultSignals{SIGSEGV, SIGBUS, SIGFPE, SIGILL};

struct GuardFrame {
  sigjmp_buf jump;
  GuardFrame* outer;
};

// --- Touched only by the main thread and its signal handler.
GuardFrame* volatile g_top = nullptr;
pthread_t g_guarded_thread;
volatile sig_atomic_t g_fault_signal = 0;
void* volatile g_fault_address = nullptr;
struct sigaction g_previous[kFaultSignals.size()];

void OnFault(int signal, siginfo_t* info, void*) {
  GuardFrame* frame = g_top;
  if (frame && pthread_equal(pthread_self(), g_guarded_thread)) {
    g_fault_signal = signal;
    g_fault_address = info ? info->si_addr : nullptr;
    siglongjmp(frame->jump, 1);
  }
  // Not a plug-in's fault: the disposition from before takes it again when
  // the faulting instruction runs once more.
  for (size_t i = 0; i < kFaultSignals.size(); ++i)
    if (kFaultSignals[i] == signal) sigaction(signal, &g_previous[i], nullptr);
}

// A stack of its own for the handler, so that a plug-in that overflows the
// main thread's stack still comes back.
void EnsureAlternateStack() {
  static bool done = false;
  if (done) return;
  done = true;
  stack_t current{};
  if (sigaltstack(nullptr, &current) == 0 && !(current.ss_flags & SS_DISABLE)) return;
  constexpr size_t kSize = 64 * 1024;
  static std::vector<char> memory(kSize);
  stack_t ours{};
  ours.ss_sp = memory.data();
  ours.ss_size = kSize;
  sigaltstack(&ours, nullptr);
}

void InstallFaultHandlers() {
  EnsureAlternateStack();
  struct sigaction action {};
  action.sa_sigaction = OnFault;
  action.sa_flags = SA_SIGINFO | SA_ONSTACK;
  sigemptyset(&action.sa_mask);
  for (size_t i = 0; i < kFaultSignals.size(); ++i)
    sigaction(kFaultSignals[i], &action, &g_previous[i]);
}

void RestoreFaultHandlers() {
  for (size_t i = 0; i < kFaultSignals.size(); ++i)
    sigaction(kFaultSignals[i], &g_previous[i], nullptr);
}

const char* FaultName(int signal) {
  switch (signal) {
    case SIGSEGV:
      return "access violation";
    case SIGBUS:
      return "bus error";
    case SIGFPE:
      return "arithmetic fault";
    case SIGILL:
      return "illegal instruction";
  }
  return "fault";
}

// Kept out of line so that nothing of CallPlugin's own frame lives across
// the jump but the frame record.
[[gnu::noinline]] bool GuardedRun(void (*body)(void*), void* data, GuardFrame& frame) {
  if (sigsetjmp(frame.jump, 1) != 0) return false;
  body(data);
  return true;
}

// --- The table.
std::vector<std::unique_ptr<PluginLibrary>>& Table() {
  static std::vector<std::unique_ptr<PluginLibrary>> table;
  return table;
}

// A private copy of a library file: a sealed-off file in memory, else a file
// in the temporary folder that is gone once loaded.
struct Copy {
  std::string path;
  int fd = -1;  // kept open for a copy in memory
  bool on_disk = false;
};

bool CopyInto(int from, int to) {
  char buffer[64 * 1024];
  for (;;) {
    const ssize_t got = ::read(from, buffer, sizeof buffer);
    if (got == 0) return true;
    if (got < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    for (ssize_t put = 0; put < got;) {
      const ssize_t n = ::write(to, buffer + put, size_t(got - put));
      if (n < 0) {
        if (errno == EINTR) continue;
        return false;
      }
      put += n;
    }
  }
}

std::optional<Copy> MakeCopy(const std::string& host_path) {
  const int from = ::open(host_path.c_str(), O_RDONLY | O_CLOEXEC);
  if (from < 0) return std::nullopt;
  Copy copy;
  const int memory = memfd_create(FileName(host_path).c_str(), MFD_CLOEXEC);
  if (memory >= 0) {
    if (CopyInto(from, memory)) {
      copy.fd = memory;
      copy.path = "/proc/self/fd/" + std::to_string(memory);
    } else {
      ::close(memory);
    }
  }
  if (copy.fd < 0) {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/morvane-plugin-XXXXXX.so";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int file = mkstemps(name.data(), 3);
    if (file >= 0) {
      ::lseek(from, 0, SEEK_SET);
      const bool copied = CopyInto(from, file);
      ::close(file);
      copy.path = name.data();
      copy.on_disk = true;
      if (!copied) {
        ::unlink(copy.path.c_str());
        copy.path.clear();
      }
    }
  }
  ::close(from);
  if (copy.path.empty()) return std::nullopt;
  return copy;
}

}  // namespace

PluginLocation LocatePlugin(const DriveTable& drives, std::string_view windows_path) {
  PluginLocation where;
  std::optional<std::string> host = drives.ToHost(windows_path);
  if (!host || host->empty() || host->back() == '/') return where;
  const fs::path path(*host);
  const std::string name = path.filename().string();
  if (AsciiLower(path.extension().string()) != ".dll") {
    where.host = *host;
    return where;
  }
  // X.dll: the native X.so beside it, in any letter case.
  const std::string wanted = AsciiLower(name.substr(0, name.size() - 4)) + ".so";
  std::error_code ec;
  for (const fs::directory_entry& entry : fs::directory_iterator(path.parent_path(), ec)) {
    if (AsciiLower(entry.path().filename().string()) != wanted) continue;
    if (!entry.is_regular_file(ec)) continue;
    where.host = entry.path().string();
    return where;
  }
  where.windows_only = true;
  return where;
}

std::unique_ptr<PluginLibrary> PluginLibrary::Load(const std::string& host_path) {
  std::unique_ptr<PluginLibrary> library(new PluginLibrary);
  library->m_name = FileName(host_path);
  struct stat status {};
  if (::stat(host_path.c_str(), &status) != 0)
    throw PluginFailure(host_path + ": " + std::strerror(errno));
  if (!S_ISREG(status.st_mode)) throw PluginFailure(host_path + ": not a file");
  std::string load_path = host_path;
  // The process holds this file already (another window's entry, or a
  // library of the player's own): a second dlopen would hand back the same
  // handle and globals.
  if (void* held = dlopen(host_path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NOLOAD)) {
    dlclose(held);
    std::optional<Copy> copy = MakeCopy(host_path);
    if (!copy) throw PluginFailure(host_path + ": no private copy could be made");
    load_path = copy->path;
    library->m_copy_fd = copy->fd;
    library->m_copied = copy->on_disk;
  }
  dlerror();
  void* handle = dlopen(load_path.c_str(), RTLD_NOW | RTLD_LOCAL);
  // A copy on disk is not needed once it is mapped.
  if (library->m_copied) ::unlink(load_path.c_str());
  if (!handle) {
    const std::string why = LoaderError();
    if (library->m_copy_fd >= 0) ::close(library->m_copy_fd);
    library->m_copy_fd = -1;
    throw PluginFailure(why);
  }
  library->m_handle = handle;
  link_map* map = nullptr;
  if (dlinfo(handle, RTLD_DI_LINKMAP, &map) == 0) library->m_map = map;
  return library;
}

PluginLibrary::~PluginLibrary() = default;  // libraries stay loaded for the life of the program

void* PluginLibrary::Find(const char* name) const {
  if (!m_handle || !name || !*name) return nullptr;
  dlerror();
  void* found = dlsym(m_handle, name);
  if (!found) return nullptr;
  // Only what the library itself defines, and only functions.
  Dl_info info{};
  link_map* owner = nullptr;
  if (!dladdr1(found, &info, reinterpret_cast<void**>(&owner), RTLD_DL_LINKMAP)) return nullptr;
  if (owner != m_map) return nullptr;
  const ElfW(Sym)* symbol = nullptr;
  if (dladdr1(found, &info, reinterpret_cast<void**>(const_cast<ElfW(Sym)**>(&symbol)),
              RTLD_DL_SYMENT) &&
      symbol && info.dli_sname && std::strcmp(info.dli_sname, name) == 0) {
    const int type = ELF64_ST_TYPE(symbol->st_info);
    if (type != STT_FUNC && type != STT_GNU_IFUNC) return nullptr;
  }
  return found;
}

void PluginLibrary::Release() {
  if (!m_handle) return;
  void* handle = m_handle;
  m_handle = nullptr;
  m_map = nullptr;
  try {
    CallPlugin(*this, "its finalizers", [handle] { dlclose(handle); });
  } catch (const PluginFailure&) {
  }
}

size_t AppendPluginEntry() {
  Table().emplace_back();
  return Table().size() - 1;
}

void SetPluginEntry(size_t index, std::unique_ptr<PluginLibrary> library) {
  if (index < Table().size()) Table()[index] = std::move(library);
}

PluginLibrary* PluginEntry(size_t index) {
  return index < Table().size() ? Table()[index].get() : nullptr;
}

size_t PluginEntryCount() {
  return Table().size();
}

void CallPlugin(const PluginLibrary& library, const char* export_name, void (*body)(void*),
                void* data) {
  GuardFrame frame;
  frame.outer = g_top;
  const bool outermost = frame.outer == nullptr;
  if (outermost) {
    g_guarded_thread = pthread_self();
    InstallFaultHandlers();
  }
  g_top = &frame;
  const bool finished = GuardedRun(body, data, frame);
  g_top = frame.outer;
  if (outermost) RestoreFaultHandlers();
  if (finished) return;
  char address[32];
  std::snprintf(address, sizeof address, "%p", g_fault_address);
  throw PluginFailure("The plug-in " + library.name() + " failed in " + export_name + ": " +
                      FaultName(g_fault_signal) + " at address " + address + ".");
}

}  // namespace morvane
