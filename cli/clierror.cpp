#include "cli/clierror.h"

#include "db/edatabaseerror.h"
#include "odbc/odbcerrors.h"

namespace lystra::cli {

bool IsServerError(const Exception& error)
{
    return dynamic_cast<const EDatabaseError*>(&error) != nullptr ||
           dynamic_cast<const EODBCError*>(&error) != nullptr ||
           dynamic_cast<const EReplyError*>(&error) != nullptr;
}

void RunAs(ExitCode code, const std::function<void()>& step)
{
    try {
        step();
    } catch (const CliError&) {
        throw;
    } catch (const Exception& error) {
        throw CliError(code, error.message());
    }
}

} // namespace lystra::cli
