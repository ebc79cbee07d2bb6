#include "testpackages.h"
#include "testpki.h"
#include "testprocess.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

// Runs the reader's fuzz target for a fixed number of inputs, seeded with real packages.
class RpmReaderFuzzTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void readerSurvivesMutatedPackages();

private:
    QTemporaryDir m_directory;
    QString m_corpus;
};

// Seeds: packages with 0, 1, 2 and 64 signatures (the most a package holds).
void RpmReaderFuzzTest::initTestCase()
{
    QVERIFY(m_directory.isValid());
    m_corpus = m_directory.filePath("corpus");
    QVERIFY(QDir().mkpath(m_corpus));

    TestPackages packages(m_directory.filePath("packages"));
    const QString small = packages.build("tiny", 10);
    const QString larger = packages.build("small", 3000);
    QVERIFY2(!small.isEmpty() && !larger.isEmpty(), qPrintable(packages.errorString()));
    QVERIFY(QFile::copy(larger, m_corpus + "/small.rpm"));
    TestPki pki(m_directory.filePath("pki"));
    QVERIFY2(pki.createAuthority("root"), qPrintable(pki.errorString()));
    const TestPki::Signer signer = pki.createSigner("root", "dev", "developer");
    const QList<TestPki::Signer> signers = pki.reissue("root", signer, 64);
    QVERIFY2(signers.size() == 64, qPrintable(pki.errorString()));

    for (int signatureCount : {0, 1, 2, 64}) {
        const QString seed = QString("%1/signed-%2.rpm").arg(m_corpus).arg(signatureCount);
        QVERIFY(QFile::copy(small, seed));
        for (int i = 0; i < signatureCount; ++i) {
            const TestProcess signing = TestProcess::run(
                qEnvironmentVariable("QUILLMARK_BUILD_DIR") + "/bin/pkgseal",
                {"sign", "-k", signers[i].key, "-c", signers[i].certificate, seed});
            QVERIFY2(signing.succeeded(), qPrintable(signing.describe()));
        }
    }
}

void RpmReaderFuzzTest::readerSurvivesMutatedPackages()
{
    const TestProcess fuzzing
        = TestProcess::run(FUZZER_PATH,
                           {"-runs=20000", "-seed=1", "-max_len=131072", m_corpus},
                           {},
                           m_directory.path());
    QVERIFY2(fuzzing.succeeded(), qPrintable(fuzzing.describe()));
    QVERIFY2(fuzzing.errorOutput.contains("Done 20000 runs"), qPrintable(fuzzing.describe()));
}

QTEST_GUILESS_MAIN(RpmReaderFuzzTest)

#include "tst_rpmreaderfuzz.moc"
