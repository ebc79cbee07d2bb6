#include <sdkconfig/sdkconfig.h>

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

struct ToolOutcome
{
    int exitCode = -1;
    QByteArray output;
    QByteArray error;
};

// Creates a demo SDK with the real kelvara-sdk and checks it with the real openssl, sandbox
// and rpmbuild.
class tst_Sdk : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void createsEveryFile_data();
    void createsEveryFile();
    void configurationNamesTheDemoParts();
    void certificatesVerifyAgainstRootCaOnly_data();
    void certificatesVerifyAgainstRootCaOnly();
    void keysMatchTheirCertificates_data();
    void keysMatchTheirCertificates();
    void encryptedKeyNeedsItsPassPhrase();
    void runCommandWorksWithEmptyEnvironment();
    void exampleBuildsTwoPackagesInContainer();
    void refusesToOverwrite_data();
    void refusesToOverwrite();
    void pkgsealSignsWithDemoKeys_data();
    void pkgsealSignsWithDemoKeys();
    void pkgsealRejectsOtherRootCa();

private:
    ToolOutcome createSdk(const QString &dir);
    ToolOutcome runInContainer(const QStringList &command);
    QString unsignedPackage(const QString &name);
    QString file(const QString &relativePath) const { return m_sdk + '/' + relativePath; }

    QTemporaryDir m_tempDir;
    QString m_sdk;
    QByteArray m_createOutput;
};

static const char passPhrase[] = "kelvara-demo";

static ToolOutcome runTool(
    const QString &program,
    const QStringList &arguments,
    const QString &workingDir = {},
    const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment())
{
    QProcess process;
    process.setWorkingDirectory(workingDir);
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    process.waitForFinished(-1);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            process.readAllStandardOutput(),
            process.readAllStandardError()};
}

// openssl with its gost engine, which the GOST pair needs and the others ignore.
static ToolOutcome openssl(QStringList arguments)
{
    arguments.insert(1, "-engine");
    arguments.insert(2, "gost");
    return runTool("openssl", arguments);
}

static QString binDir()
{
    return qEnvironmentVariable("QUILLMARK_BUILD_DIR") + "/bin";
}

ToolOutcome tst_Sdk::createSdk(const QString &dir)
{
    return runTool(binDir() + "/kelvara-sdk", {"create", dir});
}

// As the IDE runs tools: the run command with WORKSPACE_DIR alone, in the workspace.
ToolOutcome tst_Sdk::runInContainer(const QStringList &command)
{
    QProcessEnvironment environment;
    environment.insert("WORKSPACE_DIR", file("workspace"));
    return runTool(file("bin/run-kelvara-build"), command, file("workspace"), environment);
}

void tst_Sdk::initTestCase()
{
    QVERIFY(m_tempDir.isValid());
    // rpmbuild cannot build in a folder whose path holds a blank.
    m_sdk = m_tempDir.filePath("demo-sdk");
    const ToolOutcome created = createSdk(m_sdk);
    QVERIFY2(created.exitCode == 0, created.error.constData());
    m_createOutput = created.output;
}

void tst_Sdk::createsEveryFile_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("permissions");

    const int privateKey = 0600;
    const int publicFile = 0644;
    const QList<QPair<const char *, int>> files{{"sdk.json", publicFile},
                                                {"README.txt", publicFile},
                                                {"bin/run-kelvara-build", 0755},
                                                {"ca/root-ca.pem", publicFile},
                                                {"ca/root-ca-key.pem", privateKey},
                                                {"ca/other-ca.pem", publicFile},
                                                {"package-signing/regular_key.pem", privateKey},
                                                {"package-signing/regular_cert.pem", publicFile},
                                                {"engine/developer-key-release.pem", privateKey},
                                                {"engine/developer-regular-release-cert.pem",
                                                 publicFile},
                                                {"engine/root-ca-bundle.pem", publicFile},
                                                {"keys/developer-key.pem", privateKey},
                                                {"keys/developer-cert.pem", publicFile},
                                                {"keys/developer-key-encrypted.pem", privateKey},
                                                {"keys/client-key.pem", privateKey},
                                                {"keys/client-cert.pem", publicFile},
                                                {"keys/gost-developer-key.pem", privateKey},
                                                {"keys/gost-developer-cert.pem", publicFile},
                                                {"workspace/hello/hello.spec", publicFile}};
    for (const auto &entry : files)
        QTest::newRow(entry.first) << QString::fromLatin1(entry.first) << entry.second;
}

