#include "cmscertificatesplit.h"
#include "testpki.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <openssl/cms.h>
#include <openssl/x509.h>

using Pkgseal::Bytes;
using Pkgseal::CmsCertificateSplit;

namespace {

Bytes bytesOf(const QByteArray &data)
{
    return Bytes(data.begin(), data.end());
}

// The DER encoding of the CMS structure that der holds with the certificates added after it.
Bytes reassembled(const Bytes &der, const std::vector<Bytes> &certificates)
{
    const unsigned char *cursor = der.data();
    CMS_ContentInfo *cms = d2i_CMS_ContentInfo(nullptr, &cursor, long(der.size()));
    if (!cms || cursor != der.data() + der.size())
        return {};
    STACK_OF(X509) *carried = CMS_get1_certs(cms);
    bool ok = sk_X509_num(carried) <= 0;
    sk_X509_pop_free(carried, X509_free);
    for (const Bytes &certificateDer : certificates) {
        cursor = certificateDer.data();
        X509 *certificate = d2i_X509(nullptr, &cursor, long(certificateDer.size()));
        ok = ok && certificate && CMS_add0_cert(cms, certificate) == 1;
    }
    unsigned char *encoded = nullptr;
    const int length = ok ? i2d_CMS_ContentInfo(cms, &encoded) : -1;
    const Bytes result = length > 0 ? Bytes(encoded, encoded + length) : Bytes();
    OPENSSL_free(encoded);
    CMS_ContentInfo_free(cms);
    return result;
}

} // namespace

class tst_CmsCertificateSplit : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void splitsOnlyTheUsualShape_data();
    void splitsOnlyTheUsualShape();

private:
    QTemporaryDir m_directory;
    TestPki m_pki{m_directory.path()};
    QStringList m_signingFiles; // the content, the signer's certificate and key, the authority's
};

void tst_CmsCertificateSplit::initTestCase()
{
    QVERIFY(m_directory.isValid());
    const TestPki::Signer authority = m_pki.createAuthority("root");
    const TestPki::Signer signer = m_pki.createSigner("root", "dev", "developer");
    QVERIFY2(m_pki.errorString().isEmpty(), qPrintable(m_pki.errorString()));
    m_signingFiles = QStringList{m_directory.filePath("content"),
                                 signer.certificate,
                                 signer.key,
                                 authority.certificate};
    QFile content(m_signingFiles.front());
    QVERIFY(content.open(QIODevice::WriteOnly) && content.write("content") == 7);
}

void tst_CmsCertificateSplit::splitsOnlyTheUsualShape_data()
{
    QTest::addColumn<QString>("options");
    QTest::addColumn<int>("sizeChange");
    QTest::addColumn<int>("certificates");

    QTest::newRow("signer") << "" << 0 << 1;
    QTest::newRow("signer and authority") << "-certfile %4" << 0 << 2;
    QTest::newRow("no certificates") << "-nocerts" << 0 << -1;
    QTest::newRow("a byte after the end") << "" << 1 << -1;
    QTest::newRow("last byte cut off") << "" << -1 << -1;
    QTest::newRow("indefinite length") << "-stream" << 0 << -1;
}

// A split signature is the original: its certificates, in order, added to the rest give back
// the same encoding. Anything else is left to the decoder of the whole.
void tst_CmsCertificateSplit::splitsOnlyTheUsualShape()
{
    QFETCH(QString, options);
    QFETCH(int, sizeChange);
    QFETCH(int, certificates);
    QByteArray der = m_pki
                         .openssl("cms -sign -binary -outform DER -in %1 -signer %2 -inkey %3 "
                                      + options,
                                  m_signingFiles)
                         .output;
    QVERIFY(!der.isEmpty());
    der = der.leftJustified(der.size() + sizeChange, '\0', true);

    const CmsCertificateSplit split(bytesOf(der));
    QCOMPARE(split.isValid(), certificates >= 0);
    if (certificates < 0)
        return;
    QCOMPARE(int(split.certificates().size()), certificates);
    QVERIFY(split.withoutCertificates().size() < size_t(der.size()));
    QVERIFY(reassembled(split.withoutCertificates(), split.certificates()) == bytesOf(der));
}

QTEST_GUILESS_MAIN(tst_CmsCertificateSplit)

#include "tst_cmscertificatesplit.moc"
