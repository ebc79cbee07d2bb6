#include "testpackages.h"
#include "testpki.h"
#include "testprocess.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <csignal>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace {
const char Passphrase[] = "s3cr3t-Phrase";
const char PromptStart[] = "Enter passphrase for binaries key";
} // namespace

class PkgsealTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void signsDeveloperThenClient();
    void verifyNeedsTrustedRootAndUnchangedContent();
    void deleteRestoresRpmbuildOutput();
    void signaturesBeyondReservedSpaceGrowTheHeader();
    void gostKeySignsAndVerifies();
    void encryptedKeyTakesPassphraseFromInput_data();
    void encryptedKeyTakesPassphraseFromInput();
    void badInputLeavesPackagesUntouched_data();
    void badInputLeavesPackagesUntouched();
    void damagedPackageIsNeitherSignedNorVerified_data();
    void damagedPackageIsNeitherSignedNorVerified();
    void signatureLimitIsCheckedBeforeWriting();
    void signsManyPackagesInOneCall();
    void concurrentSignersKeepEverySignature_data();
    void concurrentSignersKeepEverySignature();
    void signingKeepsWhatTheUserSet_data();
    void signingKeepsWhatTheUserSet();
    void dumpNamesEachPackage();
    void dumpKeepsEachSignatureInOneBlock();
    void killedWhileSigningLeavesOldOrSignedPackage_data();
    void killedWhileSigningLeavesOldOrSignedPackage();

private:
    TestProcess pkgseal(const QStringList &arguments,
                        const QByteArray &input = {},
                        const QString &workingDirectory = {}) const;
    TestProcess sign(const TestPki::Signer &signer, const QStringList &packages) const;
    QString copyOf(const QString &package, const QString &name) const;
    QString signedCopy(const QString &name) const;
    QString pkgsealPath() const;
    bool isSignedIntact(const QString &package, const QString &original) const;
    static QByteArray hashOf(const QString &path);
    static bool digestsOk(const QString &package);
    static QStringList signatureBlocks(const QString &dump);

    QTemporaryDir m_directory;
    QString m_package;
    QString m_bigPackage;
    QString m_zeroPackage;
    QString m_bundle;
    QString m_foreignBundle;
    QString m_expiredRootBundle;
    TestPki::Signer m_developer;
    TestPki::Signer m_client;
    TestPki::Signer m_extraSigners[2];
    TestPki::Signer m_gost;
    TestPki::Signer m_encrypted;
    TestPki::Signer m_oddlyNamed;
    TestPki::Signer m_expired;
    TestPki::Signer m_notYetValid;
    QList<TestPki::Signer> m_limitSigners;
};

void PkgsealTest::initTestCase()
{
    QVERIFY(m_directory.isValid());
    QVERIFY(QFileInfo(qEnvironmentVariable("QUILLMARK_BUILD_DIR") + "/bin/pkgseal").isExecutable());

    TestPackages packages(m_directory.filePath("packages"));
    m_package = packages.build("hello", 2000);
    QVERIFY2(!m_package.isEmpty(), qPrintable(packages.errorString()));
    m_bigPackage = packages.build("bulky", 4 * 1024 * 1024);
    QVERIFY2(!m_bigPackage.isEmpty(), qPrintable(packages.errorString()));
    m_zeroPackage = packages.build("zeros", 1024 * 1024, TestPackages::Payload::Zeros);
    QVERIFY2(!m_zeroPackage.isEmpty(), qPrintable(packages.errorString()));

    TestPki pki(m_directory.filePath("pki"));
    QVERIFY2(pki.createAuthority("root") && pki.createAuthority("foreign"),
             qPrintable(pki.errorString()));
    m_bundle = pki.bundle("root");
    m_foreignBundle = pki.bundle("foreign");
    m_developer = pki.createSigner("root", "dev", "developer,kelvara");
    m_client = pki.createSigner("root", "customer", "client");
    m_extraSigners[0] = pki.createSigner("root", "extra1", "client");
    m_extraSigners[1] = pki.createSigner("root", "extra2", "client");
    m_gost = pki.createSigner("root", "gostdev", "developer", true);
    m_encrypted = pki.createSigner("root", "locked", "client", false, Passphrase);
    m_oddlyNamed = pki.createSigner("root", "Subject of rpm", "client,Subject");
    m_limitSigners = pki.reissue("root", m_client, 64);
    const QList<TestPki::Signer> expired = pki.reissue("root",
                                                       m_developer,
                                                       1,
                                                       "20200101000000Z",
                                                       "20210101000000Z");
    const QList<TestPki::Signer> notYetValid = pki.reissue("root",
                                                           m_developer,
                                                           1,
                                                           "20990101000000Z",
                                                           "20991231000000Z");
    const QList<TestPki::Signer> expiredRoot = pki.reissue("root",
                                                           pki.authoritySigner("root"),
                                                           1,
                                                           "20200101000000Z",
                                                           "20210101000000Z");
    QVERIFY2(m_limitSigners.size() == 64 && !expired.isEmpty() && !notYetValid.isEmpty()
                 && !expiredRoot.isEmpty(),
             qPrintable(pki.errorString()));
    m_expired = expired.front();
    m_notYetValid = notYetValid.front();
    m_expiredRootBundle = expiredRoot.front().certificate;
    for (const TestPki::Signer &signer : {m_developer,
                                          m_client,
                                          m_extraSigners[0],
                                          m_extraSigners[1],
                                          m_gost,
                                          m_encrypted,
                                          m_oddlyNamed}) {
        QVERIFY2(!signer.certificate.isEmpty(), qPrintable(pki.errorString()));
    }
}

