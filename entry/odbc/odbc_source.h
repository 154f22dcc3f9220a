#pragma once

// ODBC data sources through the unixODBC driver manager: the data sources
// defined for the user and the system, a connection by data-source name or
// connection string, its tables and columns, and queries read forward-only
// with every value as text. Nothing here names an ODBC type.

#include "core/raw_sheet.h"
#include "entry/cell_range.h"
#include "entry/result.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace doseplex::entry {

struct COdbcDataSource {
    std::string m_strName;
    std::string m_strDescription; // the driver's description
    bool m_bSystem = false;       // a system data source; else the user's own
};

// One row of the source's table catalogue.
struct COdbcTable {
    std::string m_strQualifier;
    std::string m_strOwner;
    std::string m_strName;
    std::string m_strType;
    std::string m_strRemarks;
};

// One row of the source's column catalogue.
struct COdbcColumn {
    std::string m_strQualifier;
    std::string m_strOwner;
    std::string m_strTableName;
    std::string m_strName;
    std::int16_t m_nDataType = 0;
    std::string m_strTypeName;
    std::int32_t m_nPrecision = 0;
    std::int32_t m_nLength = 0;
    std::int16_t m_nScale = 0;
    std::int16_t m_nRadix = 0;
    std::int16_t m_nNullable = 0;
};

struct COdbcQueryResult {
    int m_nFieldCount = 0;
    // Each row's values in field order, as text (UTF-8); NULL reads as "".
    std::vector<std::vector<std::string>> m_rows;
};

// The user's data sources, then the system's, each in the driver manager's
// order. Fails only when the driver manager cannot be started.
CResult<std::vector<COdbcDataSource>> ListOdbcDataSources();

class COdbcConnection {
public:
    COdbcConnection();
    ~COdbcConnection();
    COdbcConnection(const COdbcConnection&) = delete;
    COdbcConnection& operator=(const COdbcConnection&) = delete;

    // Connects to `source`: a data-source name, or a connection string
    // ("DSN=plates;UID=lab" or "Driver=...;Database=...") when it holds an
    // '='. Closes any open connection first. On failure the message is the
    // driver's.
    CStatus Connect(const std::string& source);
    void Close();
    bool IsOpen() const;
    // The complete connection string of the open source.
    const std::string& ConnectionText() const { return m_strConnectionText; }

    // The tables of type 'TABLE', in the order the source gives them.
    CResult<std::vector<COdbcTable>> Tables();
    // The columns of `table`.
    CResult<std::vector<COdbcColumn>> Columns(const COdbcTable& table);
    // Runs `sql` as it is, forward-only and read-only, and reads every value
    // of every row as text, or of the first `maxRows` rows when it is not
    // negative. A statement the source refuses gives its message.
    CResult<COdbcQueryResult> RunQuery(const std::string& sql, long long maxRows = -1);
    // The source's identifier quote ("\"" for most, "[" and "]" for some);
    // square brackets when the source names none.
    std::pair<std::string, std::string> IdentifierQuotes();

private:
    struct CHandles;
    std::unique_ptr<CHandles> m_handles;
    std::string m_strConnectionText;
};

// OK of the "Import ODBC Data" dialog and the import behind it: runs the
// query and puts its rows into the sheet from `origin` as ImportOdbcRows
// does. The result is the number of rows read; rows that could not land in
// the sheet are not read. No rows leave the sheet as it was. An empty query gives kNoQueryMessage,
// a refused one the source's message, and the sheet is then unchanged.
CResult<int> ImportOdbcQuery(COdbcConnection& connection, const std::string& sql, CRawSheet& sheet,
                             CCellPosition origin);

} // namespace doseplex::entry
