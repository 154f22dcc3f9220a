#include "graph/qt/picture_module.h"

#include "graph/qt/picture_writer.h"

namespace doseplex {
namespace {

bool WriteByExtension(const std::string& path, const std::string& extension, int width, int height,
                      const DrawFunction& draw, std::string& error) {
    EPictureFormat format{};
    if (!PictureFormatFromExtension(extension, format)) {
        error = "\"" + extension + "\" is no picture format";
        return false;
    }
    return WritePicture(path, format, width, height, draw, error);
}

const CPictureModuleApi kApi{kPictureModuleVersion, EnsureGuiApplication, WriteByExtension};

} // namespace
} // namespace doseplex

extern "C" __attribute__((visibility("default"))) const doseplex::CPictureModuleApi*
doseplex_picture_module() {
    return &doseplex::kApi;
}
