#include "core/document_file.h"

#include "core/archive.h"
#include "core/document.h"
#include "core/encoding.h"
#include "core/message_sink.h"

#include <algorithm>
#include <cmath>
#include <new>

namespace doseplex {

const char* const kVersion1Warning =
    "Warning - You are about to open a DosePlex v1.x file. \nIf you save it in this version of "
    "DosePlex you will no longer be able to open it in DosePlex v1.x. \nIf you need to retain "
    "the existing file use File | Save As... to save a copy - the existing file will not be "
    "altered.";

const char* const kDisplayParametersMessage =
    "Doseplex was unable to read the display parameters.  If you have used a beta version of "
    "the program this may be an old file format.  Otherwise, you should not use this data.";

namespace {

// A combination of up to 20 drugs: the most a set of the text import holds.
// Files whose records have 6 or fewer components are the same as before.
constexpr std::uint16_t kMaxComponents = 20;
constexpr std::uint16_t kSummaryEnd = 0xFFFF;
// The fewest bytes a readable record or point can take, so that a stored
// count can be checked against the bytes left: a record of schema 0 with
// empty texts and no points (tag, three strings, two WORDs, the point count),
// and a single-drug point (tag, count, fa, dose).
constexpr std::size_t kMinRecordBytes = 2 + 3 + 2 + 2 + 2;
constexpr std::size_t kMinPointBytes = 2 + 2 + 8 + 8;

// --- Writing ------------------------------------------------------------------

void WriteText(CArchiveWriter& ar, const std::string& text) {
    ar.WriteString(Utf8ToStoredText(text));
}

// `count` values of `values`; missing entries are written as 0.
void WriteDoubles(CArchiveWriter& ar, const std::vector<double>& values, std::size_t count) {
    for (std::size_t k = 0; k < count; ++k) {
        ar.WriteDouble(k < values.size() ? values[k] : 0.0);
    }
}

// The file holds the constant-ratio flag as a WORD and decides by it whether
// the ratio follows, so a set flag must not become 0 when cut to 16 bits.
std::uint16_t ConstantRatioWord(int flag) {
    const auto word = static_cast<std::uint16_t>(flag);
    return word == 0 && flag != 0 ? 1 : word;
}

void WriteOverride(CArchiveWriter& ar, const CGraphOverride& graph) {
    ar.WriteLong(static_cast<std::uint32_t>(graph.m_bActive));
    ar.WriteLong(static_cast<std::uint32_t>(graph.m_bAutoX));
    ar.WriteDouble(graph.m_xMin);
    ar.WriteDouble(graph.m_xMax);
    ar.WriteLong(static_cast<std::uint32_t>(graph.m_bAutoY));
    ar.WriteDouble(graph.m_yMin);
    ar.WriteDouble(graph.m_yMax);
}

void WritePoint(CArchiveWriter& ar, const CDoseData& point) {
    if (!ar.WriteObjectTag(&point, kDoseDataClass, kDoseDataSchema)) {
        return;
    }
    ar.WriteWord(point.m_nComponents);
    ar.WriteDouble(point.m_fa);
    ar.WriteDouble(point.m_dose);
    if (point.m_nComponents >= 2) {
        WriteDoubles(ar, point.m_pRatio, point.m_nComponents);
    }
}

// Refuses a record the reader would refuse, so that no saved file is
// unreadable.
void CheckRecord(const CDrugInfo& record, std::size_t index, std::size_t drugCount) {
    const std::string which = "record " + std::to_string(index + 1);
    const std::uint16_t count = record.m_nComponents;
    if (count == 0 || count > kMaxComponents) {
        throw CArchiveException(which + " has " + std::to_string(count) + " components");
    }
    if (count >= 2 && record.m_pComponents.size() < count) {
        throw CArchiveException(which + " lacks component ids");
    }
    for (std::size_t k = 0; count >= 2 && k < count; ++k) {
        if (record.m_pComponents[k] >= drugCount) {
            throw CArchiveException(which + " refers to a drug that does not exist");
        }
    }
    for (const auto& point : record.m_points) {
        if (!point || point->m_nComponents != count) {
            throw CArchiveException(which + " holds a point of another component count");
        }
    }
}

void WriteRecord(CArchiveWriter& ar, const CDrugInfo& record) {
    if (!ar.WriteObjectTag(&record, kDrugInfoClass, kDrugInfoSchema)) {
        return;
    }
    WriteText(ar, record.m_strName);
    WriteText(ar, record.m_strUnits);
    WriteText(ar, record.m_strComment);
    const std::uint16_t constantRatio = ConstantRatioWord(record.m_bConstantRatio);
    ar.WriteWord(constantRatio);
    ar.WriteWord(record.m_nComponents);
    if (record.m_nComponents >= 2) {
        for (std::size_t k = 0; k < record.m_nComponents; ++k) {
            ar.WriteWord(record.m_pComponents[k]);
        }
        if (constantRatio != 0) {
            WriteDoubles(ar, record.m_pRatio, record.m_nComponents);
        }
    }
    for (const CGraphOverride& graph : record.m_graphOverride) {
        WriteOverride(ar, graph);
    }
    ar.WriteCount(record.m_points.size());
    for (const auto& point : record.m_points) {
        WritePoint(ar, *point);
    }
}

void WriteDisplayParameters(CArchiveWriter& ar, const CDoseplexDoc& doc) {
    const CAnalysisOptions& a = doc.m_analysis;
    const CGraphOptions& g = doc.m_graph;
    const auto word = [&ar](int value) { ar.WriteWord(static_cast<std::uint16_t>(value)); };
    word(a.m_nMonteCarlo);
    word(a.m_nErrorBand);
    word(a.m_nNonExCI);
    word(a.m_nDRI);
    word(a.m_nEffectTable);
    ar.WriteLong(static_cast<std::uint32_t>(a.m_nGraphRepeats));
    ar.WriteLong(static_cast<std::uint32_t>(a.m_nReportRepeats));
    for (const double value :
         {a.m_dEffectEnd, a.m_dEffectFirst, a.m_dEffectLast, a.m_dEffectStart, a.m_dEffectStep,
          a.m_dEffect1, a.m_dEffect2, a.m_dEffect3, a.m_dSdMultiple}) {
        ar.WriteDouble(value);
    }
    word(g.m_nGraphsPerRow);
    word(g.m_nGraphsPerPage);
    word(g.m_nLogPlots);
    word(g.m_nConservativeIso);
    word(g.m_nColourPrint);
    word(g.m_nNonExclusiveCI);
    // The two summary counts sit between NonExclusiveCI and CILine.
    word(doc.m_nDrugsPerMedianGraph);
    word(doc.m_nDrugsPerCIGraph);
    word(g.m_nCILine);
    word(g.m_nCIPoints);

    // Positions at or above 0xFFFF cannot be told from the terminator; a
    // selected record that is not in the list has no position at all.
    std::vector<const CDrugInfo*> written;
    for (const CDrugInfo* selected : doc.m_summaryDrugs) {
        if (std::find(written.begin(), written.end(), selected) != written.end()) {
            continue; // a drug is selected once
        }
        written.push_back(selected);
        const auto found = std::find_if(doc.m_drugs.begin(), doc.m_drugs.end(),
                                        [selected](const auto& r) { return r.get() == selected; });
        const auto position = found - doc.m_drugs.begin();
        if (found != doc.m_drugs.end() && position < kSummaryEnd) {
            ar.WriteWord(static_cast<std::uint16_t>(position));
        }
    }
    ar.WriteWord(kSummaryEnd);
}

// --- Reading ------------------------------------------------------------------

std::string ReadText(CArchiveReader& ar) {
    return EightBitToUtf8(ar.ReadString());
}

std::vector<double> ReadDoubles(CArchiveReader& ar, std::size_t count) {
    std::vector<double> values(count);
    for (double& value : values) {
        value = ar.ReadDouble();
    }
    return values;
}

// The tag of an object that the document owns at this place: it must be a
// new object of `className`.
CObjectTag ReadOwnedTag(CArchiveReader& ar, std::string_view className) {
    const std::size_t at = ar.Position();
    CObjectTag tag = ar.ReadObjectTag();
    const std::string where = " at byte " + std::to_string(at);
    if (tag.m_kind == CObjectTag::EKind::Null) {
        throw CArchiveException("missing " + std::string(className) + where);
    }
    if (tag.m_kind == CObjectTag::EKind::Reference) {
        // Every record and point has exactly one owner.
        throw CArchiveException("object stored twice" + where);
    }
    if (tag.m_strClass != className) {
        throw CArchiveException(tag.m_strClass + " where " + std::string(className) + " belongs" +
                                where);
    }
    return tag;
}

CGraphOverride ReadOverride(CArchiveReader& ar) {
    CGraphOverride graph;
    graph.m_bActive = static_cast<int>(ar.ReadLong());
    graph.m_bAutoX = static_cast<int>(ar.ReadLong());
    graph.m_xMin = ar.ReadDouble();
    graph.m_xMax = ar.ReadDouble();
    graph.m_bAutoY = static_cast<int>(ar.ReadLong());
    graph.m_yMin = ar.ReadDouble();
    graph.m_yMax = ar.ReadDouble();
    return graph;
}

std::unique_ptr<CDoseData> ReadPoint(CArchiveReader& ar, std::uint16_t recordComponents) {
    ReadOwnedTag(ar, kDoseDataClass);
    auto point = std::make_unique<CDoseData>();
    point->m_nComponents = ar.ReadWord();
    if (point->m_nComponents != recordComponents) {
        ar.Fail("point with " + std::to_string(point->m_nComponents) +
                " components in a record of " + std::to_string(recordComponents));
    }
    point->m_fa = ar.ReadDouble();
    point->m_dose = ar.ReadDouble();
    if (point->m_nComponents >= 2) {
        point->m_pRatio = ReadDoubles(ar, point->m_nComponents);
    }
    return point;
}

// Ascending dose, equal doses in stored order, as adding the points one by
// one would give. A dose that is not a number sorts last.
void SortPoints(std::vector<std::unique_ptr<CDoseData>>& points) {
    const auto before = [](const std::unique_ptr<CDoseData>& a,
                           const std::unique_ptr<CDoseData>& b) {
        const bool aNan = std::isnan(a->m_dose);
        const bool bNan = std::isnan(b->m_dose);
        return aNan || bNan ? !aNan && bNan : a->m_dose < b->m_dose;
    };
    if (!std::is_sorted(points.begin(), points.end(), before)) {
        std::stable_sort(points.begin(), points.end(), before);
    }
}

std::unique_ptr<CDrugInfo> ReadRecord(CArchiveReader& ar) {
    const CObjectTag tag = ReadOwnedTag(ar, kDrugInfoClass);
    auto record = std::make_unique<CDrugInfo>();
    record->m_strName = ReadText(ar);
    record->m_strUnits = ReadText(ar);
    record->m_strComment = ReadText(ar);
    record->m_bConstantRatio = ar.ReadWord();
    const std::uint16_t count = ar.ReadWord();
    if (count == 0 || count > kMaxComponents) {
        ar.Fail("record with " + std::to_string(count) + " components");
    }
    record->m_nComponents = count;
    if (count >= 2) {
        record->m_pComponents.resize(count);
        for (std::uint16_t& id : record->m_pComponents) {
            id = ar.ReadWord();
        }
        if (record->m_bConstantRatio != 0) {
            record->m_pRatio = ReadDoubles(ar, count);
        }
    }
    if (tag.m_nSchema >= 1) {
        for (CGraphOverride& graph : record->m_graphOverride) {
            graph = ReadOverride(ar);
        }
    }
    const std::size_t points = ar.ReadCount(kMinPointBytes);
    for (std::size_t i = 0; i < points; ++i) {
        record->m_points.push_back(ReadPoint(ar, count));
    }
    SortPoints(record->m_points);
    record->Fit();
    return record;
}

void ReadDisplayParameters(CArchiveReader& ar, CDoseplexDoc& doc) {
    CAnalysisOptions& a = doc.m_analysis;
    CGraphOptions& g = doc.m_graph;
    // Each value is stored as soon as it is read: a file that ends early keeps
    // what it holds.
    a.m_nMonteCarlo = ar.ReadWord();
    a.m_nErrorBand = ar.ReadWord();
    a.m_nNonExCI = ar.ReadWord();
    a.m_nDRI = ar.ReadWord();
    a.m_nEffectTable = ar.ReadWord();
    a.m_nGraphRepeats = static_cast<int>(ar.ReadLong());
    a.m_nReportRepeats = static_cast<int>(ar.ReadLong());
    for (double* value :
         {&a.m_dEffectEnd, &a.m_dEffectFirst, &a.m_dEffectLast, &a.m_dEffectStart, &a.m_dEffectStep,
          &a.m_dEffect1, &a.m_dEffect2, &a.m_dEffect3, &a.m_dSdMultiple}) {
        *value = ar.ReadDouble();
    }
    g.m_nGraphsPerRow = ar.ReadWord();
    g.m_nGraphsPerPage = ar.ReadWord();
    g.m_nLogPlots = ar.ReadWord();
    g.m_nConservativeIso = ar.ReadWord();
    g.m_nColourPrint = ar.ReadWord();
    g.m_nNonExclusiveCI = ar.ReadWord();
    doc.m_nDrugsPerMedianGraph = ar.ReadWord();
    doc.m_nDrugsPerCIGraph = ar.ReadWord();
    g.m_nCILine = ar.ReadWord();
    g.m_nCIPoints = ar.ReadWord();

    // A drug is either selected or not: a position stored again adds nothing
    // (and must not multiply the summary graphs).
    std::vector<bool> selected(doc.m_drugs.size(), false);
    for (std::uint16_t position = ar.ReadWord(); position != kSummaryEnd;
         position = ar.ReadWord()) {
        if (position < doc.m_drugs.size() && !selected[position]) {
            selected[position] = true;
            doc.m_summaryDrugs.push_back(doc.m_drugs[position].get());
        }
    }
}

void Read(CArchiveReader& ar, CDoseplexDoc& doc) {
    const std::string first = ar.ReadString();
    const bool current = first == kDocumentMarker;
    if (current) {
        doc.m_strTitle = ReadText(ar);
    } else {
        ShowMessage(kVersion1Warning);
        doc.m_strTitle = EightBitToUtf8(first);
    }
    doc.m_strNotes = ReadText(ar);
    doc.m_strDate = ReadText(ar);
    doc.m_strInvestigator = ReadText(ar);

    if (current) {
        const CObjectTag tag = ar.ReadObjectTag();
        if (tag.m_kind != CObjectTag::EKind::Null) {
            if (tag.m_kind != CObjectTag::EKind::New || tag.m_strClass != kRawSheetClass) {
                ar.Fail(tag.m_strClass + " where the raw data sheet belongs");
            }
            if (tag.m_nSchema != kRawSheetSchema) {
                ar.Fail("raw data sheet of schema " + std::to_string(tag.m_nSchema));
            }
            auto sheet = std::make_unique<CRawSheet>();
            sheet->Read(ar);
            doc.m_pRawData = std::move(sheet);
        }
    }

    const std::size_t records = ar.ReadCount(kMinRecordBytes);
    for (std::size_t i = 0; i < records; ++i) {
        doc.m_drugs.push_back(ReadRecord(ar));
    }
    // Combinations name their components by position, so every id must be
    // one; the analysis would otherwise look up records that do not exist.
    for (std::size_t i = 0; i < doc.m_drugs.size(); ++i) {
        for (const std::uint16_t id : doc.m_drugs[i]->m_pComponents) {
            if (id >= doc.m_drugs.size()) {
                throw CArchiveException("record " + std::to_string(i + 1) + " refers to drug id " +
                                        std::to_string(id) + ", which does not exist");
            }
        }
    }

    try {
        ReadDisplayParameters(ar, doc);
    } catch (const CArchiveException&) {
        ShowMessage(kDisplayParametersMessage);
    }
}

} // namespace

bool HasDocumentMarker(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < kDocumentMarker.size() + 1 || bytes[0] != kDocumentMarker.size()) {
        return false;
    }
    return std::equal(kDocumentMarker.begin(), kDocumentMarker.end(), bytes.begin() + 1,
                      [](char c, std::uint8_t b) { return static_cast<std::uint8_t>(c) == b; });
}

