#pragma once

#include "testprocess.h"

#include <QString>
#include <QStringList>

// Certificate authorities, keys and certificates made with the openssl command, as a
// package-signing setup has them: signer certificates name their group in the first
// organizational unit of the subject. Each key's certificate request lies beside it.
class TestPki
{
public:
    struct Signer
    {
        QString key;
        QString certificate;
    };

    explicit TestPki(const QString &directory);

    // A certificate authority: its certificate is the bundle that verifies its signers.
    Signer createAuthority(const QString &name) { return createSigner(name, name, {}); }
    // A signer with an RSA or a GOST R 34.10-2012 key, issued by the authority.
    Signer createSigner(const QString &authority,
                        const QString &name,
                        const QString &organizationalUnits,
                        bool gost = false,
                        const QString &passphrase = {});
    // Another certificate for the key and subject of signer, with a serial number of its own,
    // issued by the authority (self-signed when signer is the authority): valid from start to
    // end (openssl's YYYYMMDDHHMMSSZ) when given, else for 30 days.
    Signer reissue(const QString &authority,
                   const Signer &signer,
                   const QString &start = {},
                   const QString &end = {});
    // Runs openssl in the directory with the words of line; %1, %2... in them stand for the
    // values, which may hold blanks.
    TestProcess openssl(const QString &line, const QStringList &values = {});
    // What the openssl commands that failed reported; empty when none failed.
    QString errorString() const { return m_error; }

private:
    Signer issue(const QString &authority, const Signer &signer, const QString &options);
    QString path(const QString &fileName) const;

    QString m_directory;
    QString m_error;
    int m_reissued = 0;
};
