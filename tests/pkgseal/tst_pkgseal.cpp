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
    void dumpNamesEachPackage();
    void dumpKeepsEachSignatureInOneBlock();
    void killedWhileSigningLeavesOldOrNewPackage();
    void terminatedWhileSigningLeavesNoTemporaryFile();

private:
    TestProcess pkgseal(const QStringList &arguments,
                        const QByteArray &input = {},
                        const QString &workingDirectory = {}) const;
    TestProcess sign(const TestPki::Signer &signer, const QStringList &packages) const;
    QString copyOf(const QString &package, const QString &name) const;
    QString signedCopy(const QString &name) const;
    static QByteArray hashOf(const QString &path);
    static bool digestsOk(const QString &package);
    static QStringList signatureBlocks(const QString &dump);

    QTemporaryDir m_directory;
    QString m_package;
    QString m_bigPackage;
    QString m_bundle;
    QString m_foreignBundle;
    TestPki::Signer m_developer;
    TestPki::Signer m_client;
    TestPki::Signer m_extraSigners[2];
    TestPki::Signer m_gost;
    TestPki::Signer m_encrypted;
    TestPki::Signer m_oddlyNamed;
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

TestProcess PkgsealTest::pkgseal(const QStringList &arguments,
                                 const QByteArray &input,
                                 const QString &workingDirectory) const
{
    return TestProcess::run(qEnvironmentVariable("QUILLMARK_BUILD_DIR") + "/bin/pkgseal",
                            arguments,
                            input,
                            workingDirectory);
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
    if (!file.open(QIODevice::ReadOnly))
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

    const TestProcess foreign = pkgseal({"verify", "--root-cert", m_foreignBundle, package});
    QVERIFY(!foreign.crashed && foreign.exitCode != 0);
    QVERIFY(foreign.errorOutput.contains(package.toUtf8()));

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

    QTest::newRow("missing package") << "missing" << true;
    QTest::newRow("not an RPM") << "text" << true;
    QTest::newRow("truncated package") << "truncated" << true;
    QTest::newRow("corrupt signature header") << "corrupt-header" << true;
    QTest::newRow("corrupt stored signature") << "corrupt-signature" << true;
    QTest::newRow("directory") << "directory" << true;
    QTest::newRow("read-only package") << "read-only" << false;
    QTest::newRow("read-only folder") << "read-only-folder" << false;
    QTest::newRow("unreadable key") << "bad-key" << false;
    QTest::newRow("missing certificate") << "missing-certificate" << false;
    QTest::newRow("key of another certificate") << "mismatch" << false;
}

void PkgsealTest::badInputLeavesPackagesUntouched()
{
    QFETCH(QString, problem);
    QFETCH(bool, unreadablePackage);

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
    }

    const QByteArray goodHash = hashOf(good);
    const QByteArray badHash = hashOf(bad);
    QList<TestProcess> runs = {sign(signer, {good, bad})};
    if (unreadablePackage)
        runs += {pkgseal({"delete", good, bad}), pkgseal({"dump", bad})};
    for (const TestProcess &run : runs) {
        QVERIFY2(!run.crashed && run.exitCode != 0, qPrintable(run.describe()));
        const QStringList lines = QString::fromUtf8(run.errorOutput).split('\n');
        QCOMPARE(lines.filter(named).size(), 1);
        QCOMPARE(hashOf(good), goodHash);
        QCOMPARE(hashOf(bad), badHash);
    }
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
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

void PkgsealTest::killedWhileSigningLeavesOldOrNewPackage()
{
    const QString folder = m_directory.filePath("killed");
    QVERIFY(QDir().mkpath(folder));
    const QString package = folder + "/bulky.rpm";
    const QByteArray originalHash = hashOf(m_bigPackage);
    const QStringList arguments
        = {"sign", "-k", m_developer.key, "-c", m_developer.certificate, package};
    const QString program = qEnvironmentVariable("QUILLMARK_BUILD_DIR") + "/bin/pkgseal";

    // Kill delays are spread over the time a whole signing takes.
    QVERIFY(QFile::copy(m_bigPackage, package));
    QElapsedTimer timer;
    timer.start();
    QVERIFY(TestProcess::run(program, arguments).succeeded());
    const qint64 fullRunMicroseconds = qMax<qint64>(timer.nsecsElapsed() / 1000, 1000);

    int unchanged = 0;
    int signedPackages = 0;
    for (int round = 0; round < 50; ++round) {
        QFile::remove(package);
        QVERIFY(QFile::copy(m_bigPackage, package));
        QProcess process;
        process.start(program, arguments);
        QVERIFY(process.waitForStarted(-1));
        QThread::usleep(
            ulong(QRandomGenerator::global()->bounded(double(fullRunMicroseconds) * 1.2)));
        process.kill();
        process.waitForFinished(-1);

        if (hashOf(package) == originalHash) {
            ++unchanged;
            continue;
        }
        ++signedPackages;
        const TestProcess verify = pkgseal({"verify", "--root-cert", m_bundle, package});
        QVERIFY2(verify.succeeded(), qPrintable(verify.describe()));
        QVERIFY(digestsOk(package));
        QCOMPARE(QFileInfo(package).size(), QFileInfo(m_bigPackage).size());
    }
    qDebug("%d runs killed before the replacement, %d after", unchanged, signedPackages);
}

void PkgsealTest::terminatedWhileSigningLeavesNoTemporaryFile()
{
    const QString folder = m_directory.filePath("terminated");
    QVERIFY(QDir().mkpath(folder));
    const QString package = folder + "/bulky.rpm";
    const QByteArray originalHash = hashOf(m_bigPackage);
    for (int round = 0; round < 10; ++round) {
        QFile::remove(package);
        QVERIFY(QFile::copy(m_bigPackage, package));
        QProcess process;
        process.start(qEnvironmentVariable("QUILLMARK_BUILD_DIR") + "/bin/pkgseal",
                      {"sign", "-k", m_developer.key, "-c", m_developer.certificate, package});
        QVERIFY(process.waitForStarted(-1));
        QThread::usleep(ulong(QRandomGenerator::global()->bounded(50000)));
        process.terminate();
        process.waitForFinished(-1);

        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList("bulky.rpm"));
        if (hashOf(package) != originalHash)
            QVERIFY(pkgseal({"verify", "--root-cert", m_bundle, package}).succeeded());
    }
}

QTEST_GUILESS_MAIN(PkgsealTest)

#include "tst_pkgseal.moc"
