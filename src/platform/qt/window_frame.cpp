#include "platform/qt/window_frame.h"

#include <QtGui/qguiapplication_platform.h>
#include <xcb/xcb.h>

#include <QGuiApplication>
#include <QWidget>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

namespace tq::qt {

namespace {

// How long the window manager gets to answer, and how often it is asked.
constexpr auto kAnswerTime = std::chrono::milliseconds(250);
constexpr auto kPollInterval = std::chrono::milliseconds(2);

template <typename Reply>
using ReplyPtr = std::unique_ptr<Reply, decltype(&std::free)>;

xcb_atom_t intern(xcb_connection_t* connection, const char* name) {
  const ReplyPtr<xcb_intern_atom_reply_t> reply(
      xcb_intern_atom_reply(
          connection,
          xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name),
          nullptr),
      &std::free);
  return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

// The 32-bit values of a property of `window`; empty when it has none.
std::vector<std::uint32_t> property_values(xcb_connection_t* connection, xcb_window_t window,
                                           xcb_atom_t property, xcb_atom_t type) {
  const ReplyPtr<xcb_get_property_reply_t> reply(
      xcb_get_property_reply(
          connection, xcb_get_property(connection, 0, window, property, type, 0, 1024), nullptr),
      &std::free);
  if (!reply || reply->format != 32) return {};
  const auto* values = static_cast<const std::uint32_t*>(xcb_get_property_value(reply.get()));
  const int count = xcb_get_property_value_length(reply.get()) / 4;
  return std::vector<std::uint32_t>(values, values + count);
}

xcb_window_t root_of(xcb_connection_t* connection, xcb_window_t window) {
  const ReplyPtr<xcb_get_geometry_reply_t> reply(
      xcb_get_geometry_reply(connection, xcb_get_geometry(connection, window), nullptr),
      &std::free);
  return reply ? reply->root : xcb_window_t{XCB_WINDOW_NONE};
}

// A window manager that takes frame-extent requests: one runs
// (_NET_SUPPORTING_WM_CHECK) and lists the request among what it supports.
bool manager_takes_requests(xcb_connection_t* connection, xcb_window_t root, xcb_atom_t request) {
  if (property_values(connection, root, intern(connection, "_NET_SUPPORTING_WM_CHECK"),
                      XCB_ATOM_WINDOW)
          .empty()) {
    return false;
  }
  const std::vector<std::uint32_t> supported =
      property_values(connection, root, intern(connection, "_NET_SUPPORTED"), XCB_ATOM_ATOM);
  return std::ranges::find(supported, request) != supported.end();
}

void send_request(xcb_connection_t* connection, xcb_window_t root, xcb_window_t window,
                  xcb_atom_t request) {
  xcb_client_message_event_t message{};
  message.response_type = XCB_CLIENT_MESSAGE;
  message.format = 32;
  message.window = window;
  message.type = request;
  xcb_send_event(connection, 0, root,
                 XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                 reinterpret_cast<const char*>(&message));
  xcb_flush(connection);
}

std::optional<FrameExtents> wait_for_extents(xcb_connection_t* connection, xcb_window_t window) {
  const xcb_atom_t extents = intern(connection, "_NET_FRAME_EXTENTS");
  const auto deadline = std::chrono::steady_clock::now() + kAnswerTime;
  do {
    const std::vector<std::uint32_t> values =
        property_values(connection, window, extents, XCB_ATOM_CARDINAL);
    if (values.size() == 4) {
      return FrameExtents{static_cast<int>(values[0]), static_cast<int>(values[1]),
                          static_cast<int>(values[2]), static_cast<int>(values[3])};
    }
    std::this_thread::sleep_for(kPollInterval);
  } while (std::chrono::steady_clock::now() < deadline);
  return std::nullopt;
}

}  // namespace

std::optional<FrameExtents> frame_extents_before_showing(QWidget& window) {
  // The offscreen platform answers as X too, without a connection.
  if (QGuiApplication::platformName() != "xcb") return std::nullopt;
  auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  xcb_connection_t* connection = x11 != nullptr ? x11->connection() : nullptr;
  if (connection == nullptr) return std::nullopt;
  const auto native = static_cast<xcb_window_t>(window.winId());
  const xcb_window_t root = root_of(connection, native);
  const xcb_atom_t request = intern(connection, "_NET_REQUEST_FRAME_EXTENTS");
  if (root == XCB_WINDOW_NONE || !manager_takes_requests(connection, root, request)) {
    return std::nullopt;
  }
  send_request(connection, root, native, request);
  return wait_for_extents(connection, native);
}

}  // namespace tq::qt
