#pragma once

// Marks a namespace-scope definition to be constructed before every initializer of default
// priority, and destroyed after them.
//
// An application may copy a library constant (a POI type, a ClientConfig text) into one of its own
// namespace-scope objects. When it links this library statically, its initializers can run before
// ours and would read a string that is not constructed yet. GCC and Clang on ELF order such
// definitions first; elsewhere the usual unspecified order across translation units applies.
#if defined(__GNUC__) && defined(__ELF__)
#define ORVANE_SITE_EARLY_STATIC_INIT [[gnu::init_priority(101)]]
#else
#define ORVANE_SITE_EARLY_STATIC_INIT
#endif
