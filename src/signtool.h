#pragma once

#include "runinbuildcontainer.h"
#include "signingtypes.h"

#include <QObject>

namespace Quillmark {
namespace Internal {

class SignTool : public QObject
{
    Q_OBJECT

public:
    explicit SignTool(QObject *parent = nullptr);

    virtual RunResult sign(const QStringList &packages, const KeySet &keys) = 0;
    virtual RunResult removeSignature(const QStringList &packages) = 0;
    virtual RunResult verify(const QStringList &packages, const KeySet &keys) = 0;
    virtual RunResult dump(const QStringList &packages) = 0;
    virtual RunResult generateRequest(const RequestParameters &parameters) = 0;

signals:
    void addOutput(const QString &output);
    void addError(const QString &error);

protected:
    OutputHandler outputHandler() const { return m_outputHandler; }

    bool processOutput(const QByteArray &output, const QByteArray &error, QByteArray &input);
    bool processStream(const QByteArray &chunk, bool isError, QByteArray &input);

private:
    OutputHandler m_outputHandler;
};

} // namespace Internal
} // namespace Quillmark
