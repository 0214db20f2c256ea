#include "ui/services/display_probe.h"

#include <xcb/xcb.h>

#include <cstdlib>
#include <string_view>

namespace varn {

namespace {

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

const char* XcbErrorText(int error) {
  switch (error) {
    case XCB_CONN_ERROR:
      return "the connection failed";
    case XCB_CONN_CLOSED_EXT_NOTSUPPORTED:
      return "an extension is not supported";
    case XCB_CONN_CLOSED_MEM_INSUFFICIENT:
      return "not enough memory";
    case XCB_CONN_CLOSED_REQ_LEN_EXCEED:
      return "a request was too long";
    case XCB_CONN_CLOSED_PARSE_ERR:
      return "the display name cannot be parsed";
    case XCB_CONN_CLOSED_INVALID_SCREEN:
      return "the display has no such screen";
    default:
      return "the display refused the connection";
  }
}

}  // namespace

DisplayCheck CheckDisplay() {
  const std::string platform = Env("QT_QPA_PLATFORM");
  if (!platform.empty() && std::string_view(platform).substr(0, 3) != "xcb") return {true, ""};
  const std::string display = Env("DISPLAY");
  if (display.empty()) return {false, "no display"};
  int screen = 0;
  xcb_connection_t* connection = xcb_connect(display.c_str(), &screen);
  const int error = xcb_connection_has_error(connection);
  xcb_disconnect(connection);
  if (error == 0) return {true, ""};
  return {false, "cannot open display " + display + " (" + XcbErrorText(error) + ")"};
}

}  // namespace varn