QString PkgsealTest::pkgsealPath() const
{
    return qEnvironmentVariable("QUILLMARK_BUILD_DIR") + "/bin/pkgseal";
}

TestProcess PkgsealTest::pkgseal(const QStringList &arguments,
                                 const QByteArray &input,
                                 const QString &workingDirectory) const
{
    return TestProcess::run(pkgsealPath(), arguments, input, workingDirectory);
}

TestProcess PkgsealTest::sign(const TestPki::Signer &signer, const QStringList &packages) const
{
    return pkgseal(QStringList{"sign", "-k", signer.key, "-c", signer.certificate} + packages);
}

QString PkgsealTest::copyOf(const QString &package, const QString &name) const
{
    const QString copy = m_directory.filePath(name);
    QFile::remove(copy);
    return QFile::copy(package, copy) ? copy : QString();
}

QString PkgsealTest::signedCopy(const QString &name) const
{
    const QString package = copyOf(m_package, name);
    if (!sign(m_developer, {package}).succeeded() || !sign(m_client, {package}).succeeded())
        return {};
    return package;
}

QByteArray PkgsealTest::hashOf(const QString &path)
{
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(&file);
    return hash.result().toHex();
}

bool PkgsealTest::digestsOk(const QString &package)
{
    const TestProcess check = TestProcess::run("rpmkeys", {"--checksig", package});
    return check.succeeded() && check.output.contains("digests OK");
}

// A package that was signed from original: it verifies, rpm finds its digests OK, and it has the
// size of the original (the signatures took the reserved space).
bool PkgsealTest::isSignedIntact(const QString &package, const QString &original) const
{
    return pkgseal({"verify", "--root-cert", m_bundle, package}).succeeded() && digestsOk(package)
           && QFileInfo(package).size() == QFileInfo(original).size();
}

// Blocks as readers of the dump find them: each starts at the word "Subject".
QStringList PkgsealTest::signatureBlocks(const QString &dump)
{
    QStringList blocks;
    QRegularExpressionMatchIterator it = QRegularExpression("(Subject.*)").globalMatch(dump);
    QList<int> starts;
    while (it.hasNext())
        starts.append(it.next().capturedStart());
    for (int i = 0; i < starts.size(); ++i) {
        const int end = i + 1 < starts.size() ? starts[i + 1] : dump.size();
        blocks.append(dump.mid(starts[i], end - starts[i]));
    }
    return blocks;
}

void PkgsealTest::signsDeveloperThenClient()
{
    const QString package = copyOf(m_package, "order.rpm");
    const QFile::Permissions mode = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup;
    QVERIFY(QFile::setPermissions(package, mode));
    const bool asRoot = ::geteuid() == 0;
    if (asRoot)
        QVERIFY(TestProcess::run("chown", {"4321:4322", package}).succeeded());

    const TestProcess first = sign(m_developer, {package});
    QVERIFY2(first.succeeded(), qPrintable(first.describe()));
    const TestProcess second = sign(m_client, {package});
    QVERIFY2(second.succeeded(), qPrintable(second.describe()));

    QCOMPARE(QFileInfo(package).size(), QFileInfo(m_package).size());
    const QFile::Permissions ownerGroupOther(0x7077);
    QCOMPARE(QFileInfo(package).permissions() & ownerGroupOther, mode);
    if (asRoot) {
        QCOMPARE(QFileInfo(package).ownerId(), 4321u);
        QCOMPARE(QFileInfo(package).groupId(), 4322u);
    }
    QVERIFY(digestsOk(package));
    const TestProcess query = TestProcess::run("rpm", {"-qpi", package});
    QVERIFY2(query.succeeded() && query.output.contains("hello"), qPrintable(query.describe()));

    const TestProcess dump = pkgseal({"dump", package});
    QVERIFY2(dump.succeeded(), qPrintable(dump.describe()));
    const QStringList blocks = signatureBlocks(QString::fromUtf8(dump.output));
    QCOMPARE(blocks.size(), 2);
    QVERIFY2(blocks[0].contains("Group: developer\nSubgroup: kelvara\n"), qPrintable(blocks[0]));
    QVERIFY2(blocks[1].contains("Group: client\nSubgroup: none\n"), qPrintable(blocks[1]));
    for (const QString &block : blocks) {
        QVERIFY(block.contains(QRegularExpression("\nKey ID: [0-9A-F]{2}(:[0-9A-F]{2})+\n")));
        QVERIFY(block.contains(QRegularExpression("\nSignature: rsaEncryption with SHA256, "
                                                  "digest [0-9A-F]{16}\n")));
    }

    const QByteArray signedHash = hashOf(package);
    const TestProcess again = sign(m_client, {package});
    QVERIFY2(again.succeeded() && again.output.contains("already signed"),
             qPrintable(again.describe()));
    QCOMPARE(hashOf(package), signedHash);
}

