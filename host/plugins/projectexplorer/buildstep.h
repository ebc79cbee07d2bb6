#pragma once

#include "projectconfiguration.h"
#include "projectexplorer_export.h"

#include <utils/environment.h>
#include <utils/fileutils.h>
#include <utils/id.h>

#include <QList>
#include <QPointer>
#include <QWidget>

#include <functional>

namespace ProjectExplorer {

class BuildConfiguration;
class BuildStepFactory;
class BuildStepList;
class DeployConfiguration;

// A step of a build step list. BuildManager calls init() on every enabled step of the lists to
// build, then run() on one step after the other; a step reports its end with finished(bool).
class PROJECTEXPLORER_EXPORT BuildStep : public ProjectConfiguration
{
    Q_OBJECT

protected:
    friend class BuildStepFactory;
    explicit BuildStep(BuildStepList *bsl, Utils::Id id);

public:
    ~BuildStep() override;

    virtual bool init() = 0;
    void run();
    void cancel();

    bool fromMap(const QVariantMap &map) override;
    QVariantMap toMap() const override;

    bool enabled() const;
    void setEnabled(bool b);

    BuildStepList *stepList() const;

    BuildConfiguration *buildConfiguration() const;
    // The deploy configuration the step belongs to; for a step of a build or clean list, the
    // target's active deploy configuration.
    DeployConfiguration *deployConfiguration() const;
    ProjectConfiguration *projectConfiguration() const;

    Utils::Environment buildEnvironment() const;
    Utils::FilePath buildDirectory() const;

    enum class OutputFormat { Stdout, Stderr, NormalMessage, ErrorMessage };
    enum OutputNewlineSetting { DoAppendNewline, DontAppendNewline };

    bool isImmutable() const { return m_immutable; }
    void setImmutable(bool immutable) { m_immutable = immutable; }

    virtual QVariant data(Utils::Id id) const;

    void setSummaryUpdater(const std::function<QString()> &summaryUpdater);
    QString summaryText() const;
    void setSummaryText(const QString &summaryText);

    // The step's configuration widget; the caller owns it.
    QWidget *doCreateConfigWidget();

signals:
    void updateSummary();

    void addOutput(const QString &string,
                   ProjectExplorer::BuildStep::OutputFormat format,
                   ProjectExplorer::BuildStep::OutputNewlineSetting newlineSetting = DoAppendNewline);

    void enabledChanged();

    void progress(int percentage, const QString &message);

    void finished(bool result);

protected:
    virtual QWidget *createConfigWidget();

    bool isCanceled() const;

private:
    using ProjectConfiguration::parent;

    virtual void doRun() = 0;
    virtual void doCancel();

    BuildStepList *m_stepList = nullptr;
    bool m_enabled = true;
    bool m_immutable = false;
    bool m_cancelFlag = false;
    std::function<QString()> m_summaryUpdater;
    QString m_summaryText;
};

class PROJECTEXPLORER_EXPORT BuildStepInfo
{
public:
    enum Flags { Uncreatable = 1 << 0, Unclonable = 1 << 1, UniqueStep = 1 << 8 };

    using BuildStepCreator = std::function<BuildStep *(BuildStepList *)>;

    Utils::Id id;
    QString displayName;
    Flags flags = Flags();
    BuildStepCreator creator;
};

// Constructing a factory makes its step type known to the host (allBuildStepFactories()),
// destroying it removes the type again.
class PROJECTEXPLORER_EXPORT BuildStepFactory
{
public:
    BuildStepFactory();
    BuildStepFactory(const BuildStepFactory &) = delete;
    BuildStepFactory &operator=(const BuildStepFactory &) = delete;
    virtual ~BuildStepFactory();

    static const QList<BuildStepFactory *> allBuildStepFactories();

    BuildStepInfo stepInfo() const;
    Utils::Id stepId() const;
    BuildStep *create(BuildStepList *parent);
    BuildStep *restore(BuildStepList *parent, const QVariantMap &map);

    bool canHandle(BuildStepList *bsl) const;

protected:
    using BuildStepCreator = std::function<BuildStep *(BuildStepList *)>;

    template<class BuildStepType>
    void registerStep(Utils::Id id)
    {
        m_info.id = id;
        m_info.creator = [id](BuildStepList *bsl) { return new BuildStepType(bsl, id); };
    }

    void setSupportedStepList(Utils::Id id);
    void setSupportedStepLists(const QList<Utils::Id> &ids);
    void setSupportedConfiguration(Utils::Id id);
    void setSupportedProjectType(Utils::Id id);
    void setSupportedDeviceType(Utils::Id id);
    void setSupportedDeviceTypes(const QList<Utils::Id> &ids);
    void setRepeatable(bool on) { m_isRepeatable = on; }
    void setDisplayName(const QString &displayName);
    void setFlags(BuildStepInfo::Flags flags);

private:
    BuildStepInfo m_info;

    Utils::Id m_supportedProjectType;
    QList<Utils::Id> m_supportedDeviceTypes;
    QList<Utils::Id> m_supportedStepLists;
    Utils::Id m_supportedConfiguration;
    bool m_isRepeatable = true;
};

} // namespace ProjectExplorer

Q_DECLARE_METATYPE(ProjectExplorer::BuildStep::OutputFormat)
Q_DECLARE_METATYPE(ProjectExplorer::BuildStep::OutputNewlineSetting)
