#include "testpackages.h"
#include "testpki.h"
#include "testprocess.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace {

const char Passphrase[] = "s3cr3t-Phrase";

int wordAt(const QByteArray &bytes, int offset)
{
    return int(qFromBigEndian<quint32>(bytes.constData() + offset));
}

// Where the parts of a package lie, after the sizes its headers record.
struct Layout
{
    explicit Layout(const QByteArray &bytes)
    {
        const int indexStart = 96 + 16;
        const int dataStart = indexStart + 16 * wordAt(bytes, 96 + 8);
        signatureRegionTrailer = dataStart + wordAt(bytes, indexStart + 8);
        const int signatureHeaderEnd = dataStart + wordAt(bytes, 96 + 12);
        contentOffset = (signatureHeaderEnd + 7) / 8 * 8;
        mainHeaderEnd = contentOffset + 16 + 16 * wordAt(bytes, contentOffset + 8)
                        + wordAt(bytes, contentOffset + 12);
    }
    int signatureRegionTrailer;
    int contentOffset;
    int mainHeaderEnd;
};

// Empty for anything but a regular file: a FIFO is not read.
QByteArray contentsOf(const QString &path)
{
    QFile file(path);
    return QFileInfo(path).isFile() && file.open(QIODevice::ReadOnly) ? file.readAll()
                                                                      : QByteArray();
}

bool writeContents(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate)
           && file.write(bytes) == bytes.size();
}

QStringList linesOf(const QByteArray &output, const QString &start = {})
{
    return QString::fromUtf8(output)
        .split('\n', Qt::SkipEmptyParts)
        .filter(QRegularExpression('^' + QRegularExpression::escape(start)));
}

QStringList entriesOf(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System
                                  | QDir::NoDotAndDotDot);
}

QString pkgsealPath()
{
    return qEnvironmentVariable("QUILLMARK_BUILD_DIR") + "/bin/pkgseal";
}

TestProcess pkgseal(const QStringList &arguments, const QString &workingDirectory = {})
{
    return TestProcess::run(pkgsealPath(), arguments, {}, workingDirectory);
}

// With named temporary files, /proc is hidden: then pkgseal can't link unnamed files and falls
// back to named ones, as on a file system without unnamed ones. Hiding /proc needs a mount
// namespace, so root.
TestProcess sign(const TestPki::Signer &signer,
                 const QStringList &packages,
                 const QByteArray &input = {},
                 bool namedTemporaryFiles = false)
{
    QStringList command
        = QStringList{pkgsealPath(), "sign", "-k", signer.key, "-c", signer.certificate} + packages;
    if (namedTemporaryFiles && ::geteuid() == 0) {
        const QString hideProc = "mount -t tmpfs none /proc && exec \"$0\" \"$@\"";
        command = QStringList{"unshare", "-m", "sh", "-c", hideProc} + command;
    }
    return TestProcess::run(command.front(), command.mid(1), input);
}

// The packages verify, each with the number of signatures given, and rpm finds their digests OK.
bool areSignedIntact(const QStringList &packages, const QString &bundle, int signatures)
{
    const TestProcess verified = pkgseal(QStringList{"verify", "--root-cert", bundle} + packages);
    const QString count = QString(": %1 signature(s) verified").arg(signatures);
    const TestProcess check = TestProcess::run("rpmkeys", QStringList("--checksig") + packages);
    return verified.succeeded() && verified.output.count(count.toUtf8()) == packages.size()
           && check.succeeded() && check.output.count("digests OK") == packages.size();
}

// The run failed, and its one error line about the file named gives the reason.
void checkRefused(const TestProcess &run, const QString &named, const QString &reason)
{
    QVERIFY2(!run.crashed && run.exitCode != 0, qPrintable(run.describe()));
    const QStringList lines = linesOf(run.errorOutput).filter(named);
    QVERIFY2(lines.size() == 1 && lines.front().contains(reason), qPrintable(run.describe()));
}

} // namespace

class PkgsealTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void dumpsAndRemovesSignatures();
    void verificationNamesItsReason_data();
    void verificationNamesItsReason();
    void unusablePackagesAreRefused_data();
    void unusablePackagesAreRefused();
    void signingNeedsAUsableKeyAndCertificate_data();
    void signingNeedsAUsableKeyAndCertificate();
    void holdsUpToTheSignatureLimit();
    void concurrentSignersKeepEverySignature();
    void signingKeepsWhatTheUserSet();
    void readerSurvivesMutatedPackages();

private:
    QString copyOf(const QString &package, const QString &name) const;

    QTemporaryDir m_directory;
    QString m_package;
    QString m_signedPackage;
    QString m_bigPackage;
    QString m_zeroPackage;
    QString m_bundle;
    QString m_expiredRootBundle;
    TestPki::Signer m_developer;
    TestPki::Signer m_client;
    TestPki::Signer m_gost;
    TestPki::Signer m_encrypted;
    TestPki::Signer m_oddlyNamed;
    TestPki::Signer m_expired;
    TestPki::Signer m_notYetValid;
    TestPki::Signer m_foreignTwin;
    QList<TestPki::Signer> m_limitSigners;
};

void PkgsealTest::initTestCase()
{
    QVERIFY(m_directory.isValid());
    QVERIFY(QFileInfo(pkgsealPath()).isExecutable());

    const QString packages = m_directory.filePath("packages");
    QString error;
    m_package = buildTestPackage(packages, "hello", 2000, &error);
    m_bigPackage = buildTestPackage(packages, "bulky", 4 * 1024 * 1024, &error);
    m_zeroPackage = buildTestPackage(packages, "zeros", 1024 * 1024, &error, "/dev/zero");
    QVERIFY2(error.isEmpty(), qPrintable(error));

    TestPki pki(m_directory.filePath("pki"));
    const TestPki::Signer root = pki.createAuthority("root");
    pki.createAuthority("foreign");
    m_bundle = root.certificate;
    m_developer = pki.createSigner("root", "dev", "developer,kelvara");
    m_client = pki.createSigner("root", "customer", "client");
    m_gost = pki.createSigner("root", "gostdev", "developer", true);
    m_encrypted = pki.createSigner("root", "locked", "client", false, Passphrase);
    m_oddlyNamed = pki.createSigner("root", "Subject of rpm", "client,Subject");
    for (int i = 0; i < 64; ++i)
        m_limitSigners.append(pki.reissue("root", m_client));
    m_expired = pki.reissue("root", m_developer, "20200101000000Z", "20210101000000Z");
    m_notYetValid = pki.reissue("root", m_developer, "20990101000000Z", "20991231000000Z");
    m_foreignTwin = pki.reissue("foreign", m_developer);
    m_expiredRootBundle = pki.reissue("root", root, "20200101000000Z", "20210101000000Z").certificate;
    QVERIFY2(pki.errorString().isEmpty(), qPrintable(pki.errorString()));

    m_signedPackage = copyOf(m_package, "signed.rpm");
    QVERIFY(sign(m_developer, {m_signedPackage}).succeeded());
}

QString PkgsealTest::copyOf(const QString &package, const QString &name) const
{
    const QString copy = m_directory.filePath(name);
    QDir().mkpath(QFileInfo(copy).path());
    QFile::remove(copy);
    return QFile::copy(package, copy) ? copy : QString();
}

// A GOST developer signature, then a client signature: they are dumped in that order, and
// removing them gives back what rpmbuild made, byte for byte. A subject that holds the word that
// starts a block of the dump is escaped, so that readers can split dumps at it.
void PkgsealTest::dumpsAndRemovesSignatures()
{
    const QString package = copyOf(m_package, "dumped/signed.rpm");
    for (const TestPki::Signer &signer : {m_gost, m_oddlyNamed}) {
        const TestProcess signing = sign(signer, {package});
        QVERIFY2(signing.succeeded(), qPrintable(signing.describe()));
    }

    // The dump names each package as an absolute path; the groups are the first units.
    const QFileInfo info(package);
    const TestProcess dump = pkgseal({"dump", info.fileName(), m_package}, info.path());
    const QStringList lines = linesOf(dump.output);
    QVERIFY2(dump.succeeded() && lines.size() == 13, qPrintable(dump.describe()));
    QCOMPARE(lines.front(), package);
    QCOMPARE(lines.mid(11), QStringList({m_package, "No signatures."}));
    QCOMPARE(linesOf(dump.output, "Group: "), QStringList({"Group: developer", "Group: client"}));
    QCOMPARE(linesOf(dump.output, "Subgroup: "),
             QStringList({"Subgroup: none", "Subgroup: \\53ubject"}));
    QCOMPARE(dump.output.count("Subject"), 2);
    QVERIFY2(lines[5].startsWith("Signature: gost2012_256 with md_gost12_256"),
             qPrintable(lines[5]));

    for (const char *outcome : {"2 signature(s) removed", "has no signature, nothing removed"}) {
        const TestProcess removal = pkgseal({"delete", package});
        QVERIFY2(removal.succeeded() && removal.output.contains(outcome),
                 qPrintable(removal.describe()));
        QCOMPARE(contentsOf(package), contentsOf(m_package));
    }
}

