#pragma once

#include "vidazevivuprocess.h"

#include <gtest/gtest.h>

// The backends the protocol tests run on: the embedded SQLite database and
// the same demo database through a real ODBC driver (SQLite's, registered in
// an odbcinst.ini of the test's own).
enum class Backend { Embedded, Odbc };

std::string backendName(const ::testing::TestParamInfo<Backend>& info);

// A server over the demo database LYSTRA on the backend, started on first use
// and shared by the whole test program (stopped at its end). Its custom data
// holds "DB=ARKIV". Returns nullptr when the backend is not available here.
lystra::test::VidazevivuProcess* demoServer(Backend backend);

// The SQLite ODBC driver library, or an empty text when it is not installed.
QString sqliteOdbcDriver();

// The connection string of a demo database file through the SQLite ODBC
// driver; the first call points ODBCSYSINI at a private odbcinst.ini.
QString odbcConnection(const QString& databaseFile);

// Parameterised over the backends; skips the ODBC run when the driver is
// missing.
class BackendTest : public ::testing::TestWithParam<Backend> {
protected:
    void SetUp() override;
    lystra::test::VidazevivuProcess& server() { return *m_server; }

private:
    lystra::test::VidazevivuProcess* m_server = nullptr;
};
