#pragma once
// A throwaway PostgreSQL server for a test: initdb into a fresh temporary
// folder, listening only on a Unix socket in that folder (no TCP), stopped and
// removed when the object goes. The server refuses to run as root, so under
// root (as in CI) it runs as the `postgres` system user, who owns the folder.
// A watcher process stops it should the test process die first.
#include "FleetTestSupport.h"

#include <glob.h>
#include <pwd.h>
#include <sys/types.h>
#include <unistd.h>

namespace fleettest
{

class PostgresServer
{
public:
    // The key of the catalogue writers' advisory lock.
    static constexpr const char* kWriterLock = "354057349496"; // 0x526f766978

    PostgresServer()
    {
        glob_t found{};
        if (::glob("/usr/lib/postgresql/*/bin/initdb", 0, nullptr, &found) == 0 && found.gl_pathc > 0)
            m_bin = fs::path(found.gl_pathv[found.gl_pathc - 1]).parent_path().string();
        ::globfree(&found);
        if (m_bin.empty()) {
            why = "no initdb under /usr/lib/postgresql/*/bin (scripts/deps.sh installs postgresql)";
            return;
        }
        dir = makeTempDir("pg");
        if (::geteuid() == 0) {
            const struct passwd* user = ::getpwnam("postgres");
            if (!user || ::chown(dir.c_str(), user->pw_uid, user->pw_gid) != 0) {
                why = "running as root, and no postgres user to run the server as";
                return;
            }
            m_as = "runuser -u postgres -- ";
        }
        const Shell init = shell(m_as + m_bin + "/initdb -D " + quote(dir + "/data") +
                                 " -U rovix -A trust -E UTF8 --locale=C --no-sync");
        if (init.status != 0) {
            why = "initdb failed: " + init.out;
            return;
        }
        // Only the socket; durability is not what these tests measure.
        std::ofstream(dir + "/data/postgresql.conf", std::ios::app)
            << "listen_addresses = ''\nunix_socket_directories = '" << dir
            << "'\nfsync = off\nsynchronous_commit = off\nfull_page_writes = off\nmax_connections = 40\n";
        const std::string watcher = "while kill -0 " + std::to_string(::getpid()) +
                                    " 2>/dev/null; do sleep 1; done; " + m_as + m_bin + "/pg_ctl -D " +
                                    quote(dir + "/data") + " stop -m immediate; rm -rf " + quote(dir);
        std::system(("sh -c " + quote(watcher) + " >/dev/null 2>&1 </dev/null &").c_str());
        if (!start())
            why = "the server did not start: " + readFile(dir + "/server.log");
    }

    ~PostgresServer()
    {
        if (m_running)
            stop();
        if (!dir.empty())
            fs::remove_all(dir);
    }

    bool ready() const { return why.empty(); }

    bool start()
    {
        m_running = shell(m_as + m_bin + "/pg_ctl -D " + quote(dir + "/data") + " -l " +
                          quote(dir + "/server.log") + " -w -t 60 start")
                        .status == 0;
        return m_running;
    }

    // Fast: open sessions are ended, as when a server is shut down under them.
    void stop()
    {
        shell(m_as + m_bin + "/pg_ctl -D " + quote(dir + "/data") + " -w -t 60 stop -m fast");
        m_running = false;
    }

    std::string url(const std::string& database) const
    {
        return "postgresql:///" + database + "?host=" + dir + "&user=rovix";
    }

    // psql's unaligned, tuples-only answer (stderr too).
    Shell psql(const std::string& database, const std::string& sql) const
    {
        return shell("psql -X -q -A -t -v ON_ERROR_STOP=1 -d " + quote(url(database)) + " -c " + quote(sql));
    }

    // A fresh database for one test.
    std::string createDatabase()
    {
        const std::string name = "fleet" + std::to_string(++m_databases);
        const Shell made = psql("postgres", "CREATE DATABASE " + name);
        return made.status == 0 ? name : std::string();
    }

    std::string why;
    std::string dir;

private:
    std::string m_bin;
    std::string m_as;
    bool m_running = false;
    int m_databases = 0;
};

} // namespace fleettest
