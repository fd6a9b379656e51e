// Waiting on a GLib main context for a call of one's own, with a deadline of one's own.
#pragma once

#include <glib.h>

#include <algorithm>

namespace platform::glibloop {

// One blocking iteration of `context`. A timer wakes it after at most `wakeMs`, and no later
// than `until` (g_get_monotonic_time() microseconds), even when nothing else happens, so the
// caller's loop gets back to its deadline.
inline void Iterate(GMainContext* context, gint64 until, guint wakeMs) {
    const gint64 left = std::max<gint64>(1, (until - g_get_monotonic_time()) / 1000);
    GSource* timer = g_timeout_source_new(guint(std::min<gint64>(left, wakeMs)));
    g_source_set_callback(
        timer, [](gpointer) -> gboolean { return G_SOURCE_REMOVE; }, nullptr, nullptr);
    g_source_attach(timer, context);
    g_main_context_iteration(context, TRUE);
    g_source_destroy(timer);
    g_source_unref(timer);
}

}  // namespace platform::glibloop
