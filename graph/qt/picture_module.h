#pragma once

// The entry point of the picture module: the Qt picture writer built as a
// module of its own, which a program loads only when it draws a picture, so
// that its other work starts without Qt's libraries. This header names no Qt
// type and needs no linking against the module.

#include "graph/surface.h"

#include <string>

namespace doseplex {

struct CPictureModuleApi {
    int version; // kPictureModuleVersion of the module
    // EnsureGuiApplication of picture_writer.h.
    bool (*ensureGui)();
    // Draws and writes a picture in the format its lower-case extension
    // names ("bmp", "jpg", "tif", "png", "svg", "pdf", "jpeg", "tiff").
    bool (*write)(const std::string& path, const std::string& extension, int width, int height,
                  const DrawFunction& draw, std::string& error);
};

inline constexpr int kPictureModuleVersion = 1;

// The name of the module's one exported function, which returns the API.
inline constexpr const char* kPictureModuleEntry = "doseplex_picture_module";

} // namespace doseplex
