#include "servers/server_facts.h"

#include "servers/exec_ado_cmd.h"
#include "servers/server_list.h"
#include "util/text.h"

namespace orv {

bool ReadServerFacts(const QueryPlace& place, const CancelToken& cancel, ServerFacts& facts,
                     OdbcError& error, std::string& failedSql) {
    std::string version = Trim(place.Server.Version);
    if (version.empty()) {
        const bool ok = RunWorkerQuery(
            place, cancel, kServerVersionQuery,
            [&](WorkerQuery&, Row& row) {
                if (version.empty() && !row.empty())
                    version = Trim(row[0].Text());
            },
            error);
        if (!ok) {
            failedSql = kServerVersionQuery;
            return false;
        }
    }
    facts.VersionMajor = VersionMajorOf(version);
    facts.VersionText = version;
    return true;
}

} // namespace orv
