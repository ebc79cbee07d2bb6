#pragma once

namespace Pkgseal {

// OpenSSL's gost engine, which provides the GOST R 34.10-2012 keys and the GOST R 34.11-2012
// digests. Loading it is cheap, so every command loads it up front; without it, only GOST keys
// and signatures fail.
class GostEngine
{
public:
    static void load();
};

} // namespace Pkgseal
