#pragma once

#include <QString>
#include <QStringList>

// Certificate authorities, keys and certificates made with the openssl command, as a
// package-signing setup has them: signer certificates name their group in the first
// organizational unit of the subject.
class TestPki
{
public:
    struct Signer
    {
        QString key;
        QString certificate;
    };

    explicit TestPki(const QString &directory);

    // Makes a certificate authority; its certificate is the bundle that verifies its signers.
    bool createAuthority(const QString &name);
    QString bundle(const QString &authority) const;
    // A signer with an RSA or a GOST R 34.10-2012 key, issued by the authority.
    Signer createSigner(const QString &authority,
                        const QString &name,
                        const QString &organizationalUnits,
                        bool gost = false,
                        const QString &passphrase = {});
    // Certificates for the key of signer with the signer's subject, each with its own serial
    // number, issued by the authority: valid from start to end (openssl's YYYYMMDDHHMMSSZ) when
    // given, else for 30 days. A signer given as the authority itself makes self-signed ones.
    QList<Signer> reissue(const QString &authority,
                          const Signer &signer,
                          int count,
                          const QString &start = {},
                          const QString &end = {});
    Signer authoritySigner(const QString &authority) const;
    QString errorString() const { return m_error; }

private:
    bool openssl(const QStringList &arguments);
    QString path(const QString &fileName) const;

    QString m_directory;
    QString m_error;
};
