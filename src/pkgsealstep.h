#pragma once

#include "pkgseal.h"

#include <kelvara/kamprocessstep.h>

#include <QPointer>
#include <QSet>

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
    // One package of a signature dump and the groups of its signatures.
    struct DumpedPackage
    {
        QString name;
        QStringList groups;
    };
    static QList<DumpedPackage> readDump(const QString &dump, const QStringList &packages);

    void doRun() override;
    void doCancel() override;

    // Empty when the step was deleted while the tool ran.
    std::optional<RunResult> runTool(const std::function<RunResult(Pkgseal &)> &operation);
    Kam::Internal::KamBuildStep *findBuildStep() const;
    void checkSignatureDump(const QStringList &packages);
    bool isCheckedByLaterStep() const;
    std::optional<RunResult> dumpSignatures(const QStringList &packages);
    void reportStop(const QStringList &packages, bool allSigned);
    void reportSignedPackages(const QList<DumpedPackage> &packages);
    void reportProgress(const QString &toolLine);
    void reportPackageSignature(const DumpedPackage &package);
    void finishRun(bool success);

    bool m_useDefaultValues = true;
    QString m_key;
    QString m_certificate;
    // Shared with a running call, so that the tool outlives a step deleted meanwhile.
    std::shared_ptr<Pkgseal> m_tool = std::make_shared<Pkgseal>();
    QPointer<Kam::Internal::KamBuildStep> m_buildStep;
    bool m_running = false;
    // While the tool signs: the packages it has not reported yet, of how many.
    QSet<QString> m_packagesToSign;
    int m_packageCount = 0;
};

} // namespace Internal
} // namespace Quillmark
