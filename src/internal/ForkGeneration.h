#pragma once

#include <cstdint>

namespace orvane::site::internal {

/// How many fork() calls separate this process from the one the library was first used in: an
/// object that noted the value when it was made knows, by a later one, that it lives in a child
/// (where the threads it owned do not exist). Cheap: one atomic load.
std::uint64_t forkGeneration() noexcept;

}  // namespace orvane::site::internal