void PkgsealTest::verifyNeedsTrustedRootAndUnchangedContent()
{
    const QString package = signedCopy("verify.rpm");
    QVERIFY(!package.isEmpty());
    const TestProcess trusted = pkgseal({"verify", "--root-cert", m_bundle, package});
    QVERIFY2(trusted.succeeded(), qPrintable(trusted.describe()));

    // A failed chain check names its reason.
    const TestProcess foreign = pkgseal({"verify", "--root-cert", m_foreignBundle, package});
    QVERIFY(!foreign.crashed && foreign.exitCode != 0);
    QVERIFY(foreign.errorOutput.contains(package.toUtf8()));
    QVERIFY2(foreign.errorOutput.contains("unable to get local issuer certificate"),
             qPrintable(foreign.describe()));
    const TestProcess expiredRoot = pkgseal({"verify", "--root-cert", m_expiredRootBundle, package});
    QVERIFY(!expiredRoot.crashed && expiredRoot.exitCode != 0);
    QVERIFY2(expiredRoot.errorOutput.contains("certificate has expired")
                 && expiredRoot.errorOutput.contains("until 2021-01-01"),
             qPrintable(expiredRoot.describe()));

    const QString unsignedPackage = copyOf(m_package, "verify-unsigned.rpm");
    const TestProcess none = pkgseal({"verify", "--root-cert", m_bundle, unsignedPackage});
    QVERIFY(!none.crashed && none.exitCode != 0);
    QVERIFY(none.errorOutput.contains("no signature"));

    QFile file(package);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.seek(file.size() - 100));
    const char byte = file.read(1).at(0);
    QVERIFY(file.seek(file.size() - 100));
    file.write(QByteArray(1, char(byte ^ 0x01)));
    file.close();
    const TestProcess tampered = pkgseal({"verify", "--root-cert", m_bundle, package});
    QVERIFY(!tampered.crashed && tampered.exitCode != 0);
    QVERIFY2(tampered.errorOutput.contains("does not match"), qPrintable(tampered.describe()));
}

void PkgsealTest::deleteRestoresRpmbuildOutput()
{
    const QString package = signedCopy("delete.rpm");
    QVERIFY(!package.isEmpty());
    QVERIFY(hashOf(package) != hashOf(m_package));

    const TestProcess removal = pkgseal({"delete", package});
    QVERIFY2(removal.succeeded(), qPrintable(removal.describe()));
    QCOMPARE(hashOf(package), hashOf(m_package));
    QVERIFY(digestsOk(package));
    const TestProcess dump = pkgseal({"dump", package});
    QVERIFY(dump.succeeded());
    QVERIFY(dump.output.contains("No signatures."));
    QVERIFY(!dump.output.contains("Subject"));

    const TestProcess again = pkgseal({"delete", package});
    QVERIFY(again.succeeded() && again.output.contains("has no signature"));
    QCOMPARE(hashOf(package), hashOf(m_package));
}

void PkgsealTest::signaturesBeyondReservedSpaceGrowTheHeader()
{
    const QString package = copyOf(m_package, "grown.rpm");
    for (const TestPki::Signer &signer :
         {m_developer, m_client, m_extraSigners[0], m_extraSigners[1]}) {
        const TestProcess signing = sign(signer, {package});
        QVERIFY2(signing.succeeded(), qPrintable(signing.describe()));
        QVERIFY(digestsOk(package));
    }
    QVERIFY(QFileInfo(package).size() > QFileInfo(m_package).size());
    QVERIFY(TestProcess::run("rpm", {"-qpi", package}).succeeded());
    const TestProcess verify = pkgseal({"verify", "--root-cert", m_bundle, package});
    QVERIFY2(verify.succeeded(), qPrintable(verify.describe()));
    const QStringList blocks = signatureBlocks(QString::fromUtf8(pkgseal({"dump", package}).output));
    QCOMPARE(blocks.size(), 4);
    QVERIFY(blocks[0].contains("Group: developer\n"));

    QVERIFY(pkgseal({"delete", package}).succeeded());
    QCOMPARE(hashOf(package), hashOf(m_package));
}

