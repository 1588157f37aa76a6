// Internal to libtevo: includes the public header so that the os* functions
// are the library's only exports; everything else keeps the hidden visibility
// the build gives it.
#pragma once

#pragma GCC visibility push(default)
#include "tevo.h"
#pragma GCC visibility pop
