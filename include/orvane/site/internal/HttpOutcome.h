#pragma once

// Moved to orvane/site/transport/HttpOutcome.h, the public folder of the transport seam; this path
// forwards to it for one release.
#include "orvane/site/transport/HttpOutcome.h"
