#include "core/document.h"

#include "core/document_file.h"
#include "core/file_io.h"
#include "core/message_sink.h"

#include <algorithm>
#include <chrono>
#include <filesystem>

namespace doseplex {

std::uint32_t TickCount() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<std::uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

CDoseplexDoc::CDoseplexDoc() : m_lastChange(TickCount()) {}

CDrugInfo* CDoseplexDoc::GetDrug(long long id) {
    return const_cast<CDrugInfo*>(FindDrug(m_drugs, id));
}

const CDrugInfo* CDoseplexDoc::GetDrug(long long id) const {
    return FindDrug(m_drugs, id);
}

bool CDoseplexDoc::AddDrug(std::shared_ptr<CDrugInfo> record) {
    if (!record) {
        return false;
    }
    m_drugs.push_back(std::move(record));
    return true;
}

bool CDoseplexDoc::ReplaceDrug(long long id, std::shared_ptr<CDrugInfo> record) {
    CDrugInfo* old = GetDrug(id);
    if (!old || !record) {
        return false;
    }
    std::replace(m_summaryDrugs.begin(), m_summaryDrugs.end(), old, record.get());
    m_drugs[static_cast<size_t>(id)] = std::move(record);
    return true;
}

bool CDoseplexDoc::DeleteDrug(long long id) {
    CDrugInfo* record = GetDrug(id);
    if (!record) {
        return false;
    }
    // A drug list longer than the 16-bit id range cannot refer to the ids
    // above it, so only ids in range need the component check.
    const bool representable = id <= 0xFFFF;
    const auto componentId = static_cast<std::uint16_t>(id);
    if (representable) {
        for (const auto& other : m_drugs) {
            if (!other->DoesNotUse(componentId)) {
                return false;
            }
        }
    }
    std::erase(m_summaryDrugs, record);
    m_drugs.erase(m_drugs.begin() + id);
    if (representable) {
        for (auto& other : m_drugs) {
            other->ComponentRemoved(componentId);
        }
    }
    return true;
}

void CDoseplexDoc::EditDetails(std::string title, std::string investigator, std::string date,
                               std::string notes) {
    m_strTitle = std::move(title);
    m_strInvestigator = std::move(investigator);
    m_strDate = std::move(date);
    m_strNotes = std::move(notes);
    Touch();
    SetModifiedFlag(true);
}

void CDoseplexDoc::EditOptions(const CAnalysisOptions& options) {
    m_analysis = options;
    Touch();
    SetModifiedFlag(true);
}

void CDoseplexDoc::EditGraphSetup(const CGraphOptions& options) {
    m_graph = options;
    Touch();
    SetModifiedFlag(true);
}

bool CDoseplexDoc::SelectSummaryGraphs(std::vector<CDrugInfo*> selection, int drugsPerMedianGraph,
                                       int drugsPerCIGraph) {
    if (drugsPerMedianGraph < 1 || drugsPerMedianGraph > 6 || drugsPerCIGraph < 1 ||
        drugsPerCIGraph > 4) {
        return false;
    }
    for (CDrugInfo* record : selection) {
        const bool known = std::any_of(m_drugs.begin(), m_drugs.end(), [record](const auto& owned) {
            return owned.get() == record;
        });
        if (!known) {
            return false;
        }
    }
    m_summaryDrugs = std::move(selection);
    m_nDrugsPerMedianGraph = drugsPerMedianGraph;
    m_nDrugsPerCIGraph = drugsPerCIGraph;
    Touch();
    SetModifiedFlag(true);
    return true;
}

void CDoseplexDoc::Touch() {
    // Windows rebuild when the stamp differs from the one they were built
    // at; two changes within one millisecond must still give a new stamp.
    const std::uint32_t now = TickCount();
    m_lastChange = now != m_lastChange ? now : now + 1;
}

void CDoseplexDoc::NotifyContentsChanged() const {
    if (m_onContentsChanged) {
        m_onContentsChanged();
    }
}

namespace {

// The part of `path` after its last '/' or '\\'.
std::string FileTitle(const std::string& path) {
    const size_t separator = path.find_last_of("/\\");
    return separator == std::string::npos ? path : path.substr(separator + 1);
}

// The absolute form of `path`, which reports show as the experiment's file.
std::string FullPath(const std::string& path) {
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(path, ec);
    return ec ? path : absolute.lexically_normal().string();
}

} // namespace

void CDoseplexDoc::TakeContents(CDoseplexDoc& other) {
    m_strTitle = std::move(other.m_strTitle);
    m_strNotes = std::move(other.m_strNotes);
    m_strDate = std::move(other.m_strDate);
    m_strInvestigator = std::move(other.m_strInvestigator);
    m_drugs = std::move(other.m_drugs);
    m_summaryDrugs = std::move(other.m_summaryDrugs);
    m_analysis = other.m_analysis;
    m_graph = other.m_graph;
    m_nDrugsPerMedianGraph = other.m_nDrugsPerMedianGraph;
    m_nDrugsPerCIGraph = other.m_nDrugsPerCIGraph;
    m_pRawData = std::move(other.m_pRawData);
    m_nCurrentDrug = -1;
    m_bOpenSummaryReport = 0;
    m_bOpenSummaryGraphs = 0;
    Touch();
}

bool CDoseplexDoc::OnNewDocument() {
    m_pRawData.reset();
    SetModifiedFlag(true);
    NotifyContentsChanged();
    return true;
}

bool CDoseplexDoc::OnOpenDocument(const std::string& path) {
    std::vector<std::uint8_t> bytes;
    std::string reason;
    if (!ReadFileBytes(path, bytes, reason)) {
        ShowMessage("Unable to open \"" + path + "\".\n" + reason + ".");
        return false;
    }
    // Read into a document of its own: a file that fails half-way must not
    // leave this experiment (or its raw-data sheet) half replaced.
    CDoseplexDoc loaded;
    loaded.m_analysis = m_analysis;
    loaded.m_graph = m_graph;
    if (!ReadDocument(bytes, loaded, &reason)) {
        ShowMessage("Unable to open \"" + path +
                    "\".\nThe file is damaged or is not a DosePlex experiment (" + reason + ").");
        return false;
    }
    TakeContents(loaded);
    m_strPathName = FullPath(path);
    m_strDocumentTitle = FileTitle(path);
    SetModifiedFlag(false);
    NotifyContentsChanged();
    return true;
}

bool CDoseplexDoc::OnSaveDocument(const std::string& path) {
    std::vector<std::uint8_t> bytes;
    std::string reason;
    if (!WriteDocument(*this, bytes, &reason) || !WriteFileSafely(path, bytes, reason)) {
        ShowMessage("Unable to save \"" + path + "\".\n" + reason + ".");
        return false;
    }
    m_strPathName = FullPath(path);
    m_strDocumentTitle = FileTitle(path);
    SetModifiedFlag(false);
    return true;
}

void CDoseplexDoc::OnCloseDocument() {
    SetModifiedFlag(false);
    NotifyContentsChanged();
}

} // namespace doseplex
