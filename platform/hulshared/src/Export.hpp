// The library is built with hidden visibility; only the platform's C entry
// points are exported. A file that defines entry points includes this before
// anything else, so that these are the first declarations the compiler sees.
#pragma once

#pragma GCC visibility push(default)
#include "HulDiag.h"
#include "HulMfw.h"
#include "HulMfwStandIn.h"
#pragma GCC visibility pop
