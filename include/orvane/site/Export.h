#pragma once

/// Marks a type or function as part of the library's binary interface. The library is built with
/// hidden symbols by default, so only what carries this mark is visible to applications that
/// link the shared library; a static build (ORVANE_SITE_STATIC_DEFINE) ignores it.
///
/// ORVANE_SITE_NO_EXPORT keeps one member of an exported class out of the binary interface: one
/// that only the library itself calls, typically because it names a private type.
#if defined(ORVANE_SITE_STATIC_DEFINE) || !defined(__GNUC__)
#define ORVANE_SITE_EXPORT
#define ORVANE_SITE_NO_EXPORT
#else
#define ORVANE_SITE_EXPORT __attribute__((visibility("default")))
#define ORVANE_SITE_NO_EXPORT __attribute__((visibility("hidden")))
#endif
