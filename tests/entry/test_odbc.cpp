// ODBC import against real drivers: the SQLite ODBC driver on a database file
// made here, and the PostgreSQL ODBC driver on a server started here (Unix
// socket only). Drivers and data sources are defined in private files named
// through ODBCSYSINI and ODBCINI, so the machine's own configuration is never
// read or touched.

#include "entry/odbc/odbc_source.h"
#include "entry/odbc_query.h"
#include "entry/sheet_import.h"
#include "tests/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <dlfcn.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

// The driver manager's configuration library keeps the data-source files it
// read until the process ends; under LeakSanitizer those allocations are not
// this program's leaks. (Home() keeps the library loaded, so that the leak
// report can name it.)
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libodbcinst.so\n";
}

namespace doseplex::entry {
namespace {

namespace fs = std::filesystem;
using testing_support::CTempDir;

// Runs a program and waits for it; its output goes to `log`. With `user` set
// the program runs as that user (PostgreSQL refuses to run as root).
int RunProgram(const std::vector<std::string>& args, const fs::path& log,
               const struct passwd* user = nullptr) {
    std::vector<char*> argv;
    for (const std::string& arg : args) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        const int fd = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        const int null = open("/dev/null", O_RDONLY);
        if (fd < 0 || null < 0 || dup2(null, 0) < 0 || dup2(fd, 1) < 0 || dup2(fd, 2) < 0) {
            _exit(126);
        }
        if (user != nullptr && (setgid(user->pw_gid) != 0 || setuid(user->pw_uid) != 0)) {
            _exit(126);
        }
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid) {
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::string Log(const fs::path& log) {
    return "\n--- " + log.string() + ":\n" + testing_support::ReadFile(log);
}

void WriteText(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// Private driver and data-source files, written once per process (the
// driver manager keeps what it read): the user's data source "plates" and the
// system's "plates-system" open the SQLite database Home()/plates.db; "lab"
// is the PostgreSQL server whose socket folder is Home()/pg/socket.
const fs::path& Home() {
    static const CTempDir dir("doseplex-odbc");
    static const bool written = [] {
        // Drivers load the configuration library too and unload it with
        // themselves; kept loaded, it stays named in sanitizer reports.
        dlopen("libodbcinst.so.2", RTLD_NOW | RTLD_NODELETE);
        // The PostgreSQL server's own user must reach its folder inside.
        fs::permissions(dir.Path(),
                        fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
        const std::string database = (dir / "plates.db").string();
        WriteText(dir / "odbcinst.ini",
                  "[DosePlex SQLite]\nDriver=" DOSEPLEX_SQLITE_ODBC_DRIVER
                  "\n\n[DosePlex PostgreSQL]\nDriver=" DOSEPLEX_PSQL_ODBC_DRIVER "\n");
        WriteText(dir / "odbc.ini",
                  "[plates-system]\nDriver=DosePlex SQLite\nDatabase=" + database + "\n");
        WriteText(dir / "user-odbc.ini",
                  "[plates]\nDescription=Plate readings\nDriver=DosePlex SQLite\nDatabase=" +
                      database + "\n\n[lab]\nDriver=DosePlex PostgreSQL\nServername=" +
                      (dir / "pg" / "socket").string() +
                      "\nPort=5432\nDatabase=postgres\nUsername=doseplex\n");
        setenv("ODBCSYSINI", dir.Path().c_str(), 1);
        setenv("ODBCINI", (dir / "user-odbc.ini").c_str(), 1);
        return true;
    }();
    (void)written;
    return dir.Path();
}

const char* const kAssaySql = "create table Assay (Well text, Dose real, Effect real);"
                              "insert into Assay values ('A1', 1, 0.25);"
                              "insert into Assay values ('A2', 2.5, 0.5);"
                              "insert into Assay values (NULL, 10, 0.875);"
                              "create table Drugs (Well text, Drug text);"
                              "insert into Drugs values ('A1', 'Taxol \xC2\xB5');"
                              "insert into Drugs values ('A2', 'Cisplatin');"
                              "create view Doses as select Dose from Assay;";

class OdbcSqliteTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::remove(m_database);
        ASSERT_EQ(RunProgram({"/usr/bin/sqlite3", m_database.string(), kAssaySql},
                             m_log.Path() / "sqlite.log"),
                  0)
            << Log(m_log.Path() / "sqlite.log");
    }
    void TearDown() override { fs::remove(m_database); }

    CTempDir m_log{"doseplex-odbc-log"};
    fs::path m_database = Home() / "plates.db";
};

TEST_F(OdbcSqliteTest, ListsSourcesTablesAndColumns) {
    const auto sources = ListOdbcDataSources();
    ASSERT_TRUE(sources) << sources.Message();
    // Only the private files' sources: the user's, then the system's.
    ASSERT_EQ(sources.Value().size(), 3u);
    EXPECT_EQ(sources.Value()[0].m_strName, "plates");
    EXPECT_EQ(sources.Value()[0].m_strDescription, "DosePlex SQLite");
    EXPECT_FALSE(sources.Value()[0].m_bSystem);
    EXPECT_EQ(sources.Value()[1].m_strName, "lab");
    EXPECT_FALSE(sources.Value()[1].m_bSystem);
    EXPECT_EQ(sources.Value()[2].m_strName, "plates-system");
    EXPECT_TRUE(sources.Value()[2].m_bSystem);

    COdbcConnection connection;
    const CStatus connected = connection.Connect("plates");
    ASSERT_TRUE(connected) << connected.Message();
    EXPECT_NE(connection.ConnectionText().find("DSN=plates"), std::string::npos)
        << connection.ConnectionText();

    const auto tables = connection.Tables();
    ASSERT_TRUE(tables) << tables.Message();
    std::vector<std::string> names;
    for (const COdbcTable& table : tables.Value()) {
        names.push_back(table.m_strName);
        EXPECT_EQ(table.m_strType, "TABLE");
    }
    EXPECT_EQ(names, (std::vector<std::string>{"Assay", "Drugs"})); // not the view

    const auto columns = connection.Columns(tables.Value()[0]);
    ASSERT_TRUE(columns) << columns.Message();
    ASSERT_EQ(columns.Value().size(), 3u);
    EXPECT_EQ(columns.Value()[1].m_strName, "Dose");
    EXPECT_EQ(columns.Value()[1].m_strTableName, "Assay");
    EXPECT_EQ(columns.Value()[1].m_strTypeName, "REAL");
    EXPECT_EQ(columns.Value()[2].m_strName, "Effect");
}

TEST_F(OdbcSqliteTest, ImportsQueryRowsIntoTheSheet) {
    COdbcConnection connection;
    ASSERT_TRUE(connection.Connect("plates"));
    CRawSheet sheet;
    // The query the dialog builds from the Dose and Effect fields.
    const std::string query =
        BuildFieldQuery("Assay", {"Well", "Dose", "Effect"}, {false, true, true});
    auto imported = ImportOdbcQuery(connection, query, sheet, {5, 3});
    ASSERT_TRUE(imported) << imported.Message();
    EXPECT_EQ(imported.Value(), 3);
    EXPECT_EQ(sheet.GetText(5, 3), "1.0");
    EXPECT_EQ(sheet.GetText(5, 4), " 0.25");
    EXPECT_EQ(sheet.GetText(6, 3), "2.5");
    EXPECT_EQ(sheet.GetText(7, 4), " 0.875");
    EXPECT_EQ(sheet.CellCount(), 6u);

    // select * and a NULL value; a join written by hand.
    CRawSheet all;
    ASSERT_TRUE(ImportOdbcQuery(connection, "select *\n from [Assay]", all, {1, 1}));
    EXPECT_EQ(all.GetText(3, 1), "");
    EXPECT_EQ(all.GetText(3, 2), " 10.0");
    CRawSheet joined;
    imported = ImportOdbcQuery(connection,
                               "select d.Drug, a.Effect from Assay a join Drugs d on a.Well = "
                               "d.Well order by a.Dose desc",
                               joined, {1, 1});
    ASSERT_TRUE(imported) << imported.Message();
    EXPECT_EQ(imported.Value(), 2);
    EXPECT_EQ(joined.GetText(1, 1), "Cisplatin");
    EXPECT_EQ(joined.GetText(2, 1), "Taxol \xC2\xB5");
    EXPECT_EQ(joined.GetText(2, 2), " 0.25");

    // Only the rows that can land above row 1000 are read.
    CRawSheet low;
    imported = ImportOdbcQuery(connection, "select Dose from Assay order by Dose", low, {998, 1});
    ASSERT_TRUE(imported) << imported.Message();
    EXPECT_EQ(imported.Value(), 2);
    EXPECT_EQ(low.GetText(999, 1), "2.5");
    EXPECT_EQ(low.CellCount(), 2u);

    // No rows, a refused query and no query leave the sheet as it was.
    const CRawSheet before = sheet;
    imported =
        ImportOdbcQuery(connection, "select Dose from Assay where Dose > 100", sheet, {1, 1});
    ASSERT_TRUE(imported) << imported.Message();
    EXPECT_EQ(imported.Value(), 0);
    imported = ImportOdbcQuery(connection, "select Nothing from Assay", sheet, {1, 1});
    EXPECT_FALSE(imported);
    EXPECT_NE(imported.Message().find("Nothing"), std::string::npos) << imported.Message();
    EXPECT_EQ(ImportOdbcQuery(connection, "", sheet, {1, 1}).Message(),
              "Please select the fields to import or manually enter an SQL query");
    EXPECT_EQ(sheet, before);
}

TEST_F(OdbcSqliteTest, ConnectsByConnectionStringAndReportsTheDriversMessage) {
    COdbcConnection connection;
    const CStatus connected =
        connection.Connect("Driver=DosePlex SQLite;Database=" + m_database.string());
    ASSERT_TRUE(connected) << connected.Message();
    EXPECT_TRUE(connection.IsOpen());
    EXPECT_TRUE(connection.RunQuery("select 1"));

    const CStatus missing = connection.Connect("no-such-source");
    EXPECT_FALSE(missing);
    EXPECT_FALSE(connection.IsOpen());
    EXPECT_NE(missing.Message().find("[IM002]"), std::string::npos) << missing.Message();
    EXPECT_FALSE(connection.Tables());
    EXPECT_FALSE(connection.RunQuery("select 1"));
}

// A PostgreSQL server of its own in a temporary folder, reached through a
// Unix socket there; stopped when the object goes.
class CPostgresServer {
public:
    explicit CPostgresServer(const fs::path& dir) : m_dir(dir) {
        std::error_code error;
        for (const auto& entry : fs::directory_iterator("/usr/lib/postgresql", error)) {
            if (fs::exists(entry.path() / "bin" / "pg_ctl") && entry.path() / "bin" > m_bin) {
                m_bin = entry.path() / "bin";
            }
        }
        if (m_bin.empty()) {
            m_error = "no PostgreSQL server under /usr/lib/postgresql (package postgresql)";
            return;
        }
        // The server refuses to run as root: it runs as the postgres user,
        // which then owns the folder.
        if (geteuid() == 0) {
            m_user = getpwnam("postgres");
            if (m_user == nullptr) {
                m_error = "no postgres user to run the server as";
                return;
            }
            if (chown(dir.c_str(), m_user->pw_uid, m_user->pw_gid) != 0) {
                m_error = "cannot hand the folder to the postgres user";
                return;
            }
        }
        fs::create_directory(Socket());
        if (m_user != nullptr && chown(Socket().c_str(), m_user->pw_uid, m_user->pw_gid) != 0) {
            m_error = "cannot hand the socket folder to the postgres user";
            return;
        }
        if (RunProgram({(m_bin / "initdb").string(), "-D", (dir / "data").string(), "-U",
                        "doseplex", "-A", "trust", "-E", "UTF8", "--no-locale"},
                       m_dir / "initdb.log", m_user) != 0) {
            m_error = "initdb failed" + Log(m_dir / "initdb.log");
            return;
        }
        const std::string options = "-c listen_addresses='' -k " + Socket().string() + " -p 5432";
        if (RunProgram({(m_bin / "pg_ctl").string(), "-D", (dir / "data").string(), "-o", options,
                        "-l", (dir / "server.log").string(), "-w", "-t", "60", "start"},
                       m_dir / "pg_ctl.log", m_user) != 0) {
            m_error =
                "the server did not start" + Log(m_dir / "pg_ctl.log") + Log(m_dir / "server.log");
            return;
        }
        m_bStarted = true;
    }
    ~CPostgresServer() {
        if (m_bStarted) {
            RunProgram({(m_bin / "pg_ctl").string(), "-D", (m_dir / "data").string(), "-m",
                        "immediate", "-w", "stop"},
                       m_dir / "pg_ctl.log", m_user);
        }
    }
    CPostgresServer(const CPostgresServer&) = delete;
    CPostgresServer& operator=(const CPostgresServer&) = delete;

    const std::string& Error() const { return m_error; }
    fs::path Socket() const { return m_dir / "socket"; }

    // Runs SQL through psql, the server's own client.
    int Sql(const std::string& sql) const {
        return RunProgram({(m_bin / "psql").string(), "-X", "-q", "-v", "ON_ERROR_STOP=1", "-h",
                           Socket().string(), "-p", "5432", "-U", "doseplex", "-d", "postgres",
                           "-c", sql},
                          m_dir / "psql.log");
    }

private:
    fs::path m_dir;
    fs::path m_bin;
    const struct passwd* m_user = nullptr;
    bool m_bStarted = false;
    std::string m_error;
};

// The server's folder, emptied before and after.
class CServerFolder {
public:
    CServerFolder() : m_path(Home() / "pg") {
        fs::remove_all(m_path);
        fs::create_directory(m_path);
    }
    ~CServerFolder() { fs::remove_all(m_path); }
    const fs::path& Path() const { return m_path; }
    fs::path operator/(const std::string& name) const { return m_path / name; }

private:
    fs::path m_path;
};

TEST(OdbcPostgres, ImportsFromARealServer) {
    const CServerFolder dir;
    const CPostgresServer server(dir.Path());
    ASSERT_TRUE(server.Error().empty()) << server.Error();
    ASSERT_EQ(
        server.Sql("create table assay (well text, dose double precision, effect "
                   "numeric(6,4), plate integer);"
                   "insert into assay values ('A1 \xC2\xB5M', 0.1, 0.25, 7), ('A2', 2.5, 0.5, 7), "
                   "(NULL, 1e-7, 0.875, NULL);"
                   "create table empty (dose double precision);"
                   "create view doses as select dose from assay;"),
        0)
        << Log(dir / "psql.log");

    COdbcConnection connection;
    const CStatus connected = connection.Connect("lab");
    ASSERT_TRUE(connected) << connected.Message();

    const auto tables = connection.Tables();
    ASSERT_TRUE(tables) << tables.Message();
    std::vector<std::string> names;
    for (const COdbcTable& table : tables.Value()) {
        names.push_back(table.m_strName);
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"assay", "empty"}));
    const auto assay = std::find_if(tables.Value().begin(), tables.Value().end(),
                                    [](const COdbcTable& t) { return t.m_strName == "assay"; });
    const auto columns = connection.Columns(*assay);
    ASSERT_TRUE(columns) << columns.Message();
    std::vector<std::string> fields;
    for (const COdbcColumn& column : columns.Value()) {
        fields.push_back(column.m_strName);
    }
    ASSERT_EQ(fields, (std::vector<std::string>{"well", "dose", "effect", "plate"}));
    EXPECT_EQ(columns.Value()[2].m_strTypeName, "numeric");
    EXPECT_EQ(columns.Value()[2].m_nScale, 4);

