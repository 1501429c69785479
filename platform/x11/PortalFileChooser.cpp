#include "platform/x11/PortalFileChooser.h"

#include <dbus/dbus.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>

#include <cstdint>
#include <cstring>
#include <memory>
#include <random>

namespace {

constexpr const char kPortalService[] = "org.freedesktop.portal.Desktop";
constexpr const char kPortalPath[] = "/org/freedesktop/portal/desktop";
constexpr const char kChooserInterface[] = "org.freedesktop.portal.FileChooser";
constexpr const char kRequestInterface[] = "org.freedesktop.portal.Request";
// How long the portal may take to answer the call itself (it may have to be started first); the
// user's answer comes later as a signal and has no limit.
constexpr int kCallTimeoutMs = 25000;
constexpr int kPollMs = 50;

struct ConnectionCloser {
  void operator()(DBusConnection* c) const {
    dbus_connection_close(c);
    dbus_connection_unref(c);
  }
};
struct MessageUnref {
  void operator()(DBusMessage* m) const { dbus_message_unref(m); }
};
struct PendingUnref {
  void operator()(DBusPendingCall* p) const { dbus_pending_call_unref(p); }
};
using Connection = std::unique_ptr<DBusConnection, ConnectionCloser>;
using Message = std::unique_ptr<DBusMessage, MessageUnref>;
using Pending = std::unique_ptr<DBusPendingCall, PendingUnref>;

// The portal names the request object after our unique bus name and a token of ours, so we can
// listen for its answer before asking.
std::string RequestPath(const char* uniqueName, const std::string& token) {
  std::string sender = uniqueName && uniqueName[0] == ':' ? uniqueName + 1 : "";
  for (char& c : sender) {
    if (c == '.') c = '_';
  }
  return std::string("/org/freedesktop/portal/desktop/request/") + sender + "/" + token;
}

void AddStringEntry(DBusMessageIter* dict, const char* key, const char* signature,
                    const std::function<void(DBusMessageIter*)>& value) {
  DBusMessageIter entry;
  DBusMessageIter variant;
  dbus_message_iter_open_container(dict, DBUS_TYPE_DICT_ENTRY, nullptr, &entry);
  dbus_message_iter_append_basic(&entry, DBUS_TYPE_STRING, &key);
  dbus_message_iter_open_container(&entry, DBUS_TYPE_VARIANT, signature, &variant);
  value(&variant);
  dbus_message_iter_close_container(&entry, &variant);
  dbus_message_iter_close_container(dict, &entry);
}

void AppendString(DBusMessageIter* iter, const std::string& s) {
  const char* c = s.c_str();
  dbus_message_iter_append_basic(iter, DBUS_TYPE_STRING, &c);
}

// OpenFile or SaveFile (parent_window s, title s, options a{sv}).
Message MakeCall(const PortalFileChooser::Request& request, const std::string& token) {
  Message call(dbus_message_new_method_call(kPortalService, kPortalPath, kChooserInterface,
                                            request.save ? "SaveFile" : "OpenFile"));
  if (!call) return nullptr;
  DBusMessageIter args;
  DBusMessageIter options;
  dbus_message_iter_init_append(call.get(), &args);
  AppendString(&args, request.parentWindow);
  AppendString(&args, request.title);
  dbus_message_iter_open_container(&args, DBUS_TYPE_ARRAY, "{sv}", &options);
  AddStringEntry(&options, "handle_token", "s",
                 [&](DBusMessageIter* v) { AppendString(v, token); });
  AddStringEntry(&options, "modal", "b", [](DBusMessageIter* v) {
    const dbus_bool_t yes = TRUE;
    dbus_message_iter_append_basic(v, DBUS_TYPE_BOOLEAN, &yes);
  });
  if (!request.extensions.empty()) {
    // One filter holding every extension, as "Files (*.fxb *.fxp)".
    std::string label = "Files (";
    for (std::size_t i = 0; i < request.extensions.size(); ++i) {
      label += (i ? " *." : "*.") + request.extensions[i];
    }
    label += ")";
    AddStringEntry(&options, "filters", "a(sa(us))", [&](DBusMessageIter* v) {
      DBusMessageIter filters;
      DBusMessageIter filter;
      DBusMessageIter patterns;
      dbus_message_iter_open_container(v, DBUS_TYPE_ARRAY, "(sa(us))", &filters);
      dbus_message_iter_open_container(&filters, DBUS_TYPE_STRUCT, nullptr, &filter);
      AppendString(&filter, label);
      dbus_message_iter_open_container(&filter, DBUS_TYPE_ARRAY, "(us)", &patterns);
      for (const std::string& extension : request.extensions) {
        DBusMessageIter pattern;
        const dbus_uint32_t glob = 0;
        dbus_message_iter_open_container(&patterns, DBUS_TYPE_STRUCT, nullptr, &pattern);
        dbus_message_iter_append_basic(&pattern, DBUS_TYPE_UINT32, &glob);
        AppendString(&pattern, "*." + extension);
        dbus_message_iter_close_container(&patterns, &pattern);
      }
      dbus_message_iter_close_container(&filter, &patterns);
      dbus_message_iter_close_container(&filters, &filter);
      dbus_message_iter_close_container(v, &filters);
    });
  }
  if (!request.folder.empty()) {
    // A byte string ending in its NUL, since paths need not be UTF-8.
    AddStringEntry(&options, "current_folder", "ay", [&](DBusMessageIter* v) {
      DBusMessageIter bytes;
      const char* data = request.folder.c_str();
      dbus_message_iter_open_container(v, DBUS_TYPE_ARRAY, "y", &bytes);
      dbus_message_iter_append_fixed_array(&bytes, DBUS_TYPE_BYTE, &data,
                                           static_cast<int>(request.folder.size() + 1));
      dbus_message_iter_close_container(v, &bytes);
    });
  }
  if (request.save && !request.name.empty()) {
    AddStringEntry(&options, "current_name", "s",
                   [&](DBusMessageIter* v) { AppendString(v, request.name); });
  }
  dbus_message_iter_close_container(&args, &options);
  return call;
}

// The first URI of a Response's results, if any.
std::string FirstUri(DBusMessageIter* results) {
  if (dbus_message_iter_get_arg_type(results) != DBUS_TYPE_ARRAY) return {};
  DBusMessageIter dict;
  dbus_message_iter_recurse(results, &dict);
  for (; dbus_message_iter_get_arg_type(&dict) == DBUS_TYPE_DICT_ENTRY;
       dbus_message_iter_next(&dict)) {
    DBusMessageIter entry;
    dbus_message_iter_recurse(&dict, &entry);
    if (dbus_message_iter_get_arg_type(&entry) != DBUS_TYPE_STRING) continue;
    const char* key = nullptr;
    dbus_message_iter_get_basic(&entry, &key);
    if (!key || std::strcmp(key, "uris") != 0 || !dbus_message_iter_next(&entry)) continue;
    if (dbus_message_iter_get_arg_type(&entry) != DBUS_TYPE_VARIANT) continue;
    DBusMessageIter variant;
    dbus_message_iter_recurse(&entry, &variant);
    if (dbus_message_iter_get_arg_type(&variant) != DBUS_TYPE_ARRAY) continue;
    DBusMessageIter uris;
    dbus_message_iter_recurse(&variant, &uris);
    if (dbus_message_iter_get_arg_type(&uris) != DBUS_TYPE_STRING) continue;
    const char* uri = nullptr;
    dbus_message_iter_get_basic(&uris, &uri);
    return uri ? uri : "";
  }
  return {};
}

struct Waiting {
  std::string path;  // the request object we listen to
  bool answered = false;
  dbus_uint32_t response = 2;
  std::string uri;
};

DBusHandlerResult OnMessage(DBusConnection*, DBusMessage* message, void* data) {
  auto* waiting = static_cast<Waiting*>(data);
  if (!dbus_message_is_signal(message, kRequestInterface, "Response") || waiting->answered) {
    return DBUS_HANDLER_RESULT_NOT_YET_HANDLED;
  }
  const char* path = dbus_message_get_path(message);
  if (!path || waiting->path != path) return DBUS_HANDLER_RESULT_NOT_YET_HANDLED;
  DBusMessageIter args;
  if (dbus_message_iter_init(message, &args) &&
      dbus_message_iter_get_arg_type(&args) == DBUS_TYPE_UINT32) {
    dbus_message_iter_get_basic(&args, &waiting->response);
    if (dbus_message_iter_next(&args)) waiting->uri = FirstUri(&args);
  }
  waiting->answered = true;
  return DBUS_HANDLER_RESULT_HANDLED;
}

std::string MatchRule(const std::string& path) {
  return std::string("type='signal',interface='") + kRequestInterface +
         "',member='Response',path='" + path + "'";
}

// Asks the portal to take its dialog down when the editor goes away first.
void CloseRequest(DBusConnection* conn, const std::string& path) {
  Message close(
      dbus_message_new_method_call(kPortalService, path.c_str(), kRequestInterface, "Close"));
  if (!close) return;
  dbus_message_set_no_reply(close.get(), TRUE);
  dbus_connection_send(conn, close.get(), nullptr);
  dbus_connection_flush(conn);
}

// Without an address in the environment or the usual socket in the runtime folder, libdbus would
// start a bus of its own through the X display (autolaunch) just to find no portal on it.
bool SessionBusKnown() {
  const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
  if (address && *address) return true;
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  struct stat info {};
  return runtime && *runtime && ::stat((std::string(runtime) + "/bus").c_str(), &info) == 0 &&
         S_ISSOCK(info.st_mode);
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::string PortalFileChooser::PathFromUri(const std::string& uri) {
  constexpr const char kScheme[] = "file://";
  if (uri.compare(0, sizeof kScheme - 1, kScheme) != 0) return {};
  std::string rest = uri.substr(sizeof kScheme - 1);
  // Only this machine's files: no host, or "localhost".
  if (rest.compare(0, 9, "localhost") == 0) rest.erase(0, 9);
  if (rest.empty() || rest[0] != '/') return {};
  std::string path;
  for (std::size_t i = 0; i < rest.size(); ++i) {
    if (rest[i] == '%') {
      const int high = i + 2 < rest.size() ? HexValue(rest[i + 1]) : -1;
      const int low = high >= 0 ? HexValue(rest[i + 2]) : -1;
      if (low < 0 || (high == 0 && low == 0)) return {};
      path.push_back(static_cast<char>(high * 16 + low));
      i += 2;
    } else if (rest[i] == '?' || rest[i] == '#') {
      return {};
    } else {
      path.push_back(rest[i]);
    }
  }
  return path;
}

PortalFileChooser::Result PortalFileChooser::Ask(const Request& request,
                                                 const std::function<bool()>& shouldEnd,
                                                 std::string* path) {
  path->clear();
  if (!SessionBusKnown()) return Result::kUnavailable;
  DBusError error;
  dbus_error_init(&error);
  Connection conn(dbus_bus_get_private(DBUS_BUS_SESSION, &error));
  dbus_error_free(&error);
  if (!conn) return Result::kUnavailable;
  // The bus going away must end our request, not the host's process.
  dbus_connection_set_exit_on_disconnect(conn.get(), FALSE);

  std::random_device random;
  const std::string token = "rhythmoria" + std::to_string(random() & 0x7fffffffu);
  Waiting waiting;
  waiting.path = RequestPath(dbus_bus_get_unique_name(conn.get()), token);
  dbus_connection_add_filter(conn.get(), OnMessage, &waiting, nullptr);
  // Listening before asking: a quick portal may answer before its reply reaches us.
  dbus_bus_add_match(conn.get(), MatchRule(waiting.path).c_str(), nullptr);

  Message call = MakeCall(request, token);
  DBusPendingCall* pendingRaw = nullptr;
  if (!call ||
      !dbus_connection_send_with_reply(conn.get(), call.get(), &pendingRaw, kCallTimeoutMs) ||
      !pendingRaw) {
    dbus_connection_remove_filter(conn.get(), OnMessage, &waiting);
    return Result::kUnavailable;
  }
  Pending pending(pendingRaw);
  // libdbus times pending calls out only for callers with a main loop: we keep the time ourselves.
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(kCallTimeoutMs);
  while (!dbus_pending_call_get_completed(pending.get())) {
    const bool late = std::chrono::steady_clock::now() > deadline;
    if (late || shouldEnd() || !dbus_connection_read_write_dispatch(conn.get(), kPollMs)) {
      dbus_pending_call_cancel(pending.get());
      dbus_connection_remove_filter(conn.get(), OnMessage, &waiting);
      return late ? Result::kUnavailable : Result::kNothing;
    }
  }
  Message reply(dbus_pending_call_steal_reply(pending.get()));
  const char* handle = nullptr;
  if (!reply || dbus_message_get_type(reply.get()) != DBUS_MESSAGE_TYPE_METHOD_RETURN ||
      !dbus_message_get_args(reply.get(), nullptr, DBUS_TYPE_OBJECT_PATH, &handle,
                             DBUS_TYPE_INVALID)) {
    // No portal, no chooser in it, or it refused: another chooser may do.
    dbus_connection_remove_filter(conn.get(), OnMessage, &waiting);
    return Result::kUnavailable;
  }
  if (!waiting.answered && handle && waiting.path != handle) {
    // Portals older than handle tokens choose the path themselves.
    waiting.path = handle;
    dbus_bus_add_match(conn.get(), MatchRule(waiting.path).c_str(), nullptr);
  }
  while (!waiting.answered) {
    if (shouldEnd()) {
      CloseRequest(conn.get(), waiting.path);
      break;
    }
    if (!dbus_connection_read_write_dispatch(conn.get(), kPollMs)) break;  // the bus went away
  }
  dbus_connection_remove_filter(conn.get(), OnMessage, &waiting);
  if (!waiting.answered || waiting.response != 0) return Result::kNothing;
  *path = PathFromUri(waiting.uri);
  return path->empty() ? Result::kNothing : Result::kChosen;
}
