#include "graph/qt/picture_writer.h"

#include "core/file_io.h"
#include "graph/qt/qpainter_surface.h"

#include <QBuffer>
#include <QByteArray>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSvgGenerator>

#include <span>

namespace doseplex {

namespace {

constexpr int kMaxPictureSide = 16384;
const char* const kPictureTitle = "DosePlex Graph";

// Draws with `draw` on an active painter; false with the reason when the
// painter could not start or the drawing failed.
bool DrawOn(QPainter& painter, const DrawFunction& draw, std::string& error) {
    if (!painter.isActive()) {
        error = "The picture could not be started.";
        return false;
    }
    CQPainterSurface surface(painter);
    const bool drawn = draw && draw(surface);
    painter.end();
    if (!drawn) {
        error = "The picture could not be drawn.";
        return false;
    }
    return true;
}

bool RenderRaster(EPictureFormat format, int width, int height, const DrawFunction& draw,
                  QByteArray& data, std::string& error) {
    const char* name = "png";
    const char* label = "PNG";
    switch (format) {
    case EPictureFormat::Bmp:
        name = "bmp";
        label = "BMP";
        break;
    case EPictureFormat::Jpeg:
        name = "jpeg";
        label = "JPEG";
        break;
    case EPictureFormat::Tiff:
        name = "tiff";
        label = "TIFF";
        break;
    default:
        break;
    }
    // Before drawing: a missing image plugin should not cost a whole drawing.
    if (!QImageWriter::supportedImageFormats().contains(QByteArray(name))) {
        error = std::string("This system cannot write ") + label + " pictures.";
        return false;
    }

    QImage image(width, height, QImage::Format_RGB32);
    if (image.isNull()) {
        error = "There is not enough memory for a picture of " + std::to_string(width) + " x " +
                std::to_string(height) + " pixels.";
        return false;
    }
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        if (!DrawOn(painter, draw, error)) {
            return false;
        }
    }

    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, name);
    if (!writer.canWrite()) {
        error = std::string("This system cannot write ") + label + " pictures.";
        return false;
    }
    if (format == EPictureFormat::Jpeg) {
        writer.setQuality(95);
    } else if (format == EPictureFormat::Tiff &&
               writer.supportsOption(QImageIOHandler::CompressionRatio)) {
        writer.setCompression(1); // LZW: lossless and widely read
    }
    // The BMP writer stores an RGB32 image with 24 bits a pixel.
    if (!writer.write(image)) {
        error = std::string("The ") + label +
                " picture could not be encoded: " + writer.errorString().toStdString();
        return false;
    }
    return true;
}

bool RenderSvg(int width, int height, const DrawFunction& draw, QByteArray& data,
               std::string& error) {
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    QSvgGenerator generator;
    generator.setOutputDevice(&buffer);
    generator.setSize(QSize(width, height));
    generator.setViewBox(QRect(0, 0, width, height));
    generator.setResolution(96); // pixels of 1/96 inch, as CSS counts them
    generator.setTitle(QString::fromUtf8(kPictureTitle));
    QPainter painter(&generator);
    return DrawOn(painter, draw, error);
}

bool RenderPdf(int width, int height, const DrawFunction& draw, QByteArray& data,
               std::string& error) {
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    writer.setTitle(QString::fromUtf8(kPictureTitle));
    writer.setCreator(QStringLiteral("DosePlex"));
    // One page the size of the picture, a pixel being 1/96 inch.
    const QPageSize pageSize(QSizeF(width / 96.0, height / 96.0), QPageSize::Inch, QString(),
                             QPageSize::ExactMatch);
    if (!writer.setPageLayout(QPageLayout(pageSize, QPageLayout::Portrait, QMarginsF(0, 0, 0, 0),
                                          QPageLayout::Point, QMarginsF(0, 0, 0, 0)))) {
        error = "The PDF page could not be set up.";
        return false;
    }
    QPainter painter(&writer);
    if (painter.isActive()) {
        // The picture's pixels fill the page at the writer's resolution.
        painter.setWindow(0, 0, width, height);
        painter.setViewport(0, 0, writer.width(), writer.height());
    }
    return DrawOn(painter, draw, error);
}

} // namespace

