#pragma once

// The changes of the experiment's drug list as undoable commands: adding,
// replacing and deleting a record. Each command makes its change once
// through Apply(), before it goes on the undo stack, so that a refused
// change never reaches the stack; afterwards Undo and Redo move the list
// between the states before and after. After every change the handler hears
// what changed, so the windows can follow.

#include "core/document.h"

#include <QUndoCommand>

#include <functional>
#include <memory>
#include <vector>

namespace doseplex::app {

enum class EDrugChange {
    Added,    // a record was appended at `id`
    Replaced, // the record at `id` is another one now
    Removed,  // the record at `id` left the list; later ids dropped by one
    Inserted, // a record came back at `id`; later ids grew by one
};

// `renamed`: the record at `id` has another name than before the change.
using DrugChangeHandler = std::function<void(EDrugChange change, int id, bool renamed)>;

class CDrugCommand : public QUndoCommand {
public:
    // Makes the change; false when the document refuses it.
    virtual bool Apply() = 0;
    void redo() final;

protected:
    CDrugCommand(CDoseplexDoc& doc, DrugChangeHandler handler, const QString& text)
        : QUndoCommand(text), m_doc(doc), m_handler(std::move(handler)) {}
    // Redo after an Undo.
    virtual void Reapply() = 0;
    void Notify(EDrugChange change, int id, bool renamed) const;

    CDoseplexDoc& m_doc;

private:
    DrugChangeHandler m_handler;
    bool m_bApplied = false;
};

class CAddDrugCommand final : public CDrugCommand {
public:
    CAddDrugCommand(CDoseplexDoc& doc, std::shared_ptr<CDrugInfo> record,
                    DrugChangeHandler handler);
    bool Apply() override;
    void undo() override;

private:
    void Reapply() override { Apply(); }

    std::shared_ptr<CDrugInfo> m_record;
    int m_nId = -1;
};

class CReplaceDrugCommand final : public CDrugCommand {
public:
    CReplaceDrugCommand(CDoseplexDoc& doc, int id, std::shared_ptr<CDrugInfo> record,
                        DrugChangeHandler handler);
    bool Apply() override;
    void undo() override;

private:
    void Reapply() override { Apply(); }

    int m_nId;
    std::shared_ptr<CDrugInfo> m_record;
    std::shared_ptr<CDrugInfo> m_old;
};

class CDeleteDrugCommand final : public CDrugCommand {
public:
    CDeleteDrugCommand(CDoseplexDoc& doc, int id, DrugChangeHandler handler);
    bool Apply() override;
    void undo() override;

private:
    void Reapply() override;

    int m_nId;
    // The list as it was: its records, each record's component ids (which
    // the deletion renumbers) and the summary selection.
    DrugList m_drugsBefore;
    std::vector<std::vector<std::uint16_t>> m_componentsBefore;
    std::vector<CDrugInfo*> m_summaryBefore;
    std::vector<CDrugInfo*> m_summaryAfter;
};

} // namespace doseplex::app