void PkgsealTest::gostKeySignsAndVerifies()
{
    const QString package = copyOf(m_package, "gost.rpm");
    const TestProcess gostSigning = sign(m_gost, {package});
    QVERIFY2(gostSigning.succeeded(), qPrintable(gostSigning.describe()));
    QVERIFY(sign(m_client, {package}).succeeded());
    QVERIFY(digestsOk(package));

    const TestProcess verify = pkgseal({"verify", "--root-cert", m_bundle, package});
    QVERIFY2(verify.succeeded(), qPrintable(verify.describe()));
    QVERIFY(pkgseal({"verify", "--root-cert", m_foreignBundle, package}).exitCode != 0);
    const QStringList blocks = signatureBlocks(QString::fromUtf8(pkgseal({"dump", package}).output));
    QCOMPARE(blocks.size(), 2);
    QVERIFY2(blocks[0].contains("Group: developer\n")
                 && blocks[0].contains("Signature: gost2012_256 with md_gost12_256"),
             qPrintable(blocks[0]));
    QVERIFY(blocks[1].contains("Group: client\n"));

    QVERIFY(pkgseal({"delete", package}).succeeded());
    QCOMPARE(hashOf(package), hashOf(m_package));
}

void PkgsealTest::encryptedKeyTakesPassphraseFromInput_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QString>("expectedError");

    QTest::newRow("right pass phrase") << QByteArray(Passphrase) + '\n' << QString();
    QTest::newRow("line ended by CR LF") << QByteArray(Passphrase) + "\r\n" << QString();
    QTest::newRow("wrong pass phrase")
        << QByteArray("not-the-phrase\n") << QString("wrong pass phrase");
    QTest::newRow("end of input") << QByteArray() << QString("end of input");
}

void PkgsealTest::encryptedKeyTakesPassphraseFromInput()
{
    QFETCH(QByteArray, input);
    QFETCH(QString, expectedError);
    const QString package = copyOf(m_package, "locked.rpm");

    const TestProcess signing
        = pkgseal({"sign", "-k", m_encrypted.key, "-c", m_encrypted.certificate, package}, input);
    // The prompt names the key, so that a build that cannot ask can tell which one it is.
    QVERIFY2(signing.output.startsWith(PromptStart + (" " + m_encrypted.key + ": ").toUtf8()),
             qPrintable(signing.describe()));
    QVERIFY(!signing.output.contains(Passphrase) && !signing.errorOutput.contains(Passphrase));
    QVERIFY(!signing.crashed);
    if (expectedError.isEmpty()) {
        QVERIFY2(signing.exitCode == 0, qPrintable(signing.describe()));
        QVERIFY(pkgseal({"verify", "--root-cert", m_bundle, package}).succeeded());
    } else {
        QVERIFY(signing.exitCode != 0);
        QVERIFY2(signing.errorOutput.contains(expectedError.toUtf8()),
                 qPrintable(signing.describe()));
        QCOMPARE(hashOf(package), hashOf(m_package));
    }
}

void PkgsealTest::badInputLeavesPackagesUntouched_data()
{
    QTest::addColumn<QString>("problem");
    QTest::addColumn<bool>("unreadablePackage");
    QTest::addColumn<QString>("reason");

    QTest::newRow("missing package") << "missing" << true << "No such file";
    QTest::newRow("not an RPM") << "text" << true << "not an RPM package";
    QTest::newRow("truncated package") << "truncated" << true << "unexpected end of file";
    QTest::newRow("corrupt signature header") << "corrupt-header" << true << "number of entries";
    QTest::newRow("corrupt stored signature") << "corrupt-signature" << true << "unknown format";
    QTest::newRow("directory") << "directory" << true << "is a directory";
    QTest::newRow("FIFO") << "fifo" << true << "is not a regular file";
    QTest::newRow("read-only package") << "read-only" << false << "read-only";
    QTest::newRow("read-only folder") << "read-only-folder" << false << "read-only";
    QTest::newRow("unreadable key") << "bad-key" << false << "not a usable private key";
    QTest::newRow("missing certificate") << "missing-certificate" << false << "cannot read";
    QTest::newRow("key of another certificate") << "mismatch" << false << "does not belong";
    QTest::newRow("expired certificate")
        << "expired" << false
        << "has expired (valid from 2020-01-01 00:00:00Z until 2021-01-01 00:00:00Z)";
    QTest::newRow("certificate not valid yet")
        << "not-yet-valid" << false
        << "is not valid yet (valid from 2099-01-01 00:00:00Z until 2099-12-31 00:00:00Z)";
}

