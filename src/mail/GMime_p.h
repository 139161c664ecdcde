#pragma once

// GMime stays inside this module: only mail/*.cpp include this header.

#include <gmime/gmime.h>
#include <memory>

namespace quillmark::mail {

struct GObjectUnref {
    void operator()(void* object) const noexcept {
        if (object != nullptr) {
            g_object_unref(object);
        }
    }
};

// Owns one reference to a GObject (GMimeMessage, GMimePart, GMimeStream, ...).
template <typename T>
using GObjectPtr = std::unique_ptr<T, GObjectUnref>;

// Takes over a reference the caller already holds (the result of a *_new() call).
template <typename T>
[[nodiscard]] GObjectPtr<T> makeGObjectPtr(T* owned) noexcept {
    return GObjectPtr<T>(owned);
}

struct GFreeDeleter {
    void operator()(void* memory) const noexcept { g_free(memory); }
};

// Owns a block from g_malloc (strings GMime hands back for the caller to free).
using GCharPtr = std::unique_ptr<char, GFreeDeleter>;

struct GDateTimeUnref {
    void operator()(GDateTime* date) const noexcept { g_date_time_unref(date); }
};
using GDateTimePtr = std::unique_ptr<GDateTime, GDateTimeUnref>;

struct GTimeZoneUnref {
    void operator()(GTimeZone* zone) const noexcept { g_time_zone_unref(zone); }
};
using GTimeZonePtr = std::unique_ptr<GTimeZone, GTimeZoneUnref>;

struct FormatOptionsFree {
    void operator()(GMimeFormatOptions* options) const noexcept { g_mime_format_options_free(options); }
};
using FormatOptionsPtr = std::unique_ptr<GMimeFormatOptions, FormatOptionsFree>;

// GMime's one-time set-up, safe to call from any thread any number of times.
void ensureGMime();

} // namespace quillmark::mail
