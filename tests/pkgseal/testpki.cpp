#include "testpki.h"

#include <QDir>
#include <QFile>

namespace {

// The issuing authority's database and the certificates' extensions; openssl adds the key
// identifiers, and keeps the subject of each request as it is.
const char IssuingConfig[] = "[issuing]\n"
                             "database=issued/index.txt\n"
                             "new_certs_dir=issued\n"
                             "default_md=sha256\n"
                             "policy=anyName\n"
                             "unique_subject=no\n"
                             "rand_serial=yes\n"
                             "[anyName]\n"
                             "commonName=supplied\n"
                             "[authority]\n"
                             "basicConstraints=critical,CA:TRUE\n"
                             "keyUsage=critical,keyCertSign,cRLSign\n"
                             "[signer]\n"
                             "basicConstraints=critical,CA:FALSE\n"
                             "keyUsage=digitalSignature\n";

} // namespace

TestPki::TestPki(const QString &directory)
    : m_directory(directory)
{
    QDir().mkpath(path("issued"));
    QFile config(path("issuing.cnf"));
    if (config.open(QIODevice::WriteOnly))
        config.write(IssuingConfig);
    QFile(path("issued/index.txt")).open(QIODevice::WriteOnly);
}

QString TestPki::path(const QString &fileName) const
{
    return m_directory + '/' + fileName;
}

TestProcess TestPki::openssl(const QString &line, const QStringList &values)
{
    QStringList arguments = line.split(' ', Qt::SkipEmptyParts);
    for (QString &word : arguments) {
        for (int i = values.size(); i > 0; --i)
            word.replace('%' + QString::number(i), values[i - 1]);
    }
    const TestProcess process = TestProcess::run("openssl", arguments, {}, m_directory);
    if (!process.succeeded())
        m_error += "openssl " + arguments.join(' ') + ": " + process.describe() + '\n';
    return process;
}

TestPki::Signer TestPki::createSigner(const QString &authority,
                                      const QString &name,
                                      const QString &organizationalUnits,
                                      bool gost,
                                      const QString &passphrase)
{
    const Signer signer{path(name + "-key.pem"), path(name + "-cert.pem")};
    QString subject = "/O=Test";
    for (const QString &unit : organizationalUnits.split(',', Qt::SkipEmptyParts))
        subject += "/OU=" + unit;
    const QString engine = gost ? " -engine gost" : "";
    const QString algorithm = gost ? "gost2012_256 -pkeyopt paramset:A" : "rsa:2048";
    const QString encryption = passphrase.isEmpty() ? "-nodes" : "-passout pass:%3";
    const bool made = openssl("req -new -newkey " + algorithm + engine + ' ' + encryption
                                  + " -keyout %1 -out %1.csr -subj %2",
                              {signer.key, subject + "/CN=" + name, passphrase})
                          .succeeded();
    return made ? issue(authority, signer, "-days 30" + engine) : Signer();
}

TestPki::Signer TestPki::reissue(const QString &authority,
                                 const Signer &signer,
                                 const QString &start,
                                 const QString &end)
{
    const Signer reissued{signer.key,
                          QString("%1-%2.pem").arg(signer.certificate).arg(++m_reissued)};
    return issue(authority,
                 reissued,
                 start.isEmpty() ? QString("-days 30") : "-startdate " + start + " -enddate " + end);
}

TestPki::Signer TestPki::issue(const QString &authority,
                               const Signer &signer,
                               const QString &options)
{
    const QString authorityKey = path(authority + "-key.pem");
    const QString issuing = signer.key == authorityKey ? "-extensions authority -selfsign"
                                                       : "-extensions signer -cert %4";
    const bool issued
        = openssl("ca -batch -config issuing.cnf -name issuing -notext -preserveDN -keyfile %1 "
                  "-in %2.csr -out %3 "
                      + issuing + ' ' + options,
                  {authorityKey, signer.key, signer.certificate, path(authority + "-cert.pem")})
              .succeeded();
    return issued ? signer : Signer();
}
