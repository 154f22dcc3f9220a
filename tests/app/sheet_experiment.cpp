// Test helper of the end-to-end test: writes an experiment file whose raw-data
// sheet holds the given cells, so that the Add Drug Wizard has columns to read
// before the program offers a grid to type them in.
//
// Usage: sheet_experiment IN.dpx OUT.dpx CELL=TEXT...   (CELL like B7)

#include "core/document.h"
#include "entry/cell_range.h"

#include <cstdio>
#include <memory>
#include <string>

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: sheet_experiment IN.dpx OUT.dpx CELL=TEXT...\n");
        return 2;
    }
    doseplex::CDoseplexDoc doc;
    if (!doc.OnOpenDocument(argv[1])) {
        return 1;
    }
    doc.m_pRawData = std::make_unique<doseplex::CRawSheet>();
    for (int i = 3; i < argc; ++i) {
        const std::string assignment = argv[i];
        const auto equals = assignment.find('=');
        const auto cell = doseplex::entry::ParseCellName(assignment.substr(0, equals));
        if (equals == std::string::npos || !cell ||
            !doc.m_pRawData->SetText(cell->m_nRow, cell->m_nColumn,
                                     assignment.substr(equals + 1))) {
            std::fprintf(stderr, "not a cell assignment: %s\n", argv[i]);
            return 2;
        }
    }
    return doc.OnSaveDocument(argv[2]) ? 0 : 1;
}
