#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "support/pg_cluster.h"

#include "cli/cli_platform.h"
#include "export/scan_database.h"

namespace {
constexpr char User[] = "lumet";
constexpr int CommandBoundMs = 120000;

// The newest /usr/lib/postgresql/<version>/bin holding initdb.
std::string ServerPrograms() {
  std::string best;
  int bestVersion = -1;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator("/usr/lib/postgresql", error)) {
    const int version = std::atoi(entry.path().filename().c_str());
    const std::string bin = entry.path().string() + "/bin";
    if (version > bestVersion && access((bin + "/initdb").c_str(), X_OK) == 0) {
      bestVersion = version;
      best = bin;
    }
  }
  return best;
}

void Own(const std::string& path, unsigned uid, unsigned gid) {
  if (chown(path.c_str(), uid, gid) != 0) return;
}
}  // namespace

PgCluster::PgCluster() {
  bin_ = ServerPrograms();
  if (bin_.empty()) {
    why_ = "no PostgreSQL server programs in /usr/lib/postgresql/*/bin (Debian package postgresql)";
    return;
  }
  char pattern[] = "/tmp/lumet-pg.XXXXXX";
  if (!mkdtemp(pattern)) {
    why_ = "cannot make a folder for the cluster";
    return;
  }
  folder_ = pattern;
  if (geteuid() == 0) {
    const passwd* nobody = getpwnam("nobody");
    if (!nobody) {
      why_ = "running as root and there is no user nobody to run the server";
      return;
    }
    switchUser_ = true;
    uid_ = nobody->pw_uid;
    gid_ = nobody->pw_gid;
    Own(folder_, uid_, gid_);
  }
  chmod(folder_.c_str(), 0700);
  std::string out;
  if (Run({bin_ + "/initdb", "-D", folder_ + "/data", "-U", User, "-A", "trust", "-E", "UTF8",
           "--locale=C", "--no-sync"},
          &out) != 0) {
    why_ = "initdb failed: " + out;
    return;
  }
  // No TCP at all: only the socket in the cluster's folder. No fsync: a
  // test's data need not outlive a crash.
  const std::string options = "-k " + folder_ + " -c listen_addresses= -c fsync=off -c port=5432";
  if (Run({bin_ + "/pg_ctl", "-D", folder_ + "/data", "-l", folder_ + "/server.log", "-o", options,
           "-w", "-t", "60", "start"},
          &out) != 0) {
    why_ = "pg_ctl start failed: " + out;
    return;
  }
  started_ = true;
}

PgCluster::~PgCluster() {
  if (started_) Run({bin_ + "/pg_ctl", "-D", folder_ + "/data", "-m", "immediate", "-w", "stop"});
  if (!folder_.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
}

bool PgCluster::MakeDatabase(const std::string& name) {
  return Psql("postgres", "CREATE DATABASE " + name);
}

std::string PgCluster::ConnectionString(const std::string& database) const {
  return "Driver={PostgreSQL Unicode};Servername=" + folder_ + ";Port=5432;Database=" + database +
         ";Username=" + User + ";";
}

bool PgCluster::Psql(const std::string& database, const std::string& sql) {
  return Run({bin_ + "/psql", "-X", "-q", "-A", "-t", "-v", "ON_ERROR_STOP=1", "-h", folder_, "-p",
              "5432", "-U", User, "-d", database, "-c", sql},
             nullptr) == 0;
}

// Runs a program as the cluster's user, its stdout and stderr into out; its
// exit status, or -1 when it could not run or ran past its bound.
int PgCluster::Run(const std::vector<std::string>& arguments, std::string* out) {
  std::vector<char*> argv;  // made before fork: the child only calls async-signal-safe functions
  for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  int pipeEnds[2];
  if (pipe(pipeEnds) != 0) return -1;
  const pid_t pid = fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    dup2(pipeEnds[1], 1);
    dup2(pipeEnds[1], 2);
    close(pipeEnds[0]);
    close(pipeEnds[1]);
    if (switchUser_ && (setgid(gid_) != 0 || setuid(uid_) != 0)) _exit(126);
    if (chdir(folder_.c_str()) != 0) _exit(126);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(pipeEnds[1]);
  std::string text;
  int waited = 0;
  for (;;) {
    pollfd p{pipeEnds[0], POLLIN, 0};
    const int ready = poll(&p, 1, 100);
    if (ready > 0) {
      char buffer[4096];
      const ssize_t got = read(pipeEnds[0], buffer, sizeof buffer);
      if (got <= 0) break;
      if (text.size() < (1u << 20)) text.append(buffer, static_cast<std::size_t>(got));
    } else if ((waited += 100) > CommandBoundMs) {
      kill(pid, SIGKILL);
      break;
    }
  }
  close(pipeEnds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  if (out) *out = text;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

PgCluster& TestCluster() {
  static PgCluster cluster;
  return cluster;
}

std::string TestDatabase(const std::string& engine, const std::string& folder) {
  static int made = 0;
  const std::string name = "scans_" + std::to_string(++made);
  if (engine == "SQLite") return "sqlite:" + folder + "/" + name + ".db";
  if (!TestCluster().Started() || !TestCluster().MakeDatabase(name)) return "";
  return TestCluster().ConnectionString(name);
}

DbResult RunSql(const std::string& database, const std::string& statement, std::string* value) {
  std::wstring connect, error;
  if (!ConnectionString(PathFromArgument(database), connect, error)) return {DbResult::Failed, error};
  OdbcConnection side;
  DbResult result = side.OpenSilently(connect);
  if (!result.Ok()) return result;
  if (!value) return side.Execute(PathFromArgument(statement));
  return side.QueryRows(PathFromArgument(statement), {}, [value](const std::vector<std::wstring>& row) {
    *value = row.empty() ? "" : PathText(row[0]);
    return false;
  });
}
