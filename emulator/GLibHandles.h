#pragma once

#include <glib-object.h>

#include <memory>

namespace emulator {

// Drops the reference or frees the memory that a GLib or umockdev call handed out.
struct GLibRelease {
    void operator()(gpointer object) const { g_object_unref(object); }
    void operator()(GError* error) const { g_error_free(error); }
    void operator()(gchar* text) const { g_free(text); }
};

template <typename Object>
using GObjectPtr = std::unique_ptr<Object, GLibRelease>;
using GErrorPtr = std::unique_ptr<GError, GLibRelease>;
using GCharPtr = std::unique_ptr<gchar, GLibRelease>;

}  // namespace emulator
