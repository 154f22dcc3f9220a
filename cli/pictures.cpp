#include "cli/pictures.h"

#include "graph/qt/picture_module.h"

#include <dlfcn.h>

#include <array>
#include <filesystem>
#include <system_error>

namespace doseplex::cli {

namespace {

const CPictureModuleApi* g_api = nullptr;

std::string ModuleBesideProgram() {
    std::error_code ec;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : (program.parent_path() / "libdoseplex_pictures.so").string();
}

} // namespace

bool IsPictureExtension(const std::string& extension) {
    constexpr std::array<const char*, 8> kExtensions = {"bmp",  "jpg", "jpeg", "tif",
                                                        "tiff", "png", "svg",  "pdf"};
    for (const char* known : kExtensions) {
        if (extension == known) {
            return true;
        }
    }
    return false;
}

bool StartPictureWriter(std::string& problem) {
    if (g_api == nullptr) {
        void* module = nullptr;
        std::string reason;
        for (const std::string& path : {ModuleBesideProgram(), std::string(DOSEPLEX_PICTURES)}) {
            if (path.empty()) {
                continue;
            }
            module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
            if (module != nullptr) {
                break;
            }
            if (reason.empty()) {
                const char* text = dlerror();
                reason = text != nullptr ? text : path;
            }
        }
        if (module == nullptr) {
            problem = "the picture module could not be loaded (" + reason + ")";
            return false;
        }
        using Entry = const CPictureModuleApi* (*)();
        const auto entry = reinterpret_cast<Entry>(dlsym(module, kPictureModuleEntry));
        const CPictureModuleApi* api = entry != nullptr ? entry() : nullptr;
        if (api == nullptr || api->version != kPictureModuleVersion) {
            problem = "the picture module does not belong to this program";
            return false;
        }
        g_api = api;
    }
    if (!g_api->ensureGui()) {
        problem = "Qt could not start its font and painting system";
        return false;
    }
    return true;
}

bool WritePictureFile(const std::string& path, const std::string& extension, int width, int height,
                      const DrawFunction& draw, std::string& error) {
    return g_api->write(path, extension, width, height, draw, error);
}

} // namespace doseplex::cli