void PkgsealTest::badInputLeavesPackagesUntouched()
{
    QFETCH(QString, problem);
    QFETCH(bool, unreadablePackage);
    QFETCH(QString, reason);

    const QString good = copyOf(m_package, "good-" + problem + ".rpm");
    const QString folder = m_directory.filePath("bad-" + problem);
    QVERIFY(QDir().mkpath(folder));
    QString bad = folder + "/bad.rpm";
    TestPki::Signer signer = m_developer;
    QString named = bad;
    QFile badFile(bad);
    QByteArray content;
    QFile original(m_package);
    QVERIFY(original.open(QIODevice::ReadOnly));
    const QByteArray packageBytes = original.readAll();

    if (problem == "text") {
        content = "Name: hello\n";
    } else if (problem == "truncated") {
        content = packageBytes.left(3000);
    } else if (problem == "corrupt-header") {
        content = packageBytes;
        content.replace(96 + 8, 4, QByteArray::fromHex("00ffffff"));
    } else if (problem == "corrupt-signature") {
        QVERIFY(QFile::copy(signedCopy("to-corrupt.rpm"), bad));
        QVERIFY(badFile.open(QIODevice::ReadOnly));
        content = badFile.readAll();
        badFile.close();
        content.replace("PKSL", "PKSX");
    } else if (problem == "directory") {
        QVERIFY(QDir().mkpath(bad));
    } else if (problem == "fifo") {
        QCOMPARE(::mkfifo(QFile::encodeName(bad).constData(), 0644), 0);
    } else if (problem != "missing") {
        content = packageBytes;
    }
    if (!content.isEmpty()) {
        QVERIFY(badFile.open(QIODevice::WriteOnly | QIODevice::Truncate));
        badFile.write(content);
        badFile.close();
    }
    if (problem == "read-only")
        QVERIFY(QFile::setPermissions(bad, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    if (problem == "read-only-folder")
        QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
    if (problem == "bad-key") {
        signer.key = bad;
        named = bad;
        bad = copyOf(m_package, "other-" + problem + ".rpm");
    } else if (problem == "missing-certificate") {
        signer.certificate = folder + "/none.pem";
        named = signer.certificate;
    } else if (problem == "mismatch") {
        signer.key = m_client.key;
        named = m_client.key;
    } else if (problem == "expired" || problem == "not-yet-valid") {
        signer = problem == "expired" ? m_expired : m_notYetValid;
        named = signer.certificate;
    }

    const QByteArray goodHash = hashOf(good);
    const QByteArray badHash = hashOf(bad);
    QList<TestProcess> runs = {sign(signer, {good, bad})};
    if (unreadablePackage) {
        runs += {pkgseal({"delete", good, bad}),
                 pkgseal({"dump", bad}),
                 pkgseal({"verify", "--root-cert", m_bundle, bad})};
    }
    for (const TestProcess &run : runs) {
        QVERIFY2(!run.crashed && run.exitCode != 0, qPrintable(run.describe()));
        const QStringList lines = QString::fromUtf8(run.errorOutput).split('\n');
        QCOMPARE(lines.filter(named).size(), 1);
        QVERIFY2(lines.filter(named).front().contains(reason), qPrintable(run.describe()));
        QCOMPARE(hashOf(good), goodHash);
        QCOMPARE(hashOf(bad), badHash);
    }
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

void PkgsealTest::damagedPackageIsNeitherSignedNorVerified_data()
{
    QTest::addColumn<bool>("bigPackage");
    QTest::addColumn<int>("cutBytes");
    QTest::addColumn<bool>("flipByte");

    QTest::newRow("last byte cut") << false << 1 << false;
    QTest::newRow("1000 bytes cut") << false << 1000 << false;
    QTest::newRow("cut in the middle of the payload") << true << 2 * 1024 * 1024 << false;
    QTest::newRow("a byte appended") << false << -1 << false;
    QTest::newRow("a payload byte changed") << false << 0 << true;
}

// rpm's own size and digest tags tell a damaged package, signed or not.
void PkgsealTest::damagedPackageIsNeitherSignedNorVerified()
{
    QFETCH(bool, bigPackage);
    QFETCH(int, cutBytes);
    QFETCH(bool, flipByte);
    const QString original = bigPackage ? m_bigPackage : m_package;
    const QString unsignedPackage = copyOf(original, "damaged-unsigned.rpm");
    const QString signedPackage = copyOf(original, "damaged-signed.rpm");
    QVERIFY(sign(m_developer, {signedPackage}).succeeded());

    for (const QString &package : {unsignedPackage, signedPackage}) {
        QFile file(package);
        QVERIFY(file.open(QIODevice::ReadWrite));
        if (cutBytes != 0)
            QVERIFY(file.resize(file.size() - cutBytes));
        if (flipByte) {
            QVERIFY(file.seek(file.size() - 100));
            const char byte = file.read(1).at(0);
            QVERIFY(file.seek(file.size() - 100));
            file.write(QByteArray(1, char(byte ^ 0x01)));
        }
    }
    const QByteArray unsignedHash = hashOf(unsignedPackage);
    const QByteArray signedHash = hashOf(signedPackage);
    for (const TestProcess &run : {sign(m_client, {unsignedPackage}),
                                   sign(m_client, {signedPackage}),
                                   pkgseal({"verify", "--root-cert", m_bundle, signedPackage})}) {
        QVERIFY2(!run.crashed && run.exitCode != 0, qPrintable(run.describe()));
        QVERIFY2(run.errorOutput.contains("the package is damaged")
                     && !run.errorOutput.contains("signature 1"),
                 qPrintable(run.describe()));
    }
    QCOMPARE(hashOf(unsignedPackage), unsignedHash);
    QCOMPARE(hashOf(signedPackage), signedHash);
}

void PkgsealTest::signatureLimitIsCheckedBeforeWriting()
{
    const QString package = copyOf(m_package, "limit.rpm");
    for (const TestPki::Signer &signer : qAsConst(m_limitSigners)) {
        const TestProcess signing = sign(signer, {package});
        QVERIFY2(signing.succeeded(), qPrintable(signing.describe()));
    }
    const QByteArray fullHash = hashOf(package);
    const TestProcess beyond = sign(m_developer, {package});
    QVERIFY2(!beyond.crashed && beyond.exitCode != 0, qPrintable(beyond.describe()));
    QVERIFY2(beyond.errorOutput.contains("64 signatures, the most a package can hold"),
             qPrintable(beyond.describe()));
    QCOMPARE(hashOf(package), fullHash);

    QCOMPARE(signatureBlocks(QString::fromUtf8(pkgseal({"dump", package}).output)).size(), 64);
    const TestProcess verify = pkgseal({"verify", "--root-cert", m_bundle, package});
    QVERIFY2(verify.succeeded() && verify.output.contains("64 signature(s) verified"),
             qPrintable(verify.describe()));
    QVERIFY(digestsOk(package));
    QVERIFY(pkgseal({"delete", package}).succeeded());
    QCOMPARE(hashOf(package), hashOf(m_package));
}

// Enough packages for several batches, one of them named twice: one line per package, in order.
void PkgsealTest::signsManyPackagesInOneCall()
{
    QStringList packages;
    for (int i = 0; i < 70; ++i)
        packages.append(copyOf(m_package, QString("many-%1.rpm").arg(i)));
    packages.insert(5, packages.front());
    const TestProcess signing = sign(m_developer, packages);
    QVERIFY2(signing.succeeded(), qPrintable(signing.describe()));
    const QStringList lines = QString::fromUtf8(signing.output).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), packages.size());
    for (int i = 0; i < packages.size(); ++i) {
        const QString outcome = i == 5 ? ": already signed with the certificate of "
                                       : ": signed by ";
        QVERIFY2(lines[i].startsWith(packages[i] + outcome), qPrintable(lines[i]));
    }
    packages.removeAt(5);
    const TestProcess verify = pkgseal(QStringList{"verify", "--root-cert", m_bundle} + packages);
    QVERIFY2(verify.succeeded(), qPrintable(verify.describe()));
    QCOMPARE(verify.output.count("1 signature(s) verified"), packages.size());
    QVERIFY(pkgseal(QStringList{"delete"} + packages).succeeded());
    for (const QString &package : qAsConst(packages))
        QCOMPARE(hashOf(package), hashOf(m_package));
}

void PkgsealTest::concurrentSignersKeepEverySignature_data()
{
    QTest::addColumn<bool>("bigPackage");
    QTest::addColumn<int>("trials");

    QTest::newRow("small package") << false << 20;
    QTest::newRow("4 MiB package") << true << 5;
}

void PkgsealTest::concurrentSignersKeepEverySignature()
{
    QFETCH(bool, bigPackage);
    QFETCH(int, trials);
    const QString package = m_directory.filePath("concurrent.rpm");
    for (int trial = 0; trial < trials; ++trial) {
        QVERIFY(!copyOf(bigPackage ? m_bigPackage : m_package, "concurrent.rpm").isEmpty());
        QList<QProcess *> signers;
        for (const TestPki::Signer &signer : {m_developer, m_client, m_extraSigners[0]}) {
            signers.append(new QProcess(this));
            signers.back()->start(pkgsealPath(),
                                  {"sign", "-k", signer.key, "-c", signer.certificate, package});
        }
        for (QProcess *signer : qAsConst(signers)) {
            QVERIFY(signer->waitForFinished(120 * 1000));
            QVERIFY2(signer->exitStatus() == QProcess::NormalExit && signer->exitCode() == 0,
                     signer->readAllStandardError().constData());
            delete signer;
        }
        const TestProcess dump = pkgseal({"dump", package});
        QCOMPARE(signatureBlocks(QString::fromUtf8(dump.output)).size(), 3);
        QVERIFY(isSignedIntact(package, bigPackage ? m_bigPackage : m_package));
    }
}

void PkgsealTest::signingKeepsWhatTheUserSet_data()
{
    QTest::addColumn<QString>("kept");
    QTest::addColumn<bool>("secondName");

    QTest::newRow("a name of 250 bytes") << "long name" << false;
    QTest::newRow("extended attributes") << "attribute" << false;
    QTest::newRow("extended attributes, replaced") << "attribute" << true;
    QTest::newRow("holes") << "holes" << false;
    QTest::newRow("holes, replaced") << "holes" << true;
}

// A package with a second name (hard link) is replaced, not written in place: that name keeps
// the old content, as with rpm's own signing.
void PkgsealTest::signingKeepsWhatTheUserSet()
{
    QFETCH(QString, kept);
    QFETCH(bool, secondName);
    const QString folder = m_directory.filePath("kept-" + QString(QTest::currentDataTag()));
    QVERIFY(QDir().mkpath(folder));
    const QString name = kept == "long name" ? QString(246, 'p') + ".rpm" : QString("kept.rpm");
    const QString package = folder + "/" + name;
    QVERIFY(QFile::copy(m_zeroPackage, package));
    const QByteArray path = QFile::encodeName(package);
    const QByteArray value = "kept by pkgseal";
    if (kept == "attribute")
        QCOMPARE(::setxattr(path, "user.quillmark", value.data(), value.size(), 0), 0);
    if (kept == "holes") {
        QVERIFY(TestProcess::run("fallocate", {"--dig-holes", package}).succeeded());
    }
    struct stat before;
    QCOMPARE(::stat(path, &before), 0);
    if (kept == "holes")
        QVERIFY(before.st_blocks * 512 < before.st_size / 2);
    const QString otherName = m_directory.filePath("other-name-" + QString(QTest::currentDataTag()));
    QFile::remove(otherName);
    if (secondName)
        QCOMPARE(::link(path, QFile::encodeName(otherName)), 0);

    const TestProcess signing = sign(m_developer, {package});
    QVERIFY2(signing.succeeded(), qPrintable(signing.describe()));
    QVERIFY(isSignedIntact(package, m_zeroPackage));
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System), QStringList(name));
    if (secondName)
        QCOMPARE(hashOf(otherName), hashOf(m_zeroPackage));
    struct stat after;
    QCOMPARE(::stat(path, &after), 0);
    if (kept == "holes")
        QVERIFY2(after.st_blocks <= before.st_blocks, qPrintable(QString::number(after.st_blocks)));
    if (kept == "attribute") {
        char read[64] = {};
        QCOMPARE(::getxattr(path, "user.quillmark", read, sizeof(read)), ssize_t(value.size()));
        QCOMPARE(QByteArray(read), value);
    }
}