void PkgsealTest::verificationNamesItsReason_data()
{
    QTest::addColumn<QString>("package");
    QTest::addColumn<QString>("bundle");
    QTest::addColumn<QString>("reason");

    QTest::newRow("expired root") << "signed" << m_expiredRootBundle
                                  << "certificate has expired (O = Test, CN = root, valid from "
                                     "2020-01-01 00:00:00Z until 2021-01-01 00:00:00Z)";
    QTest::newRow("signer's own certificate as root")
        << "signed" << m_developer.certificate << "chain does not verify";
    QTest::newRow("no signature") << "unsigned" << m_bundle << "the package has no signature";
    QTest::newRow("signature of another package")
        << "transplanted" << m_bundle << "the package content does not match the signature";
    QTest::newRow("same subject and key, foreign issuer")
        << "twin" << m_bundle << "chain does not verify: unable to get local issuer certificate";
}

// Each package is judged on its own: a package signed with the same subject and key that
// verifies may follow. A signature from another package, copied into a package of the same
// layout, leaves what rpm records about the package intact: only the signed digest tells.
void PkgsealTest::verificationNamesItsReason()
{
    QFETCH(QString, package);
    QFETCH(QString, bundle);
    QFETCH(QString, reason);
    QString path = package == "unsigned" ? m_package : m_signedPackage;
    if (package == "transplanted" || package == "twin") {
        path = copyOf(package == "twin" ? m_package : m_zeroPackage, package + ".rpm");
        QVERIFY(sign(package == "twin" ? m_foreignTwin : m_developer, {path}).succeeded());
    }
    if (package == "transplanted") {
        const QByteArray donor = contentsOf(m_signedPackage);
        QByteArray bytes = contentsOf(path);
        const qint64 blob = donor.indexOf("PKSL");
        const qint64 trailer = Layout(donor).signatureRegionTrailer;
        QVERIFY(blob > 0 && bytes.indexOf("PKSL") == blob);
        QCOMPARE(Layout(bytes).signatureRegionTrailer, trailer);
        QVERIFY(writeContents(path,
                              bytes.replace(blob, trailer - blob, donor.mid(blob, trailer - blob))));
    }
    QStringList packages{path};
    if (bundle == m_bundle)
        packages.append(m_signedPackage);
    const TestProcess run = pkgseal(QStringList{"verify", "--root-cert", bundle} + packages);
    checkRefused(run, path, reason);
    QCOMPARE(linesOf(run.output).size(), packages.size() - 1);
}

void PkgsealTest::unusablePackagesAreRefused_data()
{
    QTest::addColumn<int>("size");    // of the package written, none when negative
    QTest::addColumn<int>("changed"); // the offset of a byte changed, none when negative
    QTest::addColumn<QString>("reason");
    const QByteArray bytes = contentsOf(m_signedPackage);
    const Layout layout(bytes);
    const int size = bytes.size();
    const int trailer = layout.signatureRegionTrailer;
    const QString damaged = "the package is damaged: ";
    QTest::newRow("missing") << -1 << -1 << "No such file";
    QTest::newRow("directory") << -1 << -1 << "is a directory";
    QTest::newRow("FIFO") << -1 << -1 << "is not a regular file";
    QTest::newRow("cut in the lead") << 50 << -1 << "not an RPM package";
    QTest::newRow("cut in the signature header") << trailer << -1 << "unexpected end of file";
    QTest::newRow("cut in the main header")
        << layout.mainHeaderEnd - 1 << -1 << "unexpected end of file";
    QTest::newRow("last byte cut") << size - 1 << -1 << damaged + "it is";
    QTest::newRow("a byte appended") << size + 1 << -1 << damaged + "it is";
    QTest::newRow("last byte changed")
        << size << size - 1 << damaged + "its payload does not match";
    QTest::newRow("lead of another signature type") << size << 79 << "unsupported RPM lead";
    QTest::newRow("corrupt number of entries") << size << 96 + 9 << "invalid number of entries";
    QTest::newRow("corrupt region trailer") << size << trailer + 11 << "region trailer is corrupt";
    QTest::newRow("corrupt stored signature")
        << size << bytes.indexOf("PKSL") + 3 << "unknown format of the package's signatures";
    QTest::newRow("data after the signatures")
        << size << trailer - 1 << "signature list has trailing data";
}