bool PictureFormatFromExtension(const std::string& ext, EPictureFormat& format) {
    static const struct {
        const char* ext;
        EPictureFormat format;
    } kFormats[] = {
        {"bmp", EPictureFormat::Bmp},   {"jpg", EPictureFormat::Jpeg},
        {"jpeg", EPictureFormat::Jpeg}, {"tif", EPictureFormat::Tiff},
        {"tiff", EPictureFormat::Tiff}, {"png", EPictureFormat::Png},
        {"svg", EPictureFormat::Svg},   {"pdf", EPictureFormat::Pdf},
    };
    for (const auto& entry : kFormats) {
        if (ext == entry.ext) {
            format = entry.format;
            return true;
        }
    }
    return false;
}

bool RenderPicture(EPictureFormat format, int width, int height, const DrawFunction& draw,
                   std::vector<std::uint8_t>& bytes, std::string& error) {
    bytes.clear();
    if (width < 1 || height < 1 || width > kMaxPictureSide || height > kMaxPictureSide) {
        error = "A picture must be 1 to " + std::to_string(kMaxPictureSide) +
                " pixels wide and high, not " + std::to_string(width) + " x " +
                std::to_string(height) + ".";
        return false;
    }
    if (!EnsureGuiApplication()) {
        error = "Pictures cannot be drawn without a Qt GUI application.";
        return false;
    }

    QByteArray data;
    bool rendered = false;
    switch (format) {
    case EPictureFormat::Bmp:
    case EPictureFormat::Jpeg:
    case EPictureFormat::Tiff:
    case EPictureFormat::Png:
        rendered = RenderRaster(format, width, height, draw, data, error);
        break;
    case EPictureFormat::Svg:
        rendered = RenderSvg(width, height, draw, data, error);
        break;
    case EPictureFormat::Pdf:
        rendered = RenderPdf(width, height, draw, data, error);
        break;
    }
    if (!rendered) {
        return false;
    }
    if (data.isEmpty()) {
        error = "The picture came out empty.";
        return false;
    }
    const auto* begin = reinterpret_cast<const std::uint8_t*>(data.constData());
    bytes.assign(begin, begin + data.size());
    return true;
}

bool WritePicture(const std::string& path, EPictureFormat format, int width, int height,
                  const DrawFunction& draw, std::string& error) {
    std::vector<std::uint8_t> bytes;
    if (!RenderPicture(format, width, height, draw, bytes, error)) {
        return false;
    }
    return WriteFileSafely(path, std::span<const std::uint8_t>(bytes), error);
}

namespace {

QtMessageHandler g_previousHandler = nullptr;

// Drops Qt's notice that it picked a runtime folder of its own, which a
// command line without a desktop session would otherwise print on every run;
// every other message goes on as before.
void QuietRuntimeDirHandler(QtMsgType type, const QMessageLogContext& context,
                            const QString& message) {
    if (message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set"))) {
        return;
    }
    if (g_previousHandler != nullptr) {
        g_previousHandler(type, context, message);
    } else {
        qt_message_output(type, context, message);
    }
}

} // namespace

bool EnsureGuiApplication() {
    if (QCoreApplication* app = QCoreApplication::instance()) {
        return qobject_cast<QGuiApplication*>(app) != nullptr;
    }
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        !qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    // The application keeps references to its arguments for its whole life,
    // and it is never destroyed: Qt objects may still use it while static
    // objects are torn down.
    if (g_previousHandler == nullptr) {
        g_previousHandler = qInstallMessageHandler(QuietRuntimeDirHandler);
    }
    static int argc = 1;
    static char name[] = "doseplex";
    static char* argv[] = {name, nullptr};
    static QGuiApplication* const app = new QGuiApplication(argc, argv);
    return app != nullptr && QCoreApplication::instance() == app;
}

} // namespace doseplex