    // PostgreSQL takes no square brackets: the query is built with its quote.
    const auto [open, close] = connection.IdentifierQuotes();
    EXPECT_EQ(open, "\"");
    const std::string query =
        BuildFieldQuery("assay", fields, {true, true, true, false}, open, close);
    EXPECT_EQ(query, "select \"well\", \"dose\", \"effect\"\n from \"assay\"");
    CRawSheet sheet;
    auto imported = ImportOdbcQuery(connection, query + " order by dose desc", sheet, {1, 2});
    ASSERT_TRUE(imported) << imported.Message();
    EXPECT_EQ(imported.Value(), 3);
    EXPECT_EQ(sheet.GetText(1, 2), "A2");
    EXPECT_EQ(sheet.GetText(1, 3), " 2.5");
    EXPECT_EQ(sheet.GetText(1, 4), " 0.5000");
    EXPECT_EQ(sheet.GetText(2, 2), "A1 \xC2\xB5M");
    EXPECT_EQ(sheet.GetText(2, 3), " 0.1");
    EXPECT_EQ(sheet.GetText(3, 2), "");
    EXPECT_EQ(sheet.GetText(3, 3), " 1e-07");
    EXPECT_EQ(sheet.GetText(3, 4), " 0.8750");
    EXPECT_EQ(sheet.CellCount(), 8u);

    const CRawSheet before = sheet;
    imported = ImportOdbcQuery(connection, "select * from empty", sheet, {1, 1});
    ASSERT_TRUE(imported) << imported.Message();
    EXPECT_EQ(imported.Value(), 0);
    imported = ImportOdbcQuery(connection, "select [dose] from [assay]", sheet, {1, 1});
    EXPECT_FALSE(imported);
    EXPECT_NE(imported.Message().find("syntax error"), std::string::npos) << imported.Message();
    EXPECT_EQ(sheet, before);
}

} // namespace
} // namespace doseplex::entry
