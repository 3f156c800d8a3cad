#pragma once

/// @file
/// The kit's former namespace, kept for one release on request.
///
/// The kit used to live in `orvane::site::testing`, a name that meets GoogleTest's own namespace
/// in any file that says `using namespace orvane::site`. It is `orvane::site::testkit` now. A test
/// suite that still says `site::testing::` builds as before with `ORVANE_SITE_TESTING_ALIAS`
/// defined; the alias goes in the next release.

namespace orvane::site::testkit {}

#ifdef ORVANE_SITE_TESTING_ALIAS
namespace orvane::site {
namespace testing = testkit;
}  // namespace orvane::site
#endif
