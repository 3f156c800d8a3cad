#pragma once

// ErrorType moved to the top level of the public headers; this path keeps working.
#include "orvane/site/ErrorType.h"