// No command takes a file that is no readable package, and signing and verifying take no package
// that disagrees with what rpm's own tags record; nothing is changed. Signing copies a package
// with a second name into a new file while it reads it: when the damage shows, that file goes,
// even when it had a name.
void PkgsealTest::unusablePackagesAreRefused()
{
    QFETCH(int, size);
    QFETCH(int, changed);
    QFETCH(QString, reason);
    const QString damage = QTest::currentDataTag();
    const QString folder = m_directory.filePath("unusable/" + damage);
    QVERIFY(QDir().mkpath(folder));
    const QString bad = folder + "/bad.rpm";
    QByteArray bytes = contentsOf(m_signedPackage).leftJustified(size, '\0', true);
    if (changed >= 0)
        bytes[changed] = char(bytes[changed] ^ 0x10);
    if (damage == "directory")
        QVERIFY(QDir().mkpath(bad));
    else if (damage == "FIFO")
        QCOMPARE(::mkfifo(QFile::encodeName(bad).constData(), 0644), 0);
    else if (size >= 0)
        QVERIFY(writeContents(bad, bytes));
    ::link(QFile::encodeName(bad), QFile::encodeName(folder + ".second-name"));

    const QByteArray contents = contentsOf(bad);
    const QStringList entries = entriesOf(folder);
    QList<TestProcess> runs{sign(m_client, {bad}, {}, true),
                            pkgseal({"verify", "--root-cert", m_bundle, bad})};
    if (!reason.startsWith("the package is damaged"))
        runs << pkgseal({"delete", bad}) << pkgseal({"dump", bad});
    for (const TestProcess &run : runs) {
        checkRefused(run, bad, reason);
        QVERIFY2(!run.errorOutput.contains("signature 1"), qPrintable(run.describe()));
        QCOMPARE(contentsOf(bad), contents);
        QCOMPARE(entriesOf(folder), entries);
    }
}

void PkgsealTest::signingNeedsAUsableKeyAndCertificate_data()
{
    QTest::addColumn<QString>("reason");
    QTest::newRow("read-only package") << "the package is read-only";
    QTest::newRow("read-only folder") << "is read-only";
    QTest::newRow("unusable key") << "not a usable private key";
    QTest::newRow("missing certificate") << "cannot read certificate: No such file";
    QTest::newRow("key of another certificate") << "the key does not belong to the certificate";
    QTest::newRow("wrong pass phrase") << "wrong pass phrase for the encrypted key";
    QTest::newRow("no pass phrase") << "no pass phrase given for the encrypted key (end of input)";
    QTest::newRow("expired certificate")
        << "has expired (valid from 2020-01-01 00:00:00Z until 2021-01-01 00:00:00Z)";
    QTest::newRow("certificate not valid yet")
        << "is not valid yet (valid from 2099-01-01 00:00:00Z until 2099-12-31 00:00:00Z)";
    QTest::newRow("expired certificate in the chain") << "O = Test, CN = root has expired";
}

