#include "app/web/mhd.h"

#include <dlfcn.h>

namespace potclock {

namespace {

// The library's soname: the ABI the header describes.
constexpr const char* kLibrary = "libmicrohttpd.so.12";

template <class Function>
bool bind(void* handle, const char* name, Function& function) {
  function = reinterpret_cast<Function>(::dlsym(handle, name));
  return function != nullptr;
}

}  // namespace

const HttpLibrary* httpLibrary(std::string& why) {
  struct Loaded {
    HttpLibrary library;
    std::string why;
    bool complete = false;
  };
  // Loaded at most once, and kept for the life of the process: the server's
  // thread runs in it until the very end.
  static const Loaded loaded = [] {
    Loaded l;
    void* handle = ::dlopen(kLibrary, RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
      l.why = std::string(kLibrary) +
              " cannot be loaded; a browser display needs it (Debian: apt install "
              "libmicrohttpd12)";
      return l;
    }
    HttpLibrary& m = l.library;
    l.complete = bind(handle, "MHD_start_daemon", m.startDaemon) &&
                 bind(handle, "MHD_stop_daemon", m.stopDaemon) &&
                 bind(handle, "MHD_quiesce_daemon", m.quiesceDaemon) &&
                 bind(handle, "MHD_create_response_from_buffer", m.responseFromBuffer) &&
                 bind(handle, "MHD_create_response_from_callback", m.responseFromCallback) &&
                 bind(handle, "MHD_add_response_header", m.addHeader) &&
                 bind(handle, "MHD_queue_response", m.queueResponse) &&
                 bind(handle, "MHD_destroy_response", m.destroyResponse) &&
                 bind(handle, "MHD_suspend_connection", m.suspend) &&
                 bind(handle, "MHD_resume_connection", m.resume) &&
                 bind(handle, "MHD_get_connection_info", m.connectionInfo);
    if (!l.complete) l.why = std::string(kLibrary) + " lacks a routine the server needs: too old";
    return l;
  }();
  why = loaded.why;
  return loaded.complete ? &loaded.library : nullptr;
}

}  // namespace potclock
