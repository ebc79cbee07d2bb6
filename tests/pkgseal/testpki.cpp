#include "testpki.h"

#include "testprocess.h"

#include <QDir>
#include <QFile>

namespace {

const char ExtensionsConfig[] = "[authority]\n"
                                "basicConstraints=critical,CA:TRUE\n"
                                "keyUsage=critical,keyCertSign,cRLSign\n"
                                "subjectKeyIdentifier=hash\n"
                                "[signer]\n"
                                "basicConstraints=critical,CA:FALSE\n"
                                "keyUsage=digitalSignature\n"
                                "subjectKeyIdentifier=hash\n"
                                "authorityKeyIdentifier=keyid\n"
                                "[ca]\n"
                                "default_ca=issuing\n"
                                "[issuing]\n"
                                "database=issued/index.txt\n"
                                "new_certs_dir=issued\n"
                                "default_md=sha256\n"
                                "policy=anyName\n"
                                "unique_subject=no\n"
                                "rand_serial=yes\n"
                                "[anyName]\n"
                                "organizationName=optional\n"
                                "organizationalUnitName=optional\n"
                                "commonName=supplied\n";

} // namespace

TestPki::TestPki(const QString &directory)
    : m_directory(directory)
{
    QDir().mkpath(directory);
    QFile config(path("extensions.cnf"));
    if (config.open(QIODevice::WriteOnly))
        config.write(ExtensionsConfig);
    QDir().mkpath(path("issued"));
    QFile(path("issued/index.txt")).open(QIODevice::WriteOnly);
}

QString TestPki::path(const QString &fileName) const
{
    return m_directory + '/' + fileName;
}

bool TestPki::openssl(const QStringList &arguments)
{
    const TestProcess process = TestProcess::run("openssl", arguments, {}, m_directory);
    if (!process.succeeded())
        m_error = "openssl " + arguments.join(' ') + ": " + process.describe();
    return process.succeeded();
}

bool TestPki::createAuthority(const QString &name)
{
    return openssl({"req",
                    "-x509",
                    "-newkey",
                    "rsa:2048",
                    "-nodes",
                    "-keyout",
                    path(name + "-key.pem"),
                    "-out",
                    bundle(name),
                    "-subj",
                    "/O=Test/CN=" + name,
                    "-days",
                    "30",
                    "-extensions",
                    "authority",
                    "-config",
                    path("extensions.cnf")});
}

QString TestPki::bundle(const QString &authority) const
{
    return path(authority + ".pem");
}

TestPki::Signer TestPki::createSigner(const QString &authority,
                                      const QString &name,
                                      const QString &organizationalUnits,
                                      bool gost,
                                      const QString &passphrase)
{
    const Signer signer{path(name + "-key.pem"), path(name + "-cert.pem")};
    const QStringList engine = gost ? QStringList{"-engine", "gost"} : QStringList();
    QStringList keyCommand = {"genpkey"};
    keyCommand += engine;
    keyCommand += gost ? QStringList{"-algorithm", "gost2012_256", "-pkeyopt", "paramset:A"}
                       : QStringList{"-algorithm", "rsa", "-pkeyopt", "rsa_keygen_bits:2048"};
    keyCommand += {"-out", signer.key};
    const QStringList passArguments = {"-pass", "pass:" + passphrase};
    if (!passphrase.isEmpty())
        keyCommand += QStringList{"-aes256"} + passArguments;
    QString subject = "/O=Test";
    for (const QString &unit : organizationalUnits.split(',', Qt::SkipEmptyParts))
        subject += "/OU=" + unit;
    subject += "/CN=" + name;
    QStringList requestCommand = QStringList{"req"} + engine;
    requestCommand += {"-new", "-key", signer.key, "-subj", subject, "-out", path(name + ".csr")};
    if (!passphrase.isEmpty())
        requestCommand += {"-passin", "pass:" + passphrase};
    const QStringList issueCommand = QStringList{"x509"} + engine
                                     + QStringList{"-req",
                                                   "-in",
                                                   path(name + ".csr"),
                                                   "-CA",
                                                   bundle(authority),
                                                   "-CAkey",
                                                   path(authority + "-key.pem"),
                                                   "-set_serial",
                                                   QString::number(qHash(name)),
                                                   "-days",
                                                   "30",
                                                   "-out",
                                                   signer.certificate,
                                                   "-extfile",
                                                   path("extensions.cnf"),
                                                   "-extensions",
                                                   "signer"};
    if (openssl(keyCommand) && openssl(requestCommand) && openssl(issueCommand))
        return signer;
    return {};
}

TestPki::Signer TestPki::authoritySigner(const QString &authority) const
{
    return {path(authority + "-key.pem"), bundle(authority)};
}

QList<TestPki::Signer> TestPki::reissue(const QString &authority,
                                        const Signer &signer,
                                        int count,
                                        const QString &start,
                                        const QString &end)
{
    const Signer issuer = authoritySigner(authority);
    const bool selfSigned = signer.key == issuer.key;
    const QString request = signer.certificate + ".csr";
    if (!openssl({"x509",
                  "-x509toreq",
                  "-in",
                  signer.certificate,
                  "-signkey",
                  signer.key,
                  "-out",
                  request})) {
        return {};
    }
    QStringList validity = {"-days", "30"};
    if (!start.isEmpty())
        validity = QStringList{"-startdate", start, "-enddate", end};
    QList<Signer> signers;
    for (int i = 0; i < count; ++i) {
        const QString certificate = QString("%1-%2-%3.pem").arg(signer.certificate).arg(start).arg(i);
        QStringList command = {"ca",
                               "-batch",
                               "-config",
                               path("extensions.cnf"),
                               "-keyfile",
                               issuer.key,
                               "-in",
                               request,
                               "-out",
                               certificate,
                               "-notext",
                               "-preserveDN",
                               "-extfile",
                               path("extensions.cnf"),
                               "-extensions",
                               selfSigned ? "authority" : "signer"};
        command += selfSigned ? QStringList{"-selfsign"} : QStringList{"-cert", issuer.certificate};
        if (!openssl(command + validity))
            return {};
        signers.append({signer.key, certificate});
    }
    return signers;
}