// Nothing is signed when one package can't be changed or the pair can't sign.
void PkgsealTest::signingNeedsAUsableKeyAndCertificate()
{
    QFETCH(QString, reason);
    const QString problem = QTest::currentDataTag();
    const QString folder = m_directory.filePath("refused/" + problem);
    const QString good = copyOf(m_package, "refused/" + problem + "/good.rpm");
    const QString other = copyOf(m_package, "refused/" + problem + "/sub/other.rpm");
    TestPki::Signer signer = m_developer;
    QString named = other;
    if (problem == "read-only package") {
        QVERIFY(QFile::setPermissions(other, QFile::ReadOwner | QFile::ReadGroup));
    } else if (problem == "read-only folder") {
        QVERIFY(QFile::setPermissions(folder + "/sub", QFile::ReadOwner | QFile::ExeOwner));
    } else if (problem == "unusable key") {
        signer.key = named = good;
    } else if (problem == "missing certificate") {
        signer.certificate = named = folder + "/none.pem";
    } else if (problem.endsWith("pass phrase")) {
        signer = m_encrypted;
        named = signer.key;
    } else if (problem == "key of another certificate") {
        signer.key = named = m_client.key;
    } else if (problem == "expired certificate in the chain") {
        signer.certificate = named = folder + "/chain.pem";
        QVERIFY(
            writeContents(named,
                          contentsOf(m_developer.certificate) + contentsOf(m_expiredRootBundle)));
    } else {
        signer = problem == "expired certificate" ? m_expired : m_notYetValid;
        named = signer.certificate;
    }
    const QByteArray goodContents = contentsOf(good);
    const QByteArray otherContents = contentsOf(other);
    const QByteArray input = problem == "wrong pass phrase" ? "not-the-phrase\n" : "";
    const TestProcess run = sign(signer, {good, other}, input);
    QFile::setPermissions(folder + "/sub", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    checkRefused(run, named, reason);
    QVERIFY2(run.errorOutput.contains("no package was changed"), qPrintable(run.describe()));
    QCOMPARE(contentsOf(good), goodContents);
    QCOMPARE(contentsOf(other), otherContents);
    QCOMPARE(entriesOf(folder + "/sub"), QStringList("other.rpm"));
}

// Signatures beyond rpm's reserved space grow the header, which rpm still reads; the 65th is
// refused before anything is written. Every SHA-256 signature signs the digest of exactly the
// content: from the first byte of the main header to the last byte of the file; the dump shows
// the start of each signed digest.
void PkgsealTest::holdsUpToTheSignatureLimit()
{
    const QString package = copyOf(m_package, "limit.rpm");
    for (const TestPki::Signer &signer : qAsConst(m_limitSigners)) {
        const TestProcess signing = sign(signer, {package});
        QVERIFY2(signing.succeeded(), qPrintable(signing.describe()));
    }
    QVERIFY(QFileInfo(package).size() > QFileInfo(m_package).size());
    const QByteArray full = contentsOf(package);
    checkRefused(sign(m_developer, {package}),
                 package,
                 "64 signatures, the most a package can hold");
    QCOMPARE(contentsOf(package), full);
    QVERIFY(areSignedIntact({package}, m_bundle, 64));

    const QByteArray bytes = contentsOf(package);
    const QByteArray digest = QCryptographicHash::hash(bytes.mid(Layout(bytes).contentOffset),
                                                       QCryptographicHash::Sha256);
    const QString expected = ", digest " + QString(digest.left(8).toHex().toUpper());
    const QStringList signatures = linesOf(pkgseal({"dump", package}).output, "Signature: ")
                                       .filter("with SHA256");
    QCOMPARE(signatures.size(), 64);
    for (const QString &line : signatures)
        QVERIFY2(line.endsWith(expected), qPrintable(line + " lacks " + expected));
    QVERIFY(pkgseal({"delete", package}).succeeded());
    QCOMPARE(contentsOf(package), contentsOf(m_package));
}

// Three signers at once on the same packages, enough for several batches, one of them named
// twice: each waits for a package's lock, then reads it as the one before left it, and reports
// one line per package, in order.
void PkgsealTest::concurrentSignersKeepEverySignature()
{
    QStringList packages;
    for (int i = 0; i < 40; ++i)
        packages.append(copyOf(i % 8 ? m_package : m_bigPackage, QString("many/%1.rpm").arg(i)));
    packages.insert(5, packages.front());
    std::vector<std::unique_ptr<QProcess>> signers;
    for (const TestPki::Signer &signer : {m_developer, m_client, m_oddlyNamed}) {
        signers.push_back(std::make_unique<QProcess>());
        signers.back()->start(pkgsealPath(),
                              QStringList{"sign", "-k", signer.key, "-c", signer.certificate}
                                  + packages);
    }
    for (const auto &signer : signers) {
        QVERIFY(signer->waitForFinished(120 * 1000));
        const QStringList lines = linesOf(signer->readAllStandardOutput());
        QVERIFY2(signer->exitStatus() == QProcess::NormalExit && signer->exitCode() == 0
                     && lines.size() == packages.size(),
                 signer->readAllStandardError().constData());
        for (int i = 0; i < packages.size(); ++i) {
            const QString outcome = i == 5 ? ": already signed with the certificate of "
                                           : ": signed by ";
            QVERIFY2(lines[i].startsWith(packages[i] + outcome), qPrintable(lines[i]));
        }
    }
    packages.removeAt(5);
    QVERIFY(areSignedIntact(packages, m_bundle, 3));
}

// A package with a second name (hard link) is replaced, not written in place: that name keeps
// the old content, as with rpm's own signing. The package keeps its mode, its extended attributes
// and its holes; the replacement goes through a named temporary file beside a name of 250 bytes.
void PkgsealTest::signingKeepsWhatTheUserSet()
{
    const QString folder = m_directory.filePath("kept");
    const QString package = copyOf(m_zeroPackage, "kept/" + QString(246, 'p') + ".rpm");
    const QFile::Permissions mode = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther;
    QVERIFY(QFile::setPermissions(package, mode));
    const QByteArray path = QFile::encodeName(package);
    const QByteArray value = "kept by pkgseal";
    QCOMPARE(::setxattr(path, "user.quillmark", value.data(), value.size(), 0), 0);
    QVERIFY(TestProcess::run("fallocate", {"--dig-holes", package}).succeeded());
    struct stat before;
    QVERIFY(::stat(path, &before) == 0 && before.st_blocks * 512 < before.st_size / 2);
    const QString otherName = folder + ".other-name";
    QCOMPARE(::link(path, QFile::encodeName(otherName)), 0);

    const TestProcess signing = sign(m_developer, {package}, {}, true);
    QVERIFY2(signing.succeeded(), qPrintable(signing.describe()));
    QVERIFY(areSignedIntact({package}, m_bundle, 1));
    QCOMPARE(QFileInfo(package).size(), QFileInfo(m_zeroPackage).size());
    QCOMPARE(entriesOf(folder), QStringList(QFileInfo(package).fileName()));
    QCOMPARE(QFileInfo(package).permissions() & QFile::Permissions(0x7077), mode);
    QCOMPARE(contentsOf(otherName), contentsOf(m_zeroPackage));
    struct stat after;
    QVERIFY2(::stat(path, &after) == 0 && after.st_blocks <= before.st_blocks,
             qPrintable(QString::number(after.st_blocks)));
    char read[64] = {};
    QCOMPARE(::getxattr(path, "user.quillmark", read, sizeof(read)), ssize_t(value.size()));
    QCOMPARE(QByteArray(read), value);
}

// The reader's fuzz target, seeded with packages that hold 0, 1 and 2 signatures.
void PkgsealTest::readerSurvivesMutatedPackages()
{
#ifndef FUZZER_PATH
    QSKIP("The compiler cannot build the fuzz target.");
#else
    const QString twice = copyOf(m_signedPackage, "corpus/signed-2.rpm");
    QVERIFY(sign(m_client, {twice}).succeeded());
    const QString corpus = QFileInfo(twice).path();
    QVERIFY(QFile::copy(m_package, corpus + "/unsigned.rpm")
            && QFile::copy(m_signedPackage, corpus + "/signed-1.rpm"));
    const TestProcess fuzzing
        = TestProcess::run(FUZZER_PATH,
                           {"-runs=20000", "-seed=1", "-max_len=131072", corpus},
                           {},
                           m_directory.path());
    QVERIFY2(fuzzing.succeeded() && fuzzing.errorOutput.contains("Done 20000 runs"),
             qPrintable(fuzzing.describe()));
#endif
}

QTEST_GUILESS_MAIN(PkgsealTest)

#include "tst_pkgseal.moc"
