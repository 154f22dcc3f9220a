#pragma once

// Graph pictures as files and as encoded bytes, drawn through the Qt surface.
// This header names no Qt type, so its users need no Qt headers.

#include "graph/surface.h"

#include <cstdint>
#include <string>
#include <vector>

namespace doseplex {

enum class EPictureFormat { Bmp, Jpeg, Tiff, Png, Svg, Pdf };

// From a lower-case file extension without the dot ("bmp", "jpg", "tif",
// "png", "svg", "pdf"; also "jpeg" and "tiff"); false for others.
bool PictureFormatFromExtension(const std::string& ext, EPictureFormat& format);

// Draws a width x height picture with `draw` and writes it to `path` in
// `format`. The file is replaced only by a complete picture. False with a
// reason in `error`.
bool WritePicture(const std::string& path, EPictureFormat format, int width, int height,
                  const DrawFunction& draw, std::string& error);

// The encoded bytes only. Raster pictures start white; SVG and PDF pictures
// are width x height pixels of 1/96 inch. Width and height lie in 1..16384.
bool RenderPicture(EPictureFormat format, int width, int height, const DrawFunction& draw,
                   std::vector<std::uint8_t>& bytes, std::string& error);

// Makes sure a QGuiApplication exists, which font rendering needs. Creates one
// (kept for the life of the process) when no Qt application object exists;
// with no display (neither DISPLAY nor WAYLAND_DISPLAY set) and no
// QT_QPA_PLATFORM chosen, it selects the "offscreen" platform first. False
// when the existing application object is only a QCoreApplication (fonts
// unavailable) or creating one fails. Call it from the main thread.
bool EnsureGuiApplication();

} // namespace doseplex
