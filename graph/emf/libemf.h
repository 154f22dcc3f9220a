#pragma once

// libEMF's Windows GDI declarations, for the .cpp files of this folder only.
// They define many Windows names and macros, so no public header includes
// this one.

#if defined(STRICT)
// Under STRICT the wine headers declare handles as pointers, while libEMF is
// built with 32-bit integer handles.
#error "libEMF must be used without STRICT"
#endif

#ifndef NOMINMAX
#define NOMINMAX // keep the min and max macros out of the standard library's way
#endif

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpedantic"
#pragma GCC diagnostic ignored "-Wconversion"
#pragma GCC diagnostic ignored "-Wshadow"
#pragma GCC diagnostic ignored "-Wunused-parameter"
#include <libEMF/emf.h>
#pragma GCC diagnostic pop
