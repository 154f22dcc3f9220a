#include "app/models/graph_calls.h"

#include "app/models/engine_calls.h"
#include "core/document.h"
#include "core/encoding.h"
#include "core/file_io.h"
#include "core/random.h"
#include "core/run_control.h"
#include "graph/build_graphs.h"
#include "graph/emf/metafile_writer.h"
#include "graph/qt/picture_writer.h"
#include "graph/qt/qpainter_surface.h"

#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QMimeData>
#include <QPainter>
#include <QTemporaryDir>

#include <mutex>

namespace doseplex::app {

namespace {

const char* const kMetafileDescription = "DosePlex Graph";

QImage GraphImage(CGraph& graph, int width, int height, bool monochrome, bool includeTitle) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    CQPainterSurface surface(painter);
    DrawGraphPicture(graph, surface, width, height, monochrome, includeTitle);
    return image;
}

} // namespace

std::optional<GraphList> BuildGraphsInBackground(QWidget* parent, CDoseplexDoc& doc,
                                                 const CGraphRequest& request) {
    GraphList graphs;
    const bool built = RunCancellable(
        parent, QStringLiteral("Building the graphs..."), [&](const CBuildControl& control) {
            const CRunControl run(
                [&control](long long done, long long total) {
                    if (control.m_progress) {
                        control.m_progress(static_cast<int>(done), static_cast<int>(total));
                    }
                },
                control.m_cancel);
            // The graphs' own generator, apart from the reports': its
            // bands come out in the order the windows are built.
            static CRandom random;
            static std::mutex mutex;
            const std::lock_guard lock(mutex);
            const CBuildTarget target =
                request.m_bSummary ? CBuildTarget::Summary() : CBuildTarget::Drug(request.m_nDrug);
            return BuildGraphs(doc, target, random, graphs, &run) != EBuildStatus::Cancelled;
        });
    if (!built) {
        return std::nullopt;
    }
    return graphs;
}

QByteArray GraphMetafileBytes(CGraph& graph, int width, int height, bool monochrome,
                              bool includeTitle) {
    // libEMF records into a file only; the bytes are read back from a
    // private folder.
    QTemporaryDir dir;
    if (!dir.isValid()) {
        return {};
    }
    const QString path = dir.filePath(QStringLiteral("graph.emf"));
    std::string error;
    if (!WriteEnhancedMetafile(
            path.toStdString(), width, height, kMetafileDescription,
            [&](IDrawSurface& surface) {
                return DrawGraphPicture(graph, surface, width, height, monochrome, includeTitle);
            },
            error)) {
        return {};
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return file.readAll();
}

QMimeData* GraphMimeData(CGraph& graph, EGraphCopy format, const CGraphPictureSettings& settings,
                         bool monochrome) {
    const int width = settings.m_nWidth;
    const int height = settings.m_nHeight;
    const bool title = settings.m_bIncludeTitle;
    auto data = std::make_unique<QMimeData>();
    switch (format) {
    case EGraphCopy::Metafile: {
        const QByteArray emf = GraphMetafileBytes(graph, width, height, monochrome, title);
        if (emf.isEmpty()) {
            return nullptr;
        }
        std::vector<std::uint8_t> svg;
        std::string error;
        if (!RenderPicture(
                EPictureFormat::Svg, width, height,
                [&](IDrawSurface& surface) {
                    return DrawGraphPicture(graph, surface, width, height, monochrome, title);
                },
                svg, error)) {
            return nullptr;
        }
        data->setData(QStringLiteral("image/x-emf"), emf);
        data->setData(QStringLiteral("image/svg+xml"),
                      QByteArray(reinterpret_cast<const char*>(svg.data()),
                                 static_cast<qsizetype>(svg.size())));
        data->setImageData(GraphImage(graph, width, height, monochrome, title));
        break;
    }
    case EGraphCopy::Bitmap:
        data->setImageData(GraphImage(graph, width, height, monochrome, title));
        break;
    case EGraphCopy::Data:
    case EGraphCopy::Curves: {
        graph.m_nCurvePoints = settings.m_nPoints;
        const std::string text =
            format == EGraphCopy::Data ? GraphDataText(graph) : GraphCurveText(graph);
        data->setText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
        break;
    }
    }
    return data.release();
}

EGraphFile GraphFileType(const QString& path) {
    // The suffix as typed: "BMP" is not taken for "bmp".
    const std::string ext = QFileInfo(path).suffix().toStdString();
    if (ext == "emf") {
        return EGraphFile::Metafile;
    }
    static const char* const kPictures[] = {"bmp", "jpg", "tif", "png", "svg", "pdf"};
    for (const char* picture : kPictures) {
        if (ext == picture) {
            return EGraphFile::Picture;
        }
    }
    return EGraphFile::Unknown;
}

bool WriteGraphPicture(CGraph& graph, const QString& path, int width, int height, bool includeTitle,
                       std::string& error) {
    const auto draw = [&](IDrawSurface& surface) {
        return DrawGraphPicture(graph, surface, width, height, false, includeTitle);
    };
    switch (GraphFileType(path)) {
    case EGraphFile::Metafile:
        return WriteEnhancedMetafile(path.toStdString(), width, height, kMetafileDescription, draw,
                                     error);
    case EGraphFile::Picture: {
        EPictureFormat format{};
        if (!PictureFormatFromExtension(QFileInfo(path).suffix().toStdString(), format)) {
            break;
        }
        return WritePicture(path.toStdString(), format, width, height, draw, error);
    }
    case EGraphFile::Unknown:
        break;
    }
    error = "unknown file type";
    return false;
}

bool WriteGraphText(const CGraph& graph, const QString& path, bool curves, std::string& error) {
    const std::string text = curves ? GraphCurveText(graph) : GraphDataText(graph);
    return WriteFileSafely(path.toStdString(), Utf8ToEightBit(text), error);
}

} // namespace doseplex::app
