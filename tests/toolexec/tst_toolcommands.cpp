#include <toolcommands.h>

#include <QtTest>

using namespace Quillmark::Internal;

class tst_ToolCommands : public QObject
{
    Q_OBJECT

private slots:
    void requestConfigurationTemplate();
};

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
    QCOMPARE(csrConfig("Acme"), expected);
}

QTEST_GUILESS_MAIN(tst_ToolCommands)

#include "tst_toolcommands.moc"
