// libFuzzer target for the RPM reader of pkgseal and its signature header editing.

#include "memorysource.h"
#include "rpmpackage.h"
#include "sealerror.h"
#include "signatureheadereditor.h"

#include <cstdio>
#include <cstdlib>

namespace {

// What the editor writes must read back as a valid signature header.
void checkReadsBack(const Pkgseal::RpmHeader &header)
{
    const std::vector<uint8_t> bytes = header.serialize();
    const Pkgseal::MemorySource source(bytes.data(), bytes.size());
    try {
        Pkgseal::RpmHeader::readRegion(source, 0, Pkgseal::RpmHeader::SignatureLimits);
    } catch (const Pkgseal::SealError &error) {
        std::fprintf(stderr, "rewritten signature header does not read back: %s\n", error.what());
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    try {
        const Pkgseal::MemorySource source(data, size);
        const Pkgseal::RpmPackage package = Pkgseal::RpmPackage::read(source);
        const Pkgseal::SignatureHeaderEditor editor(package.signatureHeader());
        std::vector<Pkgseal::Bytes> signatures = editor.signatures();
        signatures.push_back(Pkgseal::Bytes(size % 2000 + 1, 0x30));
        std::vector<uint64_t> sizes;
        for (const Pkgseal::Bytes &signature : signatures)
            sizes.push_back(signature.size());
        const uint64_t headerSize = editor.plannedSize(Pkgseal::SignatureBlob::encodedSize(sizes));
        checkReadsBack(editor.withSignatures(signatures, headerSize));
        if (!editor.signatures().empty())
            checkReadsBack(editor.withoutSignatures());
    } catch (const Pkgseal::SealError &) {
        // Rejected input: the reader reported it as it should.
    }
    return 0;
}
