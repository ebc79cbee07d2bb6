#include "signaturedump.h"

#include "cmssignature.h"
#include "signerdescription.h"

namespace Pkgseal {

namespace {
const size_t ShortDigestLength = 8;
}

std::string SignatureDump::format(const std::string &path,
                                  const std::vector<CmsSignature> &signatures)
{
    std::string text = path + "\n";
    if (signatures.empty())
        text += std::string(NoSignatureLine) + "\n";
    for (const CmsSignature &signature : signatures)
        text += formatBlock(signature);
    return text;
}

std::string SignatureDump::formatBlock(const CmsSignature &signature)
{
    const SignerDescription signer(signature.signer());
    const std::vector<unsigned char> digest = signature.signedDigest();
    const std::string shortDigest = SignerDescription::hex(digest.data(),
                                                           std::min(digest.size(),
                                                                    ShortDigestLength),
                                                           "");
    return "Subject: " + signer.subject() + "\n" + "Group: " + signer.group() + "\n"
           + "Subgroup: " + signer.subgroup() + "\n" + "Key ID: " + signer.keyId() + "\n"
           + "Signature: " + SignerDescription::escaped(signature.algorithmName()) + ", digest "
           + shortDigest + "\n";
}

} // namespace Pkgseal
