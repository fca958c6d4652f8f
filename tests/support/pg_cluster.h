#pragma once
// A PostgreSQL server of the test's own: a throw-away cluster in a fresh
// folder, reached only through a Unix socket in that folder, run by an
// unprivileged user (nobody when the tests run as root, as CI does, since
// PostgreSQL refuses to run as root). Never the machine's own service.
//
//   PgCluster pg;                          // initdb, then pg_ctl start
//   ASSERT_TRUE(pg.Started()) << pg.Why();
//   pg.ConnectionString("scans");          // for the PostgreSQL Unicode ODBC driver
//
// The destructor stops the server and removes the folder. TestDatabase gives
// a fresh database of either engine the tests run on.
#include <string>
#include <vector>

#include "export/odbc_connection.h"

class PgCluster {
 public:
  PgCluster();
  ~PgCluster();
  PgCluster(const PgCluster&) = delete;
  PgCluster& operator=(const PgCluster&) = delete;

  bool Started() const { return started_; }
  const std::string& Why() const { return why_; }
  // Makes a database of that name (true when made); its ODBC connection
  // string for the installed PostgreSQL Unicode driver.
  bool MakeDatabase(const std::string& name);
  std::string ConnectionString(const std::string& database) const;
  // Runs SQL through psql as the cluster's user; true when it succeeded.
  bool Psql(const std::string& database, const std::string& sql);

 private:
  int Run(const std::vector<std::string>& arguments, std::string* out = nullptr);

  std::string bin_;     // the server's programs
  std::string folder_;  // data/, the socket, the log
  bool started_ = false;
  std::string why_;
  unsigned uid_ = 0, gid_ = 0;
  bool switchUser_ = false;
};

// The cluster of this test process, started when first asked for.
PgCluster& TestCluster();

// A fresh, empty database of the engine ("SQLite": a new file in folder;
// "PostgreSQL": a new database in TestCluster()), as lumet-cli's --db takes it
// ("sqlite:FILE", or the connection string). Empty when it cannot be made.
std::string TestDatabase(const std::string& engine, const std::string& folder);
// Runs one statement on such a database through ODBC, on a connection of its
// own; with value, a query whose first column of its first row goes there.
// Ok, or the driver's text of why not.
DbResult RunSql(const std::string& database, const std::string& statement,
                std::string* value = nullptr);
