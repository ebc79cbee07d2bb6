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

void RpmReaderFuzzTest::initTestCase()
{
    QVERIFY(m_directory.isValid());
    m_corpus = m_directory.filePath("corpus");
    QVERIFY(QDir().mkpath(m_corpus));

    TestPackages packages(m_directory.filePath("packages"));
    const QString small = packages.build("tiny", 10);
    const QString larger = packages.build("small", 3000);
    QVERIFY2(!small.isEmpty() && !larger.isEmpty(), qPrintable(packages.errorString()));
    TestPki pki(m_directory.filePath("pki"));
    QVERIFY2(pki.createAuthority("root"), qPrintable(pki.errorString()));
    const TestPki::Signer signer = pki.createSigner("root", "dev", "developer");
    QVERIFY2(!signer.certificate.isEmpty(), qPrintable(pki.errorString()));

    const QString signedPackage = m_corpus + "/signed.rpm";
    QVERIFY(QFile::copy(small, m_corpus + "/tiny.rpm"));
    QVERIFY(QFile::copy(larger, m_corpus + "/small.rpm"));
    QVERIFY(QFile::copy(small, signedPackage));
    const TestProcess signing
        = TestProcess::run(qEnvironmentVariable("QUILLMARK_BUILD_DIR") + "/bin/pkgseal",
                           {"sign", "-k", signer.key, "-c", signer.certificate, signedPackage});
    QVERIFY2(signing.succeeded(), qPrintable(signing.describe()));
}

void RpmReaderFuzzTest::readerSurvivesMutatedPackages()
{
    const TestProcess fuzzing
        = TestProcess::run(FUZZER_PATH,
                           {"-runs=20000", "-seed=1", "-max_len=16384", m_corpus},
                           {},
                           m_directory.path());
    QVERIFY2(fuzzing.succeeded(), qPrintable(fuzzing.describe()));
    QVERIFY2(fuzzing.errorOutput.contains("Done 20000 runs"), qPrintable(fuzzing.describe()));
}

QTEST_GUILESS_MAIN(RpmReaderFuzzTest)

#include "tst_rpmreaderfuzz.moc"
