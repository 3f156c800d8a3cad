#pragma once

// Moved to orvane/site/transport/CurlTransport.h, the public folder of the transport seam; this
// path forwards to it for one release.
#include "orvane/site/transport/CurlTransport.h"
