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

// The words of a command line; %1, %2... in them stand for the values, which may hold blanks.
QStringList words(const QString &line, const QStringList &values = {})
{
    QStringList result = line.split(' ', Qt::SkipEmptyParts);
    for (QString &word : result) {
        for (int i = values.size(); i > 0; --i)
            word.replace('%' + QString::number(i), values[i - 1]);
    }
    return result;
}

} // namespace

TestPki::TestPki(const QString &directory)
    : m_directory(directory)
{
    QDir().mkpath(path("issued"));
    QFile config(path("extensions.cnf"));
    if (config.open(QIODevice::WriteOnly))
        config.write(ExtensionsConfig);
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
    return openssl(words("req -x509 -newkey rsa:2048 -nodes -keyout %1 -out %2 -subj /O=Test/CN=%3 "
                         "-days 30 -extensions authority -config extensions.cnf",
                         {path(name + "-key.pem"), bundle(name), name}));
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
    const QString engine = gost ? "-engine gost" : "";
    const QString algorithm = gost ? "gost2012_256 -pkeyopt paramset:A"
                                   : "rsa -pkeyopt rsa_keygen_bits:2048";
    const QString encryption = passphrase.isEmpty() ? "" : "-aes256 -pass pass:%2";
    const QString passIn = passphrase.isEmpty() ? "" : "-passin pass:%2";
    QString subject = "/O=Test";
    for (const QString &unit : organizationalUnits.split(',', Qt::SkipEmptyParts))
        subject += "/OU=" + unit;
    subject += "/CN=" + name;
    const QStringList values{signer.key,
                             passphrase,
                             subject,
                             path(name + ".csr"),
                             bundle(authority),
                             path(authority + "-key.pem"),
                             signer.certificate};
    const bool made
        = openssl(words("genpkey " + engine + " -algorithm " + algorithm + " -out %1 " + encryption,
                        values))
          && openssl(words("req " + engine + " -new -key %1 -subj %3 -out %4 " + passIn, values))
          && openssl(words("x509 " + engine
                               + " -req -in %4 -CA %5 -CAkey %6 -days 30 -out %7 -extfile "
                                 "extensions.cnf -extensions signer -set_serial "
                               + QString::number(qHash(name)),
                           values));
    return made ? signer : Signer();
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
    if (!openssl(words("x509 -x509toreq -in %1 -signkey %2 -out %3",
                       {signer.certificate, signer.key, request})))
        return {};
    const QString validity = start.isEmpty() ? QString("-days 30")
                                             : "-startdate " + start + " -enddate " + end;
    const QString issuing = selfSigned ? "-extensions authority -selfsign"
                                       : "-extensions signer -cert %4";
    QList<Signer> signers;
    for (int i = 0; i < count; ++i) {
        const QString certificate = QString("%1-%2-%3.pem").arg(signer.certificate).arg(start).arg(i);
        if (!openssl(words("ca -batch -config extensions.cnf -keyfile %1 -in %2 -out %3 -notext "
                           "-preserveDN -extfile extensions.cnf "
                               + issuing + ' ' + validity,
                           {issuer.key, request, certificate, issuer.certificate}))) {
            return {};
        }
        signers.append({signer.key, certificate});
    }
    return signers;
}
