#include "opensslptr.h"

#include <openssl/err.h>

namespace Pkgseal {

std::string lastOpenSslError()
{
    const unsigned long code = ERR_peek_last_error();
    std::string reason;
    if (code != 0) {
        const char *text = ERR_reason_error_string(code);
        reason = text ? text : "error " + std::to_string(ERR_GET_REASON(code));
    }
    ERR_clear_error();
    return reason;
}

} // namespace Pkgseal
