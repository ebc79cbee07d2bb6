#include "testpackages.h"
#include "testpki.h"
#include "testprocess.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

// Runs the reader's fuzz target for a fixed number of inputs, seeded with real packages that
// hold 0, 1 and 2 signatures.
class RpmReaderFuzzTest : public QObject
{
    Q_OBJECT

private slots:
    void readerSurvivesMutatedPackages();
};

void RpmReaderFuzzTest::readerSurvivesMutatedPackages()
{
    QTemporaryDir directory;
    const QString corpus = directory.filePath("corpus");
    QVERIFY(directory.isValid() && QDir().mkpath(corpus));
    TestPackages packages(directory.filePath("packages"));
    const QString package = packages.build("tiny", 10);
    QVERIFY2(!package.isEmpty(), qPrintable(packages.errorString()));
    TestPki pki(directory.filePath("pki"));
    QVERIFY2(pki.createAuthority("root"), qPrintable(pki.errorString()));
    const QList<TestPki::Signer> signers = {pki.createSigner("root", "dev", "developer"),
                                            pki.createSigner("root", "client", "client")};
    for (int signatureCount = 0; signatureCount <= signers.size(); ++signatureCount) {
        const QString seed = QString("%1/signed-%2.rpm").arg(corpus).arg(signatureCount);
        QVERIFY(QFile::copy(package, seed));
        for (int i = 0; i < signatureCount; ++i) {
            const TestProcess signing = TestProcess::run(
                qEnvironmentVariable("QUILLMARK_BUILD_DIR") + "/bin/pkgseal",
                {"sign", "-k", signers[i].key, "-c", signers[i].certificate, seed});
            QVERIFY2(signing.succeeded(), qPrintable(signing.describe()));
        }
    }

    const TestProcess fuzzing
        = TestProcess::run(FUZZER_PATH,
                           {"-runs=20000", "-seed=1", "-max_len=131072", corpus},
                           {},
                           directory.path());
    QVERIFY2(fuzzing.succeeded() && fuzzing.errorOutput.contains("Done 20000 runs"),
             qPrintable(fuzzing.describe()));
}

QTEST_GUILESS_MAIN(RpmReaderFuzzTest)

#include "tst_rpmreaderfuzz.moc"