void PkgsealTest::dumpNamesEachPackage()
{
    const QString signedPackage = signedCopy("dump-signed.rpm");
    const QString unsignedPackage = copyOf(m_package, "dump-unsigned.rpm");
    const TestProcess dump = pkgseal({"dump", signedPackage, "dump-unsigned.rpm"},
                                     {},
                                     m_directory.path());
    QVERIFY2(dump.succeeded(), qPrintable(dump.describe()));

    // Readers split a dump of several packages at the paths it names.
    const QString text = QString::fromUtf8(dump.output);
    QRegularExpressionMatchIterator paths
        = QRegularExpression("(\\/.*.rpm)", QRegularExpression::InvertedGreedinessOption)
              .globalMatch(text);
    QList<QRegularExpressionMatch> matches;
    while (paths.hasNext())
        matches.append(paths.next());
    QCOMPARE(matches.size(), 2);
    QCOMPARE(matches[0].captured(1), signedPackage);
    QCOMPARE(matches[1].captured(1), unsignedPackage);

    const QString first = text.mid(matches[0].capturedStart(),
                                   matches[1].capturedStart() - matches[0].capturedStart());
    QStringList groups;
    QRegularExpressionMatchIterator groupLines = QRegularExpression("(?:Group: )(.*?)[\r\n]+")
                                                     .globalMatch(first);
    while (groupLines.hasNext())
        groups.append(groupLines.next().captured(1));
    QCOMPARE(groups, QStringList({"developer", "client"}));

    const QString second = text.mid(matches[1].capturedStart());
    QVERIFY(second.contains("No signatures."));
    QVERIFY(!second.contains("Subject") && !second.contains("Group: "));
}