void tst_Sdk::createsEveryFile()
{
    QFETCH(QString, path);
    QFETCH(int, permissions);
    struct stat status;
    QVERIFY2(::stat(QFile::encodeName(file(path)).constData(), &status) == 0, qPrintable(path));
    QVERIFY(S_ISREG(status.st_mode));
    QCOMPARE(QString::number(status.st_mode & 07777, 8), QString::number(permissions, 8));

    if (!path.startsWith("workspace/") && path != "README.txt") {
        QFile readme(file("README.txt"));
        QVERIFY(readme.open(QIODevice::ReadOnly));
        QVERIFY2(readme.readAll().contains(QFileInfo(path).fileName().toUtf8()),
                 "README.txt does not list the file");
    }
}

void tst_Sdk::configurationNamesTheDemoParts()
{
    SdkConfig::Configuration config;
    QString errorString;
    QVERIFY2(SdkConfig::Configuration::load(m_sdk, &config, &errorString), qPrintable(errorString));
    QCOMPARE(config.workspace, file("workspace"));
    QCOMPARE(config.engines.size(), 1);
    QCOMPARE(config.engines.first().name, QString("kelvara-engine"));
    QCOMPARE(config.engines.first().path, file("engine"));
    QCOMPARE(config.engines.first().sharedSrcPath, file("workspace"));
    QCOMPARE(config.containers.size(), 1);
    QCOMPARE(config.containers.first().name, QString("kelvara-build"));
    QCOMPARE(config.containers.first().engine, QString("kelvara-engine"));
    QCOMPARE(config.containers.first().runCommand, file("bin/run-kelvara-build"));
}

void tst_Sdk::certificatesVerifyAgainstRootCaOnly_data()
{
    QTest::addColumn<QString>("certificate");
    QTest::addColumn<QString>("group");
    QTest::newRow("regular") << "package-signing/regular_cert.pem"
                             << "developer";
    QTest::newRow("engine release") << "engine/developer-regular-release-cert.pem"
                                    << "developer";
    QTest::newRow("developer") << "keys/developer-cert.pem"
                               << "developer";
    QTest::newRow("client") << "keys/client-cert.pem"
                            << "client";
    QTest::newRow("GOST developer") << "keys/gost-developer-cert.pem"
                                    << "developer";
}

void tst_Sdk::certificatesVerifyAgainstRootCaOnly()
{
    QFETCH(QString, certificate);
    QFETCH(QString, group);

    const ToolOutcome trusted = openssl(
        {"verify", "-CAfile", file("engine/root-ca-bundle.pem"), file(certificate)});
    QVERIFY2(trusted.exitCode == 0, trusted.error.constData());
    QVERIFY(openssl({"verify", "-CAfile", file("ca/other-ca.pem"), file(certificate)}).exitCode
            != 0);

    const ToolOutcome details = openssl({"x509",
                                         "-in",
                                         file(certificate),
                                         "-noout",
                                         "-subject",
                                         "-nameopt",
                                         "sep_multiline",
                                         "-ext",
                                         "keyUsage,subjectKeyIdentifier"});
    QCOMPARE(details.exitCode, 0);
    const QString text = QString::fromUtf8(details.output);
    const QRegularExpression firstUnit("^\\s*OU=(.*)$", QRegularExpression::MultilineOption);
    QCOMPARE(firstUnit.match(text).captured(1), group);
    QVERIFY2(text.contains("Digital Signature"), qPrintable(text));
    QVERIFY2(text.contains("X509v3 Subject Key Identifier"), qPrintable(text));
}

void tst_Sdk::keysMatchTheirCertificates_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("certificate");
    QTest::newRow("regular") << "package-signing/regular_key.pem"
                             << "package-signing/regular_cert.pem";
    QTest::newRow("engine release") << "engine/developer-key-release.pem"
                                    << "engine/developer-regular-release-cert.pem";
    QTest::newRow("developer") << "keys/developer-key.pem"
                               << "keys/developer-cert.pem";
    QTest::newRow("developer, encrypted") << "keys/developer-key-encrypted.pem"
                                          << "keys/developer-cert.pem";
    QTest::newRow("client") << "keys/client-key.pem"
                            << "keys/client-cert.pem";
    QTest::newRow("GOST") << "keys/gost-developer-key.pem"
                          << "keys/gost-developer-cert.pem";
}

