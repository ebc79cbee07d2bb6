#pragma once

#include <string>
#include <vector>

namespace Pkgseal {

class CmsSignature;

// The text of `pkgseal dump` for one package: its path on a line of its own, then one block
// of five lines per signature, in the order the signatures were added.
class SignatureDump
{
public:
    static constexpr const char *NoSignatureLine = "No signatures.";

    static std::string format(const std::string &path, const std::vector<CmsSignature> &signatures);

private:
    static std::string formatBlock(const CmsSignature &signature);
};

} // namespace Pkgseal