void PkgsealTest::dumpKeepsEachSignatureInOneBlock()
{
    const QString package = copyOf(m_package, "odd.rpm");
    const TestProcess signing = sign(m_oddlyNamed, {package});
    QVERIFY2(signing.succeeded(), qPrintable(signing.describe()));
    const TestProcess dump = pkgseal({"dump", package});
    QVERIFY2(dump.succeeded(), qPrintable(dump.describe()));

    const QStringList blocks = signatureBlocks(QString::fromUtf8(dump.output));
    QCOMPARE(blocks.size(), 1);
    QVERIFY2(blocks[0].startsWith("Subject: O = Test, OU = client, OU = \\53ubject, "
                                  "CN = \\53ubject of rpm\n"
                                  "Group: client\nSubgroup: \\53ubject\n"),
             qPrintable(blocks[0]));
}

void PkgsealTest::killedWhileSigningLeavesOldOrSignedPackage_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::addColumn<bool>("secondName");
    QTest::addColumn<bool>("namedTemporaryFile");
    QTest::addColumn<int>("rounds");

    QTest::newRow("SIGKILL, written in place") << int(SIGKILL) << false << false << 100;
    QTest::newRow("SIGKILL, replaced") << int(SIGKILL) << true << false << 100;
    QTest::newRow("SIGTERM, replaced") << int(SIGTERM) << true << false << 20;
    QTest::newRow("SIGTERM, replaced through a named file") << int(SIGTERM) << true << true << 20;
}

