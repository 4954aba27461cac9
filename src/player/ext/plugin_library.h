#pragma once

// The plug-in library table and the calls into plug-ins (docs/plugins.md is
// the contract, include/morvane/plugin.h its C side).
//
// A plug-in window's Path is a Windows path: one that names X.dll loads the
// native X.so beside it (found ignoring case), any other name loads as it is.
// Each start of a plug-in window appends an entry to the one table of the
// program, so two windows that name one file get two entries; a library the
// process holds already is loaded again from a private copy, so that each
// entry has its own globals, as two loads of the library would.
//
// Exports are looked up by exact name each time they are used, and only
// among the functions the library itself defines: a name its dependencies
// define (libc's `exit`, `system`) is no export of the plug-in.
//
// Calls run on the main thread through CallPlugin, which turns a fault inside
// the plug-in (a bad pointer, a division by zero, an illegal instruction) or
// an exception thrown through it into a PluginFailure; the player then goes on
// as the caller decides.

#include <cstddef>
#include <exception>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

namespace morvane {

class DriveTable;

// Where a plug-in window's Path leads on this host.
struct PluginLocation {
  std::optional<std::string> host;  // the library file to load
  // The Path names a Windows library (.dll) with no native counterpart.
  bool windows_only = false;
};

PluginLocation LocatePlugin(const DriveTable& drives, std::string_view windows_path);

// A load that failed, or a fault or exception inside a call into a plug-in.
class PluginFailure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class PluginLibrary {
 public:
  // Loads the library at `host_path` with its symbols bound now; raises
  // PluginFailure with the loader's reason.
  static std::unique_ptr<PluginLibrary> Load(const std::string& host_path);
  ~PluginLibrary();
  PluginLibrary(const PluginLibrary&) = delete;
  PluginLibrary& operator=(const PluginLibrary&) = delete;

  // The function of that exact name the library defines; nothing otherwise.
  void* Find(const char* name) const;
  template <class Fn>
  Fn Find(const char* name) const {
    return reinterpret_cast<Fn>(Find(name));
  }

  // The file name of the library, for messages ("clock.so").
  const std::string& name() const { return m_name; }
  // Whether it was loaded from a private copy.
  bool copied() const { return m_copy_fd >= 0 || m_copied; }

  // Unloads the library (its finalizers run guarded); Find finds nothing
  // afterwards.
  void Release();

 private:
  PluginLibrary() = default;

  void* m_handle = nullptr;
  void* m_map = nullptr;  // the library's own link map
  std::string m_name;
  int m_copy_fd = -1;  // a private copy in memory, kept open so its name is never reused
  bool m_copied = false;
};

// The program-wide table. Entries are never removed; an entry whose load
// failed stays empty.
size_t AppendPluginEntry();
void SetPluginEntry(size_t index, std::unique_ptr<PluginLibrary> library);
// Nothing for an empty entry or an index out of the table.
PluginLibrary* PluginEntry(size_t index);
size_t PluginEntryCount();

// Runs `body(data)` as the call of `export_name` in `library` on the main
// thread. A fault inside it or an exception thrown out of it raises
// PluginFailure naming the library and the export. `body` must own nothing
// that needs destroying while the plug-in runs.
void CallPlugin(const PluginLibrary& library, const char* export_name, void (*body)(void*),
                void* data);

template <class F>
void CallPlugin(const PluginLibrary& library, const char* export_name, F&& body) {
  struct Call {
    std::remove_reference_t<F>* body;
    std::exception_ptr thrown;
  } call{&body, nullptr};
  CallPlugin(
      library, export_name,
      [](void* data) {
        auto* c = static_cast<Call*>(data);
        try {
          (*c->body)();
        } catch (...) {
          c->thrown = std::current_exception();
        }
      },
      &call);
  if (call.thrown) {
    std::string why = "an exception";
    try {
      std::rethrow_exception(call.thrown);
    } catch (const std::exception& e) {
      why = e.what();
    } catch (...) {
    }
    throw PluginFailure("The plug-in " + library.name() + " failed in " + export_name + ": " + why);
  }
}

}  // namespace morvane