namespace {

// Runs `work`, turning an archive error or exhausted memory into false and
// the reason in `error`.
template <class Work> bool Guarded(std::string* error, Work&& work) {
    try {
        work();
        return true;
    } catch (const CArchiveException& e) {
        if (error) {
            *error = e.what();
        }
    } catch (const std::bad_alloc&) {
        if (error) {
            *error = "out of memory";
        }
    }
    return false;
}

} // namespace

bool WriteDocument(const CDoseplexDoc& doc, std::vector<std::uint8_t>& bytes, std::string* error) {
    return Guarded(error, [&] {
        for (std::size_t i = 0; i < doc.m_drugs.size(); ++i) {
            CheckRecord(*doc.m_drugs[i], i, doc.m_drugs.size());
        }
        CArchiveWriter ar;
        ar.WriteString(kDocumentMarker);
        WriteText(ar, doc.m_strTitle);
        WriteText(ar, doc.m_strNotes);
        WriteText(ar, doc.m_strDate);
        WriteText(ar, doc.m_strInvestigator);
        if (doc.m_pRawData) {
            ar.WriteObjectTag(doc.m_pRawData.get(), kRawSheetClass, kRawSheetSchema);
            doc.m_pRawData->Write(ar);
        } else {
            ar.WriteNullObject();
        }
        ar.WriteCount(doc.m_drugs.size());
        for (const auto& record : doc.m_drugs) {
            WriteRecord(ar, *record);
        }
        WriteDisplayParameters(ar, doc);
        bytes = ar.TakeBytes();
    });
}

bool ReadDocument(std::span<const std::uint8_t> bytes, CDoseplexDoc& doc, std::string* error) {
    return Guarded(error, [&] {
        CArchiveReader ar(bytes, {std::string(kDrugInfoClass), std::string(kDoseDataClass),
                                  std::string(kRawSheetClass)});
        Read(ar, doc);
    });
}

} // namespace doseplex