// Signals at random moments of a signing: each package is byte-identical or fully signed, and
// nothing is left beside it.
void PkgsealTest::killedWhileSigningLeavesOldOrSignedPackage()
{
    QFETCH(int, signalNumber);
    QFETCH(bool, secondName);
    QFETCH(bool, namedTemporaryFile);
    QFETCH(int, rounds);
    const QString folder = m_directory.filePath("killed");
    QVERIFY(QDir().mkpath(folder));
    const QString package = folder + "/bulky.rpm";
    const QString otherName = m_directory.filePath("bulky-other-name.rpm");
    const QByteArray originalHash = hashOf(m_bigPackage);
    // Without /proc, unnamed files can't be linked, so pkgseal falls back to a named one, as on a
    // file system without unnamed files; the shell execs pkgseal, which keeps its process id.
    QString program = pkgsealPath();
    QStringList arguments = {"sign", "-k", m_developer.key, "-c", m_developer.certificate, package};
    if (namedTemporaryFile) {
        if (::geteuid() != 0)
            QSKIP("hiding /proc needs a mount namespace of root");
        arguments = QStringList{"-m",
                                "sh",
                                "-c",
                                "mount -t tmpfs none /proc && exec \"$0\" \"$@\"",
                                program}
                    + arguments;
        program = "unshare";
    }

    const auto prepare = [&] {
        QFile::remove(package);
        QFile::remove(otherName);
        return QFile::copy(m_bigPackage, package)
               && (!secondName
                   || ::link(QFile::encodeName(package), QFile::encodeName(otherName)) == 0);
    };
    // Signal delays are spread over the time a whole signing takes.
    QVERIFY(prepare());
    QElapsedTimer timer;
    timer.start();
    QVERIFY(TestProcess::run(program, arguments).succeeded());
    const qint64 fullRunMicroseconds = qMax<qint64>(timer.nsecsElapsed() / 1000, 1000);

    int unchanged = 0;
    int signedPackages = 0;
    for (int round = 0; round < rounds; ++round) {
        QVERIFY(prepare());
        QProcess process;
        process.start(program, arguments);
        QVERIFY(process.waitForStarted(-1));
        QThread::usleep(
            ulong(QRandomGenerator::global()->bounded(double(fullRunMicroseconds) * 1.2)));
        ::kill(pid_t(process.processId()), signalNumber);
        process.waitForFinished(-1);

        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System),
                 QStringList("bulky.rpm"));
        if (secondName)
            QCOMPARE(hashOf(otherName), originalHash);
        if (hashOf(package) == originalHash) {
            ++unchanged;
            continue;
        }
        ++signedPackages;
        QVERIFY(isSignedIntact(package, m_bigPackage));
    }
    qDebug("%d of %d runs left the package as it was, %d left it signed",
           unchanged,
           rounds,
           signedPackages);
}

QTEST_GUILESS_MAIN(PkgsealTest)

#include "tst_pkgseal.moc"
