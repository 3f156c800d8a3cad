#pragma once

#include <orvane/site/Error.h>

#include "RowOutcome.h"

namespace orvane::site::cli::batch {

/// The outcome of a call that failed with `error`: the service's refusal of one row, a
/// transport failure, or a failure that ends the job (the key refused, no usable address).
RowOutcome outcomeOfError(const Error& error);

}  // namespace orvane::site::cli::batch
