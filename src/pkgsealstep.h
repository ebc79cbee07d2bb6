#pragma once

#include "pkgseal.h"

#include <kelvara/kamprocessstep.h>

#include <QPointer>

#include <functional>
#include <memory>
#include <optional>

namespace Kam {
namespace Internal {
class KamBuildStep;
}
} // namespace Kam

namespace Quillmark {
namespace Internal {

// Signs the packages of the platform build step of the same build configuration.
class PkgsealStep : public Kam::Internal::KamProcessStep
{
    Q_OBJECT

public:
    PkgsealStep(ProjectExplorer::BuildStepList *stepList, Utils::Id id);
    ~PkgsealStep() override;

    static Utils::Id stepId();
    static QString displayName();

    bool fromMap(const QVariantMap &map) override;
    QVariantMap toMap() const override;
    bool init() override;

    // The paths used by the next run: the step's own, or the global keys.
    QString key() const;
    QString certificate() const;

public slots:
    void setKey(const QString &key);
    void setCertificate(const QString &certificate);

protected:
    QWidget *createConfigWidget() override;

private:
    void doRun() override;
    void doCancel() override;

    // Empty when the run ended while the tool was busy: the user stopped it (which it reports),
    // or the step was deleted.
    std::optional<RunResult> runTool(const std::function<RunResult(Pkgseal &)> &operation);
    Kam::Internal::KamBuildStep *findBuildStep() const;
    // False when the run ended while the dump was made.
    bool checkSignatureDump(const QStringList &packages);
    bool isCheckedByLaterStep() const;
    void reportSignatures(const QStringList &packages, const QString &dump);
    void reportPackageSignature(const QString &section, const QString &packageName);
    void finishRun(bool success);

    bool m_useDefaultValues = true;
    QString m_key;
    QString m_certificate;
    // Shared with a running call, so that the tool outlives a step deleted meanwhile.
    std::shared_ptr<Pkgseal> m_tool = std::make_shared<Pkgseal>();
    QPointer<Kam::Internal::KamBuildStep> m_buildStep;
    bool m_running = false;
};

} // namespace Internal
} // namespace Quillmark
