#pragma once

// The graph windows' door to the graph engine: building a window's graphs
// off the window thread, and the pictures and texts of one graph for the
// clipboard and for files.

#include "graph/graph.h"
#include "graph/graph_export.h"

#include <QString>

#include <optional>

class QMimeData;
class QWidget;

namespace doseplex {
class CDoseplexDoc;
}

namespace doseplex::app {

// What a graph window shows: the summary graphs or one record's graphs.
struct CGraphRequest {
    bool m_bSummary = false;
    int m_nDrug = -1;
};

// Builds the graphs of `request` on a worker thread behind the delayed
// progress dialog with Cancel (the Monte Carlo band may take long). Nothing
// when the user cancelled; an empty list when there is nothing to draw (a
// refused record's message has been shown by then).
std::optional<GraphList> BuildGraphsInBackground(QWidget* parent, CDoseplexDoc& doc,
                                                 const CGraphRequest& request);

// What a copy puts on the clipboard.
enum class EGraphCopy { Metafile = 0, Bitmap = 1, Data = 2, Curves = 3 };

// The clipboard contents of one graph. Metafile: the enhanced metafile
// under "image/x-emf", with SVG ("image/svg+xml") and the bitmap beside it,
// so that a program that cannot take the metafile still gets a picture.
// Bitmap: the image only. Data and Curves: the export text as plain text
// (the curves sampled at `settings.m_nPoints`). The graph's colour and title
// flags are as before afterwards. Null when a picture could not be made.
QMimeData* GraphMimeData(CGraph& graph, EGraphCopy format, const CGraphPictureSettings& settings,
                         bool monochrome);

// The enhanced metafile of the graph as bytes; empty on failure.
QByteArray GraphMetafileBytes(CGraph& graph, int width, int height, bool monochrome,
                              bool includeTitle);

// The file types an exported picture can have, by lower-case extension.
enum class EGraphFile { Unknown, Picture, Metafile };
EGraphFile GraphFileType(const QString& path);

// Writes the graph as a picture in the format the path's extension names
// (compared in lower case exactly: "bmp", "jpg", "tif", "emf", "png", "svg",
// "pdf"), in colour, replacing the file only once complete. False with a
// reason in `error`.
bool WriteGraphPicture(CGraph& graph, const QString& path, int width, int height, bool includeTitle,
                       std::string& error);
// Writes the data text (`curves` false) or the curve text as 8-bit text.
bool WriteGraphText(const CGraph& graph, const QString& path, bool curves, std::string& error);

} // namespace doseplex::app
