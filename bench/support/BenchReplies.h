#pragma once

#include <string>

namespace orvane::site::bench {

/// The realistic text-search reply of 20 sites (tests/fixtures/text_search_20_sites.json).
/// Loaded once; exits the program with a message when the fixture cannot be read.
const std::string& realisticReply();

/// A text-search reply of about 1 MB with the same shape (from the test fixture generator).
const std::string& largeReply();

}  // namespace orvane::site::bench
