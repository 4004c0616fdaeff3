// Owners for what GLib hands over: a reference to a GObject, a string or string vector to g_free, an
// error, a key file. Each frees its object when it goes, so an early return cannot leak one and no
// free is written twice.
#pragma once

#include <glib-object.h>
#include <glib.h>

#include <memory>

namespace kestrune::platform {

struct GObjectUnref {
    void operator()(gpointer object) const { g_object_unref(object); }
};
// One reference to a GObject (of type T), adopted: the caller's g_object_new / g_object_ref / a
// function returning a new reference.
template <typename T>
using GObjectRef = std::unique_ptr<T, GObjectUnref>;
// A reference taken now, for an object that must outlive a call that may drop the others.
template <typename T>
GObjectRef<T> KeepAlive(T* object) {
    return GObjectRef<T>(static_cast<T*>(g_object_ref(object)));
}

struct GFreeDeleter {
    void operator()(gpointer memory) const { g_free(memory); }
};
using GText = std::unique_ptr<gchar, GFreeDeleter>;  // a string GLib allocated

struct GStrvDeleter {
    void operator()(gchar** strings) const { g_strfreev(strings); }
};
using GTextVector = std::unique_ptr<gchar*, GStrvDeleter>;  // a NULL-ended string vector

struct GErrorDeleter {
    void operator()(GError* error) const { g_error_free(error); }
};
using GErrorOwner = std::unique_ptr<GError, GErrorDeleter>;

struct GKeyFileDeleter {
    void operator()(GKeyFile* keys) const { g_key_file_free(keys); }
};
using GKeyFileOwner = std::unique_ptr<GKeyFile, GKeyFileDeleter>;

}  // namespace kestrune::platform
