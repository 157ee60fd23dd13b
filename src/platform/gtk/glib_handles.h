#pragma once
// Owning handles for GLib memory, errors, object references and signal
// connections, so that no path through the GTK code leaks or frees twice.
// UI thread, like every GObject they hold.
#include <glib-object.h>

#include <memory>
#include <utility>

namespace tarnel::platform::gtk {

struct GFreeDeleter {
  void operator()(void* memory) const { g_free(memory); }
};
// A gchar* that the caller owns.
using GCharPtr = std::unique_ptr<char, GFreeDeleter>;

struct GErrorDeleter {
  void operator()(GError* error) const { g_error_free(error); }
};
using GErrorPtr = std::unique_ptr<GError, GErrorDeleter>;

struct GVariantDeleter {
  void operator()(GVariant* variant) const { g_variant_unref(variant); }
};
using GVariantPtr = std::unique_ptr<GVariant, GVariantDeleter>;

struct GStrvDeleter {
  void operator()(gchar** strings) const { g_strfreev(strings); }
};
// A NULL-terminated array of strings that the caller owns.
using GStrvPtr = std::unique_ptr<gchar*, GStrvDeleter>;

struct GMainLoopDeleter {
  void operator()(GMainLoop* loop) const { g_main_loop_unref(loop); }
};
using GMainLoopPtr = std::unique_ptr<GMainLoop, GMainLoopDeleter>;

struct GObjectDeleter {
  void operator()(gpointer object) const { g_object_unref(object); }
};
// One strong reference to a GObject.
template <typename T>
using GObjectPtr = std::unique_ptr<T, GObjectDeleter>;

// A signal connection, disconnected when the handle goes. The instance must
// outlive the handle or be kept alive by an owner declared before it.
class SignalConnection {
 public:
  SignalConnection() = default;
  SignalConnection(gpointer instance, gulong id) : instance_(instance), id_(id) {}
  SignalConnection(SignalConnection&& other) noexcept
      : instance_(std::exchange(other.instance_, nullptr)), id_(std::exchange(other.id_, 0)) {}
  SignalConnection& operator=(SignalConnection&& other) noexcept {
    if (this != &other) {
      Disconnect();
      instance_ = std::exchange(other.instance_, nullptr);
      id_ = std::exchange(other.id_, 0);
    }
    return *this;
  }
  SignalConnection(const SignalConnection&) = delete;
  SignalConnection& operator=(const SignalConnection&) = delete;
  ~SignalConnection() { Disconnect(); }

  void Disconnect() {
    if (instance_ != nullptr && id_ != 0 && g_signal_handler_is_connected(instance_, id_)) {
      g_signal_handler_disconnect(instance_, id_);
    }
    instance_ = nullptr;
    id_ = 0;
  }

 private:
  gpointer instance_ = nullptr;
  gulong id_ = 0;
};

// Connects `callback` (a plain function, cast by G_CALLBACK) to `signal`.
template <typename Callback>
SignalConnection Connect(gpointer instance, const char* signal, Callback callback, gpointer data) {
  return SignalConnection(instance, g_signal_connect(instance, signal, G_CALLBACK(callback), data));
}

}  // namespace tarnel::platform::gtk
