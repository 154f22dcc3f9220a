#include "entry/odbc/odbc_source.h"

#include "core/encoding.h"
#include "entry/number_text.h"
#include "entry/odbc_query.h"
#include "entry/sheet_import.h"

#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <charconv>

namespace doseplex::entry {

namespace {

bool Succeeded(SQLRETURN code) {
    return code == SQL_SUCCESS || code == SQL_SUCCESS_WITH_INFO;
}

// The diagnostic records of a handle, "[state] text" each, one per line.
std::string Diagnostics(SQLSMALLINT type, SQLHANDLE handle) {
    std::string text;
    for (SQLSMALLINT record = 1;; ++record) {
        SQLCHAR state[6] = {};
        SQLINTEGER native = 0;
        SQLCHAR message[1024] = {};
        SQLSMALLINT length = 0;
        const SQLRETURN code =
            SQLGetDiagRec(type, handle, record, state, &native, message, sizeof message, &length);
        if (!Succeeded(code)) {
            break;
        }
        if (!text.empty()) {
            text += '\n';
        }
        text += '[';
        text.append(reinterpret_cast<const char*>(state));
        text += "] ";
        text += EightBitToUtf8(reinterpret_cast<const char*>(message));
    }
    return text.empty() ? "the data source gave no reason" : text;
}

class CEnvironment {
public:
    CEnvironment() {
        if (!Succeeded(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &m_env))) {
            m_env = SQL_NULL_HENV;
            return;
        }
        SQLSetEnvAttr(m_env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    }
    ~CEnvironment() {
        if (m_env != SQL_NULL_HENV) {
            SQLFreeHandle(SQL_HANDLE_ENV, m_env);
        }
    }
    CEnvironment(const CEnvironment&) = delete;
    CEnvironment& operator=(const CEnvironment&) = delete;

    SQLHENV m_env = SQL_NULL_HENV;
};

// A statement that frees itself.
class CStatement {
public:
    explicit CStatement(SQLHDBC dbc) {
        if (!Succeeded(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &m_stmt))) {
            m_stmt = SQL_NULL_HSTMT;
        }
    }
    ~CStatement() {
        if (m_stmt != SQL_NULL_HSTMT) {
            SQLFreeHandle(SQL_HANDLE_STMT, m_stmt);
        }
    }
    CStatement(const CStatement&) = delete;
    CStatement& operator=(const CStatement&) = delete;

    std::string Error() const { return Diagnostics(SQL_HANDLE_STMT, m_stmt); }

