#pragma once
// windows.h as the native front end includes it: without min and max
// macros. Every call that carries text is the W (UTF-16) one, named
// explicitly, so nothing depends on UNICODE being defined.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
