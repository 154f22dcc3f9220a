#include "graph/emf/metafile_writer.h"

#include "core/file_io.h"
#include "graph/emf/emf_surface.h"
#include "graph/emf/libemf.h"
#include "graph/emf/text_utf16.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <fcntl.h>
#include <mutex>
#include <numeric>
#include <unistd.h>
#include <vector>

namespace doseplex {

namespace {

constexpr int kMaxPictureSide = 16384;

// libEMF keeps its handle tables in globals, so one metafile is recorded at a
// time.
std::mutex g_libEmfMutex;

// Hundredths of a millimetre for `pixels` of 1/96 inch, rounded.
LONG FrameUnits(int pixels) {
    return static_cast<LONG>((static_cast<long long>(pixels) * 2540 + 48) / 96);
}

// A metafile being recorded into an open file: closed and its memory freed
// whatever happens, the file closed last.
class CRecording {
public:
    CRecording() = default;
    ~CRecording() {
        try {
            Stop();
        } catch (const std::exception&) {
            // The failure was reported by Finish, or the recording is dropped.
        }
        if (m_file != nullptr) {
            std::fclose(m_file);
        }
    }
    CRecording(const CRecording&) = delete;
    CRecording& operator=(const CRecording&) = delete;

    // Records into the open file `fd` (a copy of it is taken).
    bool Start(int fd, const std::string& path, const RECT& frame,
               const std::vector<WCHAR>& description, std::string& error) {
        const int copy = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
        m_file = copy >= 0 ? ::fdopen(copy, "wb") : nullptr;
        if (m_file == nullptr) {
            error = "cannot write '" + path + "': " + std::strerror(errno);
            if (copy >= 0) {
                ::close(copy);
            }
            return false;
        }
        m_dc = ::CreateEnhMetaFileWithFILEW(0, m_file, &frame,
                                            description.empty() ? nullptr : description.data());
        if (m_dc == 0) {
            error = "cannot start the metafile '" + path + "'";
            return false;
        }
        return true;
    }

    HDC Dc() const { return m_dc; }

    // libEMF writes the whole file when the metafile is closed; a failed
    // write shows on the stream, or as an exception from libEMF.
    bool Finish(const std::string& path, std::string& error) {
        errno = 0;
        bool closed = false;
        int failure = 0;
        try {
            closed = Stop();
        } catch (const std::exception&) {
            failure = errno;
        }
        bool written = std::fflush(m_file) == 0 && std::ferror(m_file) == 0;
        if (failure == 0) {
            failure = errno;
        }
        if (std::fclose(m_file) != 0 && written) {
            written = false;
            failure = errno;
        }
        m_file = nullptr;
        if (!written || (!closed && failure != 0)) {
            error = "cannot write '" + path + "': " + std::strerror(failure != 0 ? failure : EIO);
            return false;
        }
        if (!closed) {
            error = "cannot finish the metafile '" + path + "'";
            return false;
        }
        return true;
    }

private:
    std::FILE* m_file = nullptr;
    HDC m_dc = 0;

    bool Stop() {
        if (m_dc == 0) {
            return true;
        }
        // Cleared first: a close that throws must not be tried again.
        const HDC dc = m_dc;
        m_dc = 0;
        const HENHMETAFILE metafile = ::CloseEnhMetaFileWithFILE(dc);
        if (metafile == 0) {
            return false;
        }
        ::DeleteEnhMetaFile(metafile);
        return true;
    }
};

// Maps logical units of 1/96 inch onto the reference device, whose pixels
// libEMF fixes (1024 x 768 on 320 x 240 mm, 81.28 per inch): viewport/window
// = device pixels per millimetre x 25.4 / 96, reduced to small integers
// (127/150 for that device). y keeps growing downwards, as in MM_TEXT.
bool MapPixels(HDC dc) {
    const int pixelsX = ::GetDeviceCaps(dc, HORZRES);
    const int pixelsY = ::GetDeviceCaps(dc, VERTRES);
    const int mmX = ::GetDeviceCaps(dc, HORZSIZE);
    const int mmY = ::GetDeviceCaps(dc, VERTSIZE);
    if (pixelsX <= 0 || pixelsY <= 0 || mmX <= 0 || mmY <= 0) {
        return false;
    }
    int viewportX = pixelsX * 254;
    int windowX = mmX * 960;
    int viewportY = pixelsY * 254;
    int windowY = mmY * 960;
    const int gx = std::gcd(viewportX, windowX);
    const int gy = std::gcd(viewportY, windowY);
    viewportX /= gx;
    windowX /= gx;
    viewportY /= gy;
    windowY /= gy;
    return ::SetMapMode(dc, MM_ANISOTROPIC) != 0 &&
           ::SetWindowExtEx(dc, windowX, windowY, nullptr) != 0 &&
           ::SetViewportExtEx(dc, viewportX, viewportY, nullptr) != 0;
}

// The description as "application\0title\0\0" in UTF-16. libEMF takes
// exactly that shape: it reads both parts and the final NUL even when the
// title is empty, so the title is always there, and anything after a second
// NUL is dropped.
std::vector<WCHAR> DescriptionText(const std::string& description) {
    const std::u16string utf16 = emf::TextToUtf16(description);
    const size_t appEnd = utf16.find(u'\0');
    const std::u16string app = utf16.substr(0, appEnd);
    std::u16string title;
    if (appEnd != std::u16string::npos) {
        title = utf16.substr(appEnd + 1);
        title = title.substr(0, title.find(u'\0'));
    }
    std::vector<WCHAR> text(app.begin(), app.end());
    text.push_back(0);
    text.insert(text.end(), title.begin(), title.end());
    text.push_back(0);
    text.push_back(0);
    return text;
}

} // namespace

// The header libEMF writes for a width x height picture: rclFrame is the
// frame passed here, (0, 0, width, height) pixels of 1/96 inch in hundredths
// of a millimetre; rclBounds is that frame in reference-device pixels
// (truncated); szlDevice and szlMillimeters are libEMF's reference device,
// 1024 x 768 pixels and 320 x 240 mm. With the mapping set up by MapPixels a
// logical unit is exactly 1/96 inch on that device, so the drawing fills the
// frame, and viewers that size a picture by its frame (all common ones) show
// it as width x height pixels at 96 per inch.
bool WriteEnhancedMetafile(const std::string& path, int width, int height,
                           const std::string& description, const DrawFunction& draw,
                           std::string& error) {
    if (width < 1 || height < 1 || width > kMaxPictureSide || height > kMaxPictureSide) {
        error = "A picture must be 1 to " + std::to_string(kMaxPictureSide) +
                " pixels wide and high, not " + std::to_string(width) + " x " +
                std::to_string(height) + ".";
        return false;
    }

    std::vector<WCHAR> describe;
    if (!description.empty()) {
        describe = DescriptionText(description);
    }

    CReplacementFile file;
    if (!file.Create(path, error)) {
        return false;
    }

    const RECT frame{0, 0, FrameUnits(width), FrameUnits(height)};
    {
        const std::lock_guard<std::mutex> lock(g_libEmfMutex);
        CRecording recording;
        if (!recording.Start(file.Fd(), path, frame, describe, error)) {
            return false;
        }
        if (!MapPixels(recording.Dc())) {
            error = "The picture could not be started.";
            return false;
        }
        bool drawn = false;
        {
            CEmfSurface surface(recording.Dc());
            drawn = draw && draw(surface);
        }
        if (!drawn) {
            error = "The picture could not be drawn.";
            return false;
        }
        if (!recording.Finish(path, error)) {
            return false;
        }
    }
    return file.Commit(error);
}

} // namespace doseplex
