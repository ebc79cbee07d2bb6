// libFuzzer target for the RPM reader of pkgseal and its signature header editing: everything
// the reader accepts must be written back with one more signature, or without its signatures,
// and read again with exactly the signatures it was given.

#include "memorysource.h"
#include "rpmpackage.h"
#include "sealerror.h"
#include "signatureheadereditor.h"

#include <cstdio>
#include <cstdlib>

using namespace Pkgseal;

namespace {

[[noreturn]] void fail(const char *what, const char *detail = "")
{
    std::fprintf(stderr, "%s %s\n", what, detail);
    std::abort();
}

// The package with its signature header replaced, as pkgseal writes it.
Bytes packageWith(const RpmPackage &package,
                  const RpmHeader &header,
                  const uint8_t *data,
                  size_t size)
{
    Bytes bytes = package.lead();
    const Bytes headerBytes = header.serialize();
    bytes.insert(bytes.end(), headerBytes.begin(), headerBytes.end());
    bytes.resize(RpmPackage::LeadSize + RpmPackage::paddedSize(headerBytes.size()), 0);
    bytes.insert(bytes.end(), data + package.contentOffset(), data + size);
    return bytes;
}

// Reads a written package back; its signatures must be the expected ones.
RpmPackage readBack(const Bytes &bytes, const std::vector<Bytes> &expectedSignatures)
{
    try {
        const MemorySource source(bytes.data(), bytes.size());
        RpmPackage package = RpmPackage::read(source);
        if (SignatureHeaderEditor(package.signatureHeader()).signatures() != expectedSignatures)
            fail("written signatures read back differently");
        return package;
    } catch (const SealError &error) {
        fail("written package does not read back:", error.what());
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    try {
        const MemorySource source(data, size);
        const RpmPackage package = RpmPackage::read(source);
        package.recordedContentSize();
        package.recordedHeaderDigest();
        package.recordedPayloadDigest();
        const SignatureHeaderEditor editor(package.signatureHeader());
        std::vector<Bytes> signatures = editor.signatures();
        signatures.push_back(Bytes(size % 2000 + 1, 0x30));
        std::vector<uint64_t> sizes;
        for (const Bytes &signature : signatures)
            sizes.push_back(signature.size());
        const uint64_t headerSize = editor.plannedSize(SignatureBlob::encodedSize(sizes));
        const RpmPackage signedPackage = readBack(packageWith(package,
                                                              editor.withSignatures(signatures,
                                                                                    headerSize),
                                                              data,
                                                              size),
                                                  signatures);
        RpmHeader unsignedHeader;
        try {
            unsignedHeader = SignatureHeaderEditor(signedPackage.signatureHeader())
                                 .withoutSignatures();
        } catch (const SealError &error) {
            fail("the signatures written can't be removed:", error.what());
        }
        readBack(packageWith(package, unsignedHeader, data, size), {});
        if (!editor.signatures().empty()
            && editor.withoutSignatures().serialize() != unsignedHeader.serialize()) {
            fail("removing the signatures depends on how many there were");
        }
    } catch (const SealError &) {
        // Rejected input, or a change refused before anything is written: reported as it should.
    }
    return 0;
}
