#pragma once

#include "signtool.h"

#include <QProcessEnvironment>

namespace Quillmark {
namespace Internal {

class Pkgseal : public SignTool
{
    Q_OBJECT

public:
    explicit Pkgseal(QObject *parent = nullptr);

    void setEnvironment(const QProcessEnvironment &environment);

    RunResult sign(const QStringList &packages, const KeySet &keys) override;
    RunResult removeSignature(const QStringList &packages) override;
    RunResult verify(const QStringList &packages, const KeySet &keys) override;
    RunResult dump(const QStringList &packages) override;
    RunResult generateRequest(const RequestParameters &parameters) override;

private:
    RunResult run(const QStringList &command);
    RunResult generateKey(const RequestParameters &parameters);
    RunResult makeRequest(const RequestParameters &parameters);
    RunResult requestFailure(const QString &reason);

    QProcessEnvironment m_environment;
};

} // namespace Internal
} // namespace Quillmark
