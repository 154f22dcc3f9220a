#pragma once

// Graph pictures as enhanced metafiles (.emf), recorded with libEMF. This
// header names no libEMF type, so its users need no Windows declarations.

#include "graph/surface.h"

#include <string>

namespace doseplex {

// Draws a width x height picture with `draw` into an enhanced metafile at
// `path`, with `description` (e.g. "DosePlex Graph") as its description
// string. False with a reason in `error`.
//
// The picture is width x height logical units of 1/96 inch, y growing
// downwards; its frame says so, so viewers show it at that size. The
// description follows the metafile convention "application\0title\0\0": a
// NUL inside `description` separates the two parts (without one the title is
// empty), and the terminating NULs are added here. Width and height lie in 1..16384. The file at
// `path` is replaced only by a complete metafile; on failure nothing is left behind. libEMF keeps
// global state, so metafiles are recorded one at a time: `draw` must not write
// another metafile itself.
bool WriteEnhancedMetafile(const std::string& path, int width, int height,
                           const std::string& description, const DrawFunction& draw,
                           std::string& error);

} // namespace doseplex