    SQLHSTMT m_stmt = SQL_NULL_HSTMT;
};

// Column `column` of the current row as text, however long; nothing for NULL.
bool ReadText(SQLHSTMT stmt, SQLUSMALLINT column, std::string& value, bool& isNull) {
    value.clear();
    isNull = false;
    char buffer[4096];
    while (true) {
        SQLLEN indicator = 0;
        const SQLRETURN code =
            SQLGetData(stmt, column, SQL_C_CHAR, buffer, sizeof buffer, &indicator);
        if (code == SQL_NO_DATA) {
            return true;
        }
        if (!Succeeded(code)) {
            return false;
        }
        if (indicator == SQL_NULL_DATA) {
            isNull = true;
            return true;
        }
        // A part that did not fit fills the buffer but for its terminator.
        const bool truncated =
            indicator == SQL_NO_TOTAL || indicator >= static_cast<SQLLEN>(sizeof buffer);
        value.append(buffer, truncated ? sizeof buffer - 1 : static_cast<std::size_t>(indicator));
        if (!truncated) {
            return true;
        }
    }
}

// Every row of the statement's result, every column as text.
CResult<COdbcQueryResult> ReadRows(const CStatement& statement, long long maxRows = -1) {
    SQLSMALLINT columns = 0;
    if (!Succeeded(SQLNumResultCols(statement.m_stmt, &columns))) {
        return CStatus::Fail(statement.Error());
    }
    COdbcQueryResult result;
    result.m_nFieldCount = columns;
    if (columns <= 0) {
        return result;
    }
    while (maxRows < 0 || static_cast<long long>(result.m_rows.size()) < maxRows) {
        const SQLRETURN code = SQLFetch(statement.m_stmt);
        if (code == SQL_NO_DATA) {
            break;
        }
        if (!Succeeded(code)) {
            return CStatus::Fail(statement.Error());
        }
        std::vector<std::string> row;
        for (SQLUSMALLINT column = 1; column <= static_cast<SQLUSMALLINT>(columns); ++column) {
            std::string value;
            bool isNull = false;
            if (!ReadText(statement.m_stmt, column, value, isNull)) {
                return CStatus::Fail(statement.Error());
            }
            row.push_back(EightBitToUtf8(value));
        }
        result.m_rows.push_back(std::move(row));
    }
    return result;
}

// Repeats a catalogue call while the source is still working on it.
template <class Call> SQLRETURN Repeat(Call call) {
    SQLRETURN code = call();
    while (code == SQL_STILL_EXECUTING) {
        code = call();
    }
    return code;
}

SQLCHAR* Text(const std::string& text) {
    return reinterpret_cast<SQLCHAR*>(const_cast<char*>(text.c_str()));
}

// An empty catalogue argument means no restriction: a null pointer.
SQLCHAR* Restriction(const std::string& text) {
    return text.empty() ? nullptr : Text(text);
}

SQLSMALLINT RestrictionLength(const std::string& text) {
    return text.empty() ? 0 : SQL_NTS;
}

template <class T> T NumberField(const std::string& text) {
    T value{};
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

} // namespace

struct COdbcConnection::CHandles {
    CEnvironment environment;
    SQLHDBC dbc = SQL_NULL_HDBC;
    bool connected = false;
};

CResult<std::vector<COdbcDataSource>> ListOdbcDataSources() {
    const CEnvironment environment;
    if (environment.m_env == SQL_NULL_HENV) {
        return CStatus::Fail("The ODBC driver manager cannot be started.");
    }
    std::vector<COdbcDataSource> sources;
    constexpr SQLUSMALLINT kFirstUser = SQL_FETCH_FIRST_USER;
    constexpr SQLUSMALLINT kFirstSystem = SQL_FETCH_FIRST_SYSTEM;
    for (const SQLUSMALLINT first : {kFirstUser, kFirstSystem}) {
        SQLUSMALLINT direction = first;
        while (true) {
            SQLCHAR name[SQL_MAX_DSN_LENGTH + 1] = {};
            SQLCHAR description[512] = {};
            SQLSMALLINT nameLength = 0;
            SQLSMALLINT descriptionLength = 0;
            const SQLRETURN code =
                SQLDataSources(environment.m_env, direction, name, sizeof name, &nameLength,
                               description, sizeof description, &descriptionLength);
            if (!Succeeded(code)) {
                break;
            }
            sources.push_back({EightBitToUtf8(reinterpret_cast<const char*>(name)),
                               EightBitToUtf8(reinterpret_cast<const char*>(description)),
                               first == kFirstSystem});
            direction = SQL_FETCH_NEXT;
        }
    }
    return sources;
}

COdbcConnection::COdbcConnection() : m_handles(std::make_unique<CHandles>()) {}

COdbcConnection::~COdbcConnection() {
    Close();
}

void COdbcConnection::Close() {
    if (m_handles->dbc != SQL_NULL_HDBC) {
        if (m_handles->connected) {
            SQLDisconnect(m_handles->dbc);
        }
        SQLFreeHandle(SQL_HANDLE_DBC, m_handles->dbc);
    }
    m_handles->dbc = SQL_NULL_HDBC;
    m_handles->connected = false;
    m_strConnectionText.clear();
}

bool COdbcConnection::IsOpen() const {
    return m_handles->connected;
}

CStatus COdbcConnection::Connect(const std::string& source) {
    Close();
    const SQLHENV env = m_handles->environment.m_env;
    if (env == SQL_NULL_HENV) {
        return CStatus::Fail("The ODBC driver manager cannot be started.");
    }
    if (!Succeeded(SQLAllocHandle(SQL_HANDLE_DBC, env, &m_handles->dbc))) {
        m_handles->dbc = SQL_NULL_HDBC;
        return CStatus::Fail(Diagnostics(SQL_HANDLE_ENV, env));
    }
    const std::string in = source.find('=') == std::string::npos ? "DSN=" + source : source;
    const std::string eightBit = Utf8ToEightBit(in);
    SQLCHAR out[4096] = {};
    SQLSMALLINT outLength = 0;
    const SQLRETURN code = SQLDriverConnect(m_handles->dbc, nullptr, Text(eightBit), SQL_NTS, out,
                                            sizeof out, &outLength, SQL_DRIVER_NOPROMPT);
    if (!Succeeded(code)) {
        const std::string message = Diagnostics(SQL_HANDLE_DBC, m_handles->dbc);
        Close();
        return CStatus::Fail(message);
    }
    m_handles->connected = true;
    m_strConnectionText = EightBitToUtf8(reinterpret_cast<const char*>(out));
    return CStatus::Ok();
}

CResult<std::vector<COdbcTable>> COdbcConnection::Tables() {
    if (!IsOpen()) {
        return CStatus::Fail("No data source is open.");
    }
    const CStatement statement(m_handles->dbc);
    const std::string type = "'TABLE'";
    const SQLRETURN code = Repeat([&] {
        return SQLTables(statement.m_stmt, nullptr, 0, nullptr, 0, nullptr, 0, Text(type), SQL_NTS);
    });
    if (!Succeeded(code)) {
        return CStatus::Fail(statement.Error());
    }
    auto rows = ReadRows(statement);
    if (!rows) {
        return CStatus::Fail(rows.Message());
    }
    std::vector<COdbcTable> tables;
    for (auto& row : rows.Value().m_rows) {
        row.resize(5);
        tables.push_back({row[0], row[1], row[2], row[3], row[4]});
    }
    return tables;
}

CResult<std::vector<COdbcColumn>> COdbcConnection::Columns(const COdbcTable& table) {
    if (!IsOpen()) {
        return CStatus::Fail("No data source is open.");
    }
    const CStatement statement(m_handles->dbc);
    const std::string qualifier = Utf8ToEightBit(table.m_strQualifier);
    const std::string owner = Utf8ToEightBit(table.m_strOwner);
    const std::string name = Utf8ToEightBit(table.m_strName);
    const SQLRETURN code = Repeat([&] {
        return SQLColumns(statement.m_stmt, Restriction(qualifier), RestrictionLength(qualifier),
                          Restriction(owner), RestrictionLength(owner), Restriction(name),
                          RestrictionLength(name), nullptr, 0);
    });
    if (!Succeeded(code)) {
        return CStatus::Fail(statement.Error());
    }
    auto rows = ReadRows(statement);
    if (!rows) {
        return CStatus::Fail(rows.Message());
    }
    std::vector<COdbcColumn> columns;
    for (auto& row : rows.Value().m_rows) {
        row.resize(11);
        COdbcColumn column;
        column.m_strQualifier = row[0];
        column.m_strOwner = row[1];
        column.m_strTableName = row[2];
        column.m_strName = row[3];
        column.m_nDataType = NumberField<std::int16_t>(row[4]);
        column.m_strTypeName = row[5];
        column.m_nPrecision = NumberField<std::int32_t>(row[6]);
        column.m_nLength = NumberField<std::int32_t>(row[7]);
        column.m_nScale = NumberField<std::int16_t>(row[8]);
        column.m_nRadix = NumberField<std::int16_t>(row[9]);
        column.m_nNullable = NumberField<std::int16_t>(row[10]);
        columns.push_back(std::move(column));
    }
    return columns;
}

CResult<COdbcQueryResult> COdbcConnection::RunQuery(const std::string& sql, long long maxRows) {
    if (!IsOpen()) {
        return CStatus::Fail("No data source is open.");
    }
    const CStatement statement(m_handles->dbc);
    SQLSetStmtAttr(statement.m_stmt, SQL_ATTR_CURSOR_TYPE,
                   reinterpret_cast<SQLPOINTER>(SQL_CURSOR_FORWARD_ONLY), 0);
    SQLSetStmtAttr(statement.m_stmt, SQL_ATTR_CONCURRENCY,
                   reinterpret_cast<SQLPOINTER>(SQL_CONCUR_READ_ONLY), 0);
    const std::string text = Utf8ToEightBit(sql);
    const SQLRETURN code = SQLExecDirect(statement.m_stmt, Text(text), SQL_NTS);
    if (code == SQL_NO_DATA) {
        return COdbcQueryResult{};
    }
    if (!Succeeded(code)) {
        return CStatus::Fail(statement.Error());
    }
    return ReadRows(statement, maxRows);
}

std::pair<std::string, std::string> COdbcConnection::IdentifierQuotes() {
    SQLCHAR quote[8] = {};
    SQLSMALLINT length = 0;
    if (!IsOpen() || !Succeeded(SQLGetInfo(m_handles->dbc, SQL_IDENTIFIER_QUOTE_CHAR, quote,
                                           sizeof quote, &length))) {
        return {"[", "]"};
    }
    const std::string text(reinterpret_cast<const char*>(quote));
    if (text.empty() || text == " " || text == "[") {
        return {"[", "]"};
    }
    return {text, text};
}

CResult<int> ImportOdbcQuery(COdbcConnection& connection, const std::string& sql, CRawSheet& sheet,
                             CCellPosition origin) {
    if (sql.empty()) {
        return CStatus::Fail(std::string(kNoQueryMessage));
    }
    // The import stops before row 1000, so rows from there on are not read.
    const auto result = connection.RunQuery(sql, std::max(0, CRawSheet::kRows - origin.m_nRow));
    if (!result) {
        return CStatus::Fail(result.Message());
    }
    std::vector<std::string> rowTexts;
    for (const auto& row : result.Value().m_rows) {
        rowTexts.push_back(OdbcRowText(row));
    }
    ImportOdbcRows(sheet, origin, result.Value().m_nFieldCount, rowTexts);
    return static_cast<int>(rowTexts.size());
}

} // namespace doseplex::entry
