// The HTTP library, loaded when a browser display starts and not before: the
// clock names no shared library but the C library, and runs on a machine
// without this one.
#pragma once

#include <microhttpd.h>

#include <string>

namespace potclock {

// The library's routines that the server calls, with the header's own
// prototypes.
struct HttpLibrary {
  decltype(&MHD_start_daemon) startDaemon = nullptr;
  decltype(&MHD_stop_daemon) stopDaemon = nullptr;
  decltype(&MHD_quiesce_daemon) quiesceDaemon = nullptr;
  decltype(&MHD_create_response_from_buffer) responseFromBuffer = nullptr;
  decltype(&MHD_create_response_from_callback) responseFromCallback = nullptr;
  decltype(&MHD_add_response_header) addHeader = nullptr;
  decltype(&MHD_queue_response) queueResponse = nullptr;
  decltype(&MHD_destroy_response) destroyResponse = nullptr;
  decltype(&MHD_suspend_connection) suspend = nullptr;
  decltype(&MHD_resume_connection) resume = nullptr;
  decltype(&MHD_get_connection_info) connectionInfo = nullptr;
};

// The library, loaded once; null when it cannot be, with the reason (the
// package to install) in `why`.
const HttpLibrary* httpLibrary(std::string& why);

}  // namespace potclock
