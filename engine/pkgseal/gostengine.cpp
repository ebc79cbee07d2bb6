#define OPENSSL_SUPPRESS_DEPRECATED

#include "gostengine.h"

#include <openssl/engine.h>
#include <openssl/err.h>

namespace Pkgseal {

void GostEngine::load()
{
    static bool loaded = false;
    if (loaded)
        return;
    loaded = true;
    ENGINE *engine = ENGINE_by_id("gost");
    if (!engine) {
        ERR_clear_error();
        return;
    }
    if (ENGINE_init(engine))
        ENGINE_set_default(engine, ENGINE_METHOD_ALL);
    // ENGINE_init holds its own reference for the lifetime of the process.
    ENGINE_free(engine);
    ERR_clear_error();
}

} // namespace Pkgseal
