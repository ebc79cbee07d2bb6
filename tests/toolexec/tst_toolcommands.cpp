#include <toolcommands.h>

#include <QtTest>

using namespace Quillmark::Internal;

class tst_ToolCommands : public QObject
{
    Q_OBJECT

private slots:
    void commandLines_data();
    void commandLines();
    void requestConfigurationTemplate();
    void companyNameInConfiguration_data();
    void companyNameInConfiguration();
};

// The empty program slot followed by the words of the text.
static QStringList words(const QString &text)
{
    return QStringList(QString()) + text.split(' ');
}

void tst_ToolCommands::commandLines_data()
{
    QTest::addColumn<QStringList>("command");
    QTest::addColumn<QStringList>("expected");

    const QStringList packages{"/ws/a b.rpm", "/ws/c.rpm"};
    QTest::newRow("dump") << dumpCommand(packages) << (words("pkgseal dump") + packages);
    QTest::newRow("dump nothing") << dumpCommand({}) << words("pkgseal dump");
    QTest::newRow("delete") << deleteCommand(packages) << (words("pkgseal delete") + packages);
    QTest::newRow("sign") << signCommand("K", "C", {"P1", "P2"})
                          << words("pkgseal sign -k K -c C P1 P2");
    QTest::newRow("sign with empty paths")
        << signCommand("", "", {"P"})
        << QStringList{"", "pkgseal", "sign", "-k", "", "-c", "", "P"};
    QTest::newRow("verify with the default bundle")
        << verifyCommand("", {"P"}) << words("pkgseal verify P");
    QTest::newRow("verify with a bundle") << verifyCommand("/ca.pem", {"P1", "P2"})
                                          << words("pkgseal verify --root-cert /ca.pem P1 P2");
    const QString gost = "openssl genpkey -engine gost -algorithm gost2012_256 -pkeyopt paramset:A";
    QTest::newRow("gost key") << gostKeyCommand("/ws/k.pem", false)
                              << words(gost + " -out /ws/k.pem");
    QTest::newRow("encrypted gost key")
        << gostKeyCommand("/ws/k.pem", true) << words(gost + " -out /ws/k.pem -aes256");
    const QString rsa = "openssl genpkey --algorithm rsa -pkeyopt rsa_keygen_bits:2048 -out";
    QTest::newRow("rsa key") << rsaKeyCommand("/ws/my key.pem", false)
                             << (words(rsa) << "/ws/my key.pem");
    QTest::newRow("encrypted rsa key") << rsaKeyCommand("/ws/my key.pem", true)
                                       << (words(rsa) << "/ws/my key.pem"
                                                      << "-aes256");
    QTest::newRow("request") << requestCommand("/ws/k.pem", "/ws/r.csr", "/ws/.csr_1.conf")
                             << words("openssl req -new -utf8 -batch -config /ws/.csr_1.conf -key "
                                      "/ws/k.pem -out /ws/r.csr");
}

void tst_ToolCommands::commandLines()
{
    QFETCH(QStringList, command);
    QFETCH(QStringList, expected);
    QCOMPARE(command, expected);
}

void tst_ToolCommands::requestConfigurationTemplate()
{
    const QByteArray expected = "[ req ]\n"
                                " distinguished_name = req_distinguished_name\n"
                                " prompt = no\n"
                                " string_mask = utf8only\n"
                                " x509_extensions = v3_usr\n"
                                " \n"
                                "[ req_distinguished_name ]\n"
                                " CN = Acme\n"
                                " \n"
                                "[ v3_usr ]\n"
                                " basicConstraints=critical,CA:FALSE\n"
                                " keyUsage=digitalSignature\n"
                                " subjectKeyIdentifier=hash\n"
                                " authorityKeyIdentifier=keyid\n";
    const QByteArray config = csrConfig("Acme");
    QCOMPARE(config, expected);
    // The template itself is 299 bytes in 14 lines; "Acme" replaces the 14 bytes of the marker.
    QCOMPARE(config.size(), 299 - 14 + 4);
    QCOMPARE(config.count('\n'), 14);
}

void tst_ToolCommands::companyNameInConfiguration_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("cnLine");

    QTest::newRow("plain") << "Acme Corp 2" << QByteArray(" CN = Acme Corp 2\n");
    QTest::newRow("non-ascii") << QString::fromUtf8("Äcme Grüße Corp")
                               << QByteArray(" CN = ")
                                      + QString::fromUtf8("Äcme Grüße Corp").toUtf8() + '\n';
    QTest::newRow("comment sign") << "Acme # Corp" << QByteArray(" CN = \"Acme \\# Corp\"\n");
    QTest::newRow("quotes and backslash")
        << "Say \"hi\" \\ O'Brien" << QByteArray(" CN = \"Say \\\"hi\\\" \\\\ O'Brien\"\n");
    QTest::newRow("surrounding blanks") << "  Acme  " << QByteArray(" CN = \"  Acme  \"\n");
}

void tst_ToolCommands::companyNameInConfiguration()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, cnLine);
    const QByteArray config = csrConfig(name);
    QVERIFY2(config.contains("\n" + cnLine), config.constData());
}

QTEST_GUILESS_MAIN(tst_ToolCommands)

#include "tst_toolcommands.moc"
