#pragma once

#include "graph/surface.h"

#include <string>

namespace doseplex::cli {

// Picture files through the picture module (libdoseplex_pictures.so), which
// is loaded on first use: from the program's own folder, else from where the
// build put it. Commands that draw no picture never load it, nor Qt.

// True for the extensions the module writes ("bmp", "jpg", "jpeg", "tif",
// "tiff", "png", "svg", "pdf").
bool IsPictureExtension(const std::string& extension);

// Loads the module and starts its painting system; false with the reason.
bool StartPictureWriter(std::string& problem);

// Draws a width x height picture and writes it to `path` in the format the
// extension names; StartPictureWriter must have succeeded.
bool WritePictureFile(const std::string& path, const std::string& extension, int width, int height,
                      const DrawFunction& draw, std::string& error);

} // namespace doseplex::cli