void tst_Sdk::keysMatchTheirCertificates()
{
    QFETCH(QString, key);
    QFETCH(QString, certificate);

    const ToolOutcome fromKey = openssl(
        {"pkey", "-in", file(key), "-pubout", "-passin", QString("pass:") + passPhrase});
    QVERIFY2(fromKey.exitCode == 0, fromKey.error.constData());
    QVERIFY(fromKey.output.startsWith("-----BEGIN PUBLIC KEY-----"));
    QCOMPARE(fromKey.output,
             openssl({"x509", "-in", file(certificate), "-noout", "-pubkey"}).output);
}

void tst_Sdk::encryptedKeyNeedsItsPassPhrase()
{
    QVERIFY2(m_createOutput.contains(QByteArray("\"") + passPhrase + '"'),
             m_createOutput.constData());
    const QString key = file("keys/developer-key-encrypted.pem");
    QVERIFY(openssl({"pkey", "-in", key, "-noout", "-passin", "pass:not-the-phrase"}).exitCode != 0);
    const ToolOutcome details = runTool("openssl", {"asn1parse", "-in", key});
    QVERIFY2(details.output.contains("aes-256-cbc"), details.output.constData());
}

void tst_Sdk::runCommandWorksWithEmptyEnvironment()
{
    const ToolOutcome bare = runTool("env",
                                     {"-i", file("bin/run-kelvara-build"), "true"},
                                     file("workspace"));
    QVERIFY2(bare.exitCode == 0, bare.error.constData());

    const ToolOutcome keys = runInContainer({"sh", "-c", "cat /etc/keys/public/root-ca-bundle.pem"});
    QCOMPARE(keys.exitCode, 0);
    QFile rootCa(file("ca/root-ca.pem"));
    QVERIFY(rootCa.open(QIODevice::ReadOnly));
    QCOMPARE(keys.output, rootCa.readAll());
}

void tst_Sdk::exampleBuildsTwoPackagesInContainer()
{
    const QString topDir = file("workspace/hello/build");
    const ToolOutcome built = runInContainer(
        {"rpmbuild", "-bb", "--define", "_topdir " + topDir, "hello/hello.spec"});
    QVERIFY2(built.exitCode == 0, built.error.constData());
    // rpm finds a database of its own in the container's home.
    QVERIFY2(!built.error.contains("error:"), built.error.constData());

    const QStringList packages = QDir(topDir + "/RPMS/noarch").entryList({"*.rpm"}, QDir::Files);
    QCOMPARE(packages.size(), 2);
    QStringList names;
    for (const QString &package : packages) {
        const ToolOutcome query
            = runTool("rpm",
                      {"-qp", "--qf", "%{NAME} %{ARCH}\n", topDir + "/RPMS/noarch/" + package});
        QCOMPARE(query.exitCode, 0);
        names << QString::fromUtf8(query.output.trimmed());
    }
    names.sort();
    QCOMPARE(names, QStringList({"hello noarch", "hello-doc noarch"}));
}

void tst_Sdk::refusesToOverwrite_data()
{
    QTest::addColumn<QString>("existing");
    QTest::newRow("non-empty folder") << "folder/keep.txt";
    QTest::newRow("hidden file") << "folder/.keep";
    QTest::newRow("plain file") << "folder";
}

