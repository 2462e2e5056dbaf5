// Marks what the shared library exports; everything else in it is hidden.
#pragma once

#if defined(VELKORA_BUILDING)
#define VELKORA_EXPORT __attribute__((visibility("default")))
#else
#define VELKORA_EXPORT
#endif
