#pragma once

namespace doseplex {

// A user's axis override for one graph kind of one drug record. A record keeps
// six of them, one per graph kind, in a fixed order (see EGraphKind).
struct CGraphOverride {
    int m_bActive = 0; // 1 once the user confirmed the graph properties
    int m_bAutoX = 1;
    double m_xMin = 0.0;
    double m_xMax = 0.0;
    int m_bAutoY = 1;
    double m_yMin = 0.0;
    double m_yMax = 0.0;

    bool operator==(const CGraphOverride&) const = default;
};

// Positions of the overrides inside a record.
enum EGraphKind {
    kGraphIsobologram = 0,
    kGraphFaCI = 1,
    kGraphConservativeIsobologram = 2,
    kGraphLogFaCI = 3,
    kGraphMedianEffect = 4,
    kGraphDoseEffect = 5,
    kGraphKindCount = 6
};

} // namespace doseplex
