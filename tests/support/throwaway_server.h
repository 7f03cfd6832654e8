#pragma once

// A throwaway PostgreSQL cluster for the tests of database sides.

#ifndef _WIN32
#include <unistd.h>
#endif

#include <cstdlib>
#include <fstream>
#include <string>

#include "support/table_builder.h"

namespace quorvel::test {

// A throwaway cluster on a unix socket in a folder of its own, run as the
// user the tests run as, or as nobody when that is root (which PostgreSQL
// refuses).  Empty socket() when it could not start.
class ThrowawayServer {
  public:
    ThrowawayServer() {
#ifdef _WIN32
        why_ = "the throwaway server is started the Debian way only";
        return;
#endif
        const std::string bin = "/usr/lib/postgresql/15/bin";
        if (!std::ifstream(bin + "/initdb").good()) {
            why_ = "PostgreSQL server binaries are not installed";
            return;
        }
#ifndef _WIN32
        as_ = geteuid() == 0 ? "runuser -u nobody -- " : "";
        if (!as_.empty() && std::system(("chown nobody " + dir_.path()).c_str()) != 0) {
            why_ = "running as root and the folder cannot be given to nobody";
            return;
        }
#endif
        ctl_ = as_ + bin + "/pg_ctl -D " + dir_.file("db");
        if (std::system(
                (as_ + bin + "/initdb -D " + dir_.file("db") + " -A trust -U pg >/dev/null 2>&1")
                    .c_str()) != 0 ||
            std::system((ctl_ + " -o \"-k " + dir_.path() + " -c listen_addresses=''\" -l " +
                         dir_.file("log") + " -w start >/dev/null 2>&1")
                            .c_str()) != 0) {
            why_ = "initdb or pg_ctl start failed (as " + (as_.empty() ? "this user" : as_) + ")";
            return;
        }
        started_ = true;
    }
    ~ThrowawayServer() {
        if (started_) std::system((ctl_ + " -m immediate stop >/dev/null 2>&1").c_str());
    }
    bool started() const {
        return started_;
    }
    const std::string& why() const {
        return why_;
    }
    bool psql(const std::string& sql) {
        std::ofstream(dir_.file("load.sql")) << sql;
        std::system(("chmod a+r " + dir_.file("load.sql")).c_str());
        return std::system((as_ + "psql -q -v ON_ERROR_STOP=1 -h " + dir_.path() +
                            " -U pg -d postgres -f " + dir_.file("load.sql") + " >/dev/null")
                               .c_str()) == 0;
    }
    std::string uri(const std::string& query) const {
        return "postgresql:///postgres?host=" + dir_.path() + "&user=pg" + query;
    }

  private:
    TempFolder dir_;
    std::string as_;
    std::string ctl_;
    std::string why_;
    bool started_ = false;
};

}  // namespace quorvel::test
