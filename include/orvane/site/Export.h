#pragma once

/// Marks a type or function as part of the library's binary interface. The library is built with
/// hidden symbols by default, so only what carries this mark is visible to applications that
/// link the shared library; a static build ignores it.
#if defined(ORVANE_SITE_STATIC_DEFINE) || !defined(__GNUC__)
#define ORVANE_SITE_EXPORT
#else
#define ORVANE_SITE_EXPORT __attribute__((visibility("default")))
#endif
