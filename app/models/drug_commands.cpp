#include "app/models/drug_commands.h"

#include <algorithm>

namespace doseplex::app {

void CDrugCommand::redo() {
    // The first Redo comes when the command is pushed, after Apply().
    if (m_bApplied) {
        Reapply();
    }
    m_bApplied = true;
}

void CDrugCommand::Notify(EDrugChange change, int id, bool renamed) const {
    if (m_handler) {
        m_handler(change, id, renamed);
    }
}

CAddDrugCommand::CAddDrugCommand(CDoseplexDoc& doc, std::shared_ptr<CDrugInfo> record,
                                 DrugChangeHandler handler)
    : CDrugCommand(doc, std::move(handler),
                   QStringLiteral("Add %1").arg(QString::fromStdString(record->m_strName))),
      m_record(std::move(record)) {}

bool CAddDrugCommand::Apply() {
    if (!m_doc.AddDrug(m_record)) {
        return false;
    }
    m_nId = m_doc.DrugCount() - 1;
    Notify(EDrugChange::Added, m_nId, false);
    return true;
}

void CAddDrugCommand::undo() {
    // The stack undoes every later change first, so the record is last
    // again and nothing refers to it.
    if (m_doc.DeleteDrug(m_nId)) {
        Notify(EDrugChange::Removed, m_nId, false);
    }
}

CReplaceDrugCommand::CReplaceDrugCommand(CDoseplexDoc& doc, int id,
                                         std::shared_ptr<CDrugInfo> record,
                                         DrugChangeHandler handler)
    : CDrugCommand(doc, std::move(handler),
                   QStringLiteral("Edit %1").arg(QString::fromStdString(record->m_strName))),
      m_nId(id), m_record(std::move(record)) {}

bool CReplaceDrugCommand::Apply() {
    if (m_nId < 0 || m_nId >= m_doc.DrugCount()) {
        return false;
    }
    m_old = m_doc.m_drugs[static_cast<std::size_t>(m_nId)];
    if (!m_doc.ReplaceDrug(m_nId, m_record)) {
        return false;
    }
    Notify(EDrugChange::Replaced, m_nId, m_old->m_strName != m_record->m_strName);
    return true;
}

void CReplaceDrugCommand::undo() {
    if (m_doc.ReplaceDrug(m_nId, m_old)) {
        Notify(EDrugChange::Replaced, m_nId, m_old->m_strName != m_record->m_strName);
    }
}

CDeleteDrugCommand::CDeleteDrugCommand(CDoseplexDoc& doc, int id, DrugChangeHandler handler)
    : CDrugCommand(doc, std::move(handler),
                   QStringLiteral("Delete %1")
                       .arg(doc.GetDrug(id) ? QString::fromStdString(doc.GetDrug(id)->m_strName)
                                            : QString())),
      m_nId(id) {}

bool CDeleteDrugCommand::Apply() {
    m_drugsBefore = m_doc.m_drugs;
    m_componentsBefore.clear();
    for (const auto& record : m_drugsBefore) {
        m_componentsBefore.push_back(record->m_pComponents);
    }
    m_summaryBefore = m_doc.m_summaryDrugs;
    if (!m_doc.DeleteDrug(m_nId)) {
        return false;
    }
    m_summaryAfter = m_doc.m_summaryDrugs;
    Notify(EDrugChange::Removed, m_nId, false);
    return true;
}

void CDeleteDrugCommand::Reapply() {
    Apply();
}

void CDeleteDrugCommand::undo() {
    // The records are the same objects as before the deletion; only their
    // component ids were renumbered.
    m_doc.m_drugs = m_drugsBefore;
    for (std::size_t i = 0; i < m_drugsBefore.size(); ++i) {
        m_drugsBefore[i]->m_pComponents = m_componentsBefore[i];
    }
    // A selection changed since the deletion is the user's newer choice.
    if (m_doc.m_summaryDrugs == m_summaryAfter) {
        m_doc.m_summaryDrugs = m_summaryBefore;
    }
    Notify(EDrugChange::Inserted, m_nId, false);
}

} // namespace doseplex::app
