#include "testpackages.h"
#include "testprocess.h"

#include <QDir>
#include <QDirIterator>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

// Creates a demo SDK with the real kelvara-sdk and signs with each of its pairs with the real
// pkgseal.
class tst_Sdk : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void privateKeysAreTheOwnersOnly();
    void demoPairsSignAndVerify_data();
    void demoPairsSignAndVerify();
    void refusesToOverwrite_data();
    void refusesToOverwrite();

private:
    QString file(const QString &relativePath) const { return m_sdk + '/' + relativePath; }

    QTemporaryDir m_tempDir;
    QString m_sdk;
    QString m_package;
};

static QString tool(const QString &name)
{
    return qEnvironmentVariable("QUILLMARK_BUILD_DIR") + "/bin/" + name;
}

void tst_Sdk::initTestCase()
{
    QVERIFY(m_tempDir.isValid());
    m_sdk = m_tempDir.filePath("demo sdk");
    const TestProcess created = TestProcess::run(tool("kelvara-sdk"), {"create", m_sdk});
    QVERIFY2(created.succeeded(), qPrintable(created.describe()));
    QString error;
    m_package = buildTestPackage(m_tempDir.filePath("packages"), "hello", 100, &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
}

// Keys are readable by their owner only; everything else by all.
void tst_Sdk::privateKeysAreTheOwnersOnly()
{
    int keys = 0;
    QDirIterator it(m_sdk, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (path.contains("/workspace/"))
            continue;
        struct stat status;
        QCOMPARE(::stat(QFile::encodeName(path).constData(), &status), 0);
        const bool key = path.endsWith("key.pem") || path.contains("key-");
        const int expected = key ? 0600 : path.contains("/bin/") ? 0755 : 0644;
        QVERIFY2((status.st_mode & 07777) == unsigned(expected), qPrintable(path));
        keys += key ? 1 : 0;
    }
    QCOMPARE(keys, 8);
}

void tst_Sdk::demoPairsSignAndVerify_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("certificate");
    QTest::addColumn<QString>("group");
    const QStringList pairs{
        "engine/developer-key-release.pem engine/developer-regular-release-cert.pem developer",
        "package-signing/regular_key.pem package-signing/regular_cert.pem developer",
        "keys/developer-key.pem keys/developer-cert.pem developer",
        "keys/developer-key-encrypted.pem keys/developer-cert.pem developer",
        "keys/client-key.pem keys/client-cert.pem client",
        "keys/gost-developer-key.pem keys/gost-developer-cert.pem developer"};
    for (const QString &pair : pairs) {
        const QStringList words = pair.split(' ');
        QTest::newRow(qPrintable(words[0])) << words[0] << words[1] << words[2];
    }
}

// Each pair belongs together, is issued by the demo root CA alone and names its group; the
// encrypted key opens with the demo pass phrase.
void tst_Sdk::demoPairsSignAndVerify()
{
    QFETCH(QString, key);
    QFETCH(QString, certificate);
    QFETCH(QString, group);
    const QString pkgseal = tool("pkgseal");
    const QString package = m_tempDir.filePath(QFileInfo(key).baseName() + ".rpm");
    QVERIFY(QFile::copy(m_package, package));
    const bool encrypted = key.contains("encrypted");
    const TestProcess signing
        = TestProcess::run(pkgseal,
                           {"sign", "-k", file(key), "-c", file(certificate), package},
                           encrypted ? "kelvara-demo\n" : "");
    QVERIFY2(signing.succeeded(), qPrintable(signing.describe()));
    QCOMPARE(signing.output.startsWith("Enter passphrase for binaries key " + file(key).toUtf8()),
             encrypted);
    for (const QString &bundle : {"engine/root-ca-bundle.pem", "ca/other-ca.pem"}) {
        const TestProcess verified
            = TestProcess::run(pkgseal, {"verify", "--root-cert", file(bundle), package});
        QCOMPARE(verified.succeeded(), bundle.startsWith("engine"));
    }
    const TestProcess dump = TestProcess::run(pkgseal, {"dump", package});
    QVERIFY2(dump.output.contains("\nGroup: " + group.toUtf8() + '\n'), qPrintable(dump.describe()));
}

void tst_Sdk::refusesToOverwrite_data()
{
    QTest::addColumn<QString>("existing");
    QTest::newRow("non-empty folder") << "folder/keep.txt";
    QTest::newRow("hidden file") << "folder/.keep";
    QTest::newRow("plain file") << "folder";
}

// Nothing that is there changes, nor is anything added beside it.
void tst_Sdk::refusesToOverwrite()
{
    QFETCH(QString, existing);
    QTemporaryDir dir;
    const QString folder = dir.filePath("folder");
    const QString create("mkdir -p \"${0%/*}\" && echo precious > \"$0\"");
    QVERIFY(TestProcess::run("sh", {"-c", create, dir.filePath(existing)}).succeeded());
    const auto listing = [&] {
        return TestProcess::run("find", {dir.path(), "-printf", "%p %s %T@\n"}).output;
    };
    const QByteArray before = listing();

    const TestProcess refused = TestProcess::run(tool("kelvara-sdk"), {"create", folder});
    QVERIFY2(!refused.succeeded() && refused.errorOutput.contains(folder.toUtf8()),
             qPrintable(refused.describe()));
    QCOMPARE(listing(), before);
}

QTEST_GUILESS_MAIN(tst_Sdk)

#include "tst_sdk.moc"