void tst_Sdk::refusesToOverwrite()
{
    QFETCH(QString, existing);
    QTemporaryDir dir;
    const QString existingFile = dir.filePath(existing);
    QVERIFY(QDir().mkpath(QFileInfo(existingFile).path()));
    QFile keep(existingFile);
    QVERIFY(keep.open(QIODevice::WriteOnly) && keep.write("precious\n") == 9);
    keep.close();

    const ToolOutcome refused = createSdk(dir.filePath("folder"));
    QVERIFY(refused.exitCode != 0);
    QVERIFY2(refused.error.contains(dir.filePath("folder").toUtf8()), refused.error.constData());
    QVERIFY(keep.open(QIODevice::ReadOnly));
    QCOMPARE(keep.readAll(), QByteArray("precious\n"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList{"folder"});
    if (QFileInfo(dir.filePath("folder")).isDir()) {
        QCOMPARE(QDir(dir.filePath("folder"))
                     .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{QFileInfo(existing).fileName()});
    }
}

static void skipWithoutPkgseal()
{
    if (!QFileInfo::exists(binDir() + "/pkgseal"))
        QSKIP("bin/pkgseal is not built yet");
}

// A fresh unsigned copy of the example's main package in the workspace.
QString tst_Sdk::unsignedPackage(const QString &name)
{
    const QString topDir = file("workspace/pkgseal-build");
    const QString built = topDir + "/RPMS/noarch/hello-1.0-1.noarch.rpm";
    if (!QFileInfo::exists(built)) {
        const ToolOutcome outcome = runInContainer(
            {"rpmbuild", "-bb", "--define", "_topdir " + topDir, "hello/hello.spec"});
        if (outcome.exitCode != 0)
            return {};
    }
    const QString copy = file("workspace/" + name + ".rpm");
    return QFile::copy(built, copy) ? copy : QString();
}

void tst_Sdk::pkgsealSignsWithDemoKeys_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("certificate");
    QTest::addColumn<QString>("group");
    QTest::addColumn<bool>("asksForPassPhrase");

    QTest::newRow("engine default") << "/etc/keys/public/developer-key-release.pem"
                                    << "/etc/keys/public/developer-regular-release-cert.pem"
                                    << "developer" << false;
    QTest::newRow("developer") << file("keys/developer-key.pem") << file("keys/developer-cert.pem")
                               << "developer" << false;
    QTest::newRow("developer, encrypted") << file("keys/developer-key-encrypted.pem")
                                          << file("keys/developer-cert.pem") << "developer" << true;
    QTest::newRow("client") << file("keys/client-key.pem") << file("keys/client-cert.pem")
                            << "client" << false;
    QTest::newRow("GOST developer") << file("keys/gost-developer-key.pem")
                                    << file("keys/gost-developer-cert.pem") << "developer" << false;
}

// Signs the example in the container with each demo pair, read where the SDK keeps it; the
// signature verifies against the engine's default root CA bundle and carries the
// certificate's group.
void tst_Sdk::pkgsealSignsWithDemoKeys()
{
    QFETCH(QString, key);
    QFETCH(QString, certificate);
    QFETCH(QString, group);
    QFETCH(bool, asksForPassPhrase);
    skipWithoutPkgseal();

    const QString package = unsignedPackage(QTest::currentDataTag());
    QVERIFY(!package.isEmpty());

    QProcess process;
    QProcessEnvironment environment;
    environment.insert("WORKSPACE_DIR", file("workspace"));
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(file("workspace"));
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(file("bin/run-kelvara-build"),
                  {"pkgseal", "sign", "-k", key, "-c", certificate, package});
    QByteArray output;
    bool prompted = false;
    while (asksForPassPhrase && !prompted && process.waitForReadyRead(-1)) {
        output += process.readAll();
        prompted = output.contains("Enter passphrase for binaries key");
    }
    if (prompted)
        process.write(QByteArray(passPhrase) + '\n');
    process.waitForFinished(-1);
    output += process.readAll();
    QCOMPARE(prompted, asksForPassPhrase);
    QVERIFY2(process.exitCode() == 0, output.constData());

    const ToolOutcome verified = runInContainer({"pkgseal", "verify", package});
    QVERIFY2(verified.exitCode == 0, verified.error.constData());
    const ToolOutcome dumped = runInContainer({"pkgseal", "dump", package});
    QCOMPARE(dumped.exitCode, 0);
    QVERIFY2(dumped.output.contains("Group: " + group.toUtf8() + '\n'), dumped.output.constData());
}

void tst_Sdk::pkgsealRejectsOtherRootCa()
{
    skipWithoutPkgseal();
    const QString package = unsignedPackage("other-ca");
    QVERIFY(!package.isEmpty());
    QCOMPARE(runInContainer({"pkgseal",
                             "sign",
                             "-k",
                             "/etc/keys/public/developer-key-release.pem",
                             "-c",
                             "/etc/keys/public/developer-regular-release-cert.pem",
                             package})
                 .exitCode,
             0);
    const ToolOutcome untrusted = runInContainer(
        {"pkgseal", "verify", "--root-cert", file("ca/other-ca.pem"), package});
    QVERIFY(untrusted.exitCode != 0);
    const ToolOutcome trusted = runInContainer(
        {"pkgseal", "verify", "--root-cert", file("ca/root-ca.pem"), package});
    QVERIFY2(trusted.exitCode == 0, trusted.error.constData());
}

QTEST_GUILESS_MAIN(tst_Sdk)

#include "tst_sdk.moc"
