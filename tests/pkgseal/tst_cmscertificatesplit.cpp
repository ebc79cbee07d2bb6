#include "cmscertificatesplit.h"
#include "testpki.h"
#include "testprocess.h"

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
    QByteArray signature(const QStringList &options);

    QTemporaryDir m_directory;
    TestPki::Signer m_signer;
    QString m_authority;
};

void tst_CmsCertificateSplit::initTestCase()
{
    QVERIFY(m_directory.isValid());
    TestPki pki(m_directory.path());
    QVERIFY2(pki.createAuthority("root"), qPrintable(pki.errorString()));
    m_signer = pki.createSigner("root", "dev", "developer");
    m_authority = pki.bundle("root");
    QVERIFY2(!m_signer.certificate.isEmpty(), qPrintable(pki.errorString()));
    QFile content(m_directory.filePath("content"));
    QVERIFY(content.open(QIODevice::WriteOnly) && content.write("content") == 7);
}

QByteArray tst_CmsCertificateSplit::signature(const QStringList &options)
{
    const TestProcess signing = TestProcess::run("openssl",
                                                 QStringList{"cms",
                                                             "-sign",
                                                             "-binary",
                                                             "-outform",
                                                             "DER",
                                                             "-in",
                                                             m_directory.filePath("content"),
                                                             "-signer",
                                                             m_signer.certificate,
                                                             "-inkey",
                                                             m_signer.key}
                                                     + options);
    return signing.succeeded() ? signing.output : QByteArray();
}

void tst_CmsCertificateSplit::splitsOnlyTheUsualShape_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("change");
    QTest::addColumn<int>("certificates");

    QTest::newRow("signer") << QStringList() << "" << 1;
    QTest::newRow("signer and authority") << QStringList{"-certfile", m_authority} << "" << 2;
    QTest::newRow("no certificates") << QStringList{"-nocerts"} << "" << -1;
    QTest::newRow("a byte after the end") << QStringList() << "append" << -1;
    QTest::newRow("last byte cut off") << QStringList() << "cut" << -1;
    QTest::newRow("indefinite length") << QStringList{"-stream"} << "" << -1;
}

// A split signature is the original: its certificates, in order, added to the rest give back
// the same encoding. Anything else is left to the decoder of the whole.
void tst_CmsCertificateSplit::splitsOnlyTheUsualShape()
{
    QFETCH(QStringList, options);
    QFETCH(QString, change);
    QFETCH(int, certificates);
    QByteArray der = signature(options);
    QVERIFY(!der.isEmpty());
    if (change == "append")
        der.append('\0');
    else if (change == "cut")
        der.chop(1);

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
