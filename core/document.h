#pragma once

#include "core/drug_info.h"
#include "core/options.h"
#include "core/raw_sheet.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace doseplex {

// One experiment: its details, the drug list (a record's position is its drug
// id), the summary-graph selection and the per-experiment options.
class CDoseplexDoc {
public:
    CDoseplexDoc();
    CDoseplexDoc(const CDoseplexDoc&) = delete;
    CDoseplexDoc& operator=(const CDoseplexDoc&) = delete;

    // --- Drug list ------------------------------------------------------------
    CDrugInfo* GetDrug(long long id);
    const CDrugInfo* GetDrug(long long id) const;
    int DrugCount() const { return static_cast<int>(m_drugs.size()); }
    bool AddDrug(std::shared_ptr<CDrugInfo> record);
    // Puts `record` in place of the record at `id` (also in the summary
    // selection) and deletes the old one.
    bool ReplaceDrug(long long id, std::shared_ptr<CDrugInfo> record);
    // Refused while any record uses the drug as a component. On success the
    // drug leaves the summary selection and component ids above it drop by one.
    bool DeleteDrug(long long id);

    // --- Edits (each stamps the change time and sets the modified flag) ------
    void EditDetails(std::string title, std::string investigator, std::string date,
                     std::string notes);
    void EditOptions(const CAnalysisOptions& options);
    void EditGraphSetup(const CGraphOptions& options);
    // Fails (nothing changes) when a count is out of range (1..6, 1..4) or the
    // selection names a record that is not in the drug list.
    bool SelectSummaryGraphs(std::vector<CDrugInfo*> selection, int drugsPerMedianGraph,
                             int drugsPerCIGraph);

    // --- Change tracking ------------------------------------------------------
    void Touch();
    void SetModifiedFlag(bool modified = true) { m_bModified = modified; }
    bool IsModified() const { return m_bModified; }
    // Tells the listener (the main window's contents tree) that the set of
    // drugs or the experiment itself changed.
    void NotifyContentsChanged() const;

    // --- Document lifecycle ---------------------------------------------------
    // A new experiment: discards the raw-data sheet, sets the modified flag and
    // announces the change.
    bool OnNewDocument();
    // Reads the experiment file at `path` (.dpx of either generation). The file
    // is read into a fresh document whose options start as this document's
    // (a document created for the open holds the per-user defaults), so options
    // the file lacks keep those values. Only a complete read replaces this
    // document's contents; it then takes `path` and its file name as title,
    // clears the modified flag and announces the change. On failure a message
    // says why and the document is left exactly as it was.
    bool OnOpenDocument(const std::string& path);
    // Writes the experiment to `path` without ever leaving a partly written
    // file there: the bytes go to a temporary file in the same folder, which
    // replaces `path` only when completely written and synced. On failure a
    // message gives the reason and any old file stays as it was; on success
    // the modified flag is cleared and `path` becomes the document's path.
    bool OnSaveDocument(const std::string& path);
    // Clears the modified flag and announces the change.
    void OnCloseDocument();

    // --- Fields -------------------------------------------------------------
    std::string m_strTitle;
    std::string m_strNotes;
    std::string m_strDate;
    std::string m_strInvestigator;
    DrugList m_drugs;
    std::vector<CDrugInfo*> m_summaryDrugs; // non-owning, each also in m_drugs
    int m_nCurrentDrug = -1;
    std::uint32_t m_lastChange = 0;
    CAnalysisOptions m_analysis;
    CGraphOptions m_graph;
    int m_nDrugsPerMedianGraph = 5;
    int m_nDrugsPerCIGraph = 3;
    int m_bOpenSummaryReport = 0;
    int m_bOpenSummaryGraphs = 0;
    // The raw-data spreadsheet; null until a grid first shows the experiment.
    std::unique_ptr<CRawSheet> m_pRawData;

    // The file the experiment was read from or saved to (empty for a new
    // experiment) and the title shown for it.
    std::string m_strPathName;
    std::string m_strDocumentTitle;

    std::function<void()> m_onContentsChanged;

private:
    // Moves the experiment's contents (details, drugs, selection, options,
    // raw-data sheet) from `other`; path, listener and flags stay.
    void TakeContents(CDoseplexDoc& other);

    bool m_bModified = false;
};

// Milliseconds of a monotonic clock, truncated to 32 bits like a tick count.
std::uint32_t TickCount();

} // namespace doseplex
