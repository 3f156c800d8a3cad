#pragma once

#include <stdexcept>

namespace orvane::site::cli::batch {

/// A job that must not start as asked (a resume that would keep the wrong rows, an output
/// another job writes). Nothing has been called and the output is as it was.
class JobRefused : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace orvane::site::cli::batch
