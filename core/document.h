#pragma once

#include "core/drug_info.h"
#include "core/options.h"

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
    bool AddDrug(std::unique_ptr<CDrugInfo> record);
    // Puts `record` in place of the record at `id` (also in the summary
    // selection) and deletes the old one.
    bool ReplaceDrug(long long id, std::unique_ptr<CDrugInfo> record);
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

    // The file the experiment was read from or saved to (empty for a new
    // experiment) and the title shown for it.
    std::string m_strPathName;
    std::string m_strDocumentTitle;

    std::function<void()> m_onContentsChanged;

private:
    bool m_bModified = false;
};

// Milliseconds of a monotonic clock, truncated to 32 bits like a tick count.
std::uint32_t TickCount();

} // namespace doseplex
