#pragma once

// The XKB protocol header names a field `explicit`, which C++ reserves.
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit
