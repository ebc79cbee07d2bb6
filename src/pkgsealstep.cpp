#include "pkgsealstep.h"

#include "pkgsealwidget.h"

#include <kelvara/kambuildstep.h>
#include <projectexplorer/buildconfiguration.h>
#include <projectexplorer/buildsteplist.h>
#include <projectexplorer/deployconfiguration.h>
#include <utils/environment.h>

#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>

using namespace ProjectExplorer;
using Kam::Internal::KamBuildStep;

namespace Quillmark {
namespace Internal {

namespace {

const char USE_DEFAULT_VALUES_KEY[] = "Quillmark.UseDefaultValues";
const char KEY_KEY[] = "Quillmark.Key";
const char CERTIFICATE_KEY[] = "Quillmark.Cert";
const char GLOBAL_SIGN_KEY[] = "Quillmark.GlobalSignKey";
const char GLOBAL_SIGN_CERTIFICATE[] = "Quillmark.GlobalSignCert";
// Paths inside the build engine, where the signing tool runs.
const char DEFAULT_SIGN_KEY[] = "/etc/keys/public/developer-key-release.pem";
const char DEFAULT_SIGN_CERTIFICATE[] = "/etc/keys/public/developer-regular-release-cert.pem";
const char DOCUMENTATION_URL[] = "https://quillmark.kelvara.dev/docs/package-signing";

QString globalSetting(const QString &key, const QString &builtInDefault)
{
    const QSettings settings;
    if (settings.contains(key)) {
        const QString value = settings.value(key).toString();
        if (!value.isEmpty())
            return value;
    }
    return builtInDefault;
}

} // namespace

PkgsealStep::PkgsealStep(BuildStepList *stepList, Utils::Id id)
    : KamProcessStep(stepList, id)
{
    setDefaultDisplayName(displayName());
    m_buildStep = findBuildStep();

    if (BuildConfiguration *configuration = buildConfiguration())
        m_tool->setEnvironment(configuration->environment().toProcessEnvironment());

    connect(m_tool.get(), &SignTool::addError, this, [this](const QString &error) {
        emit addOutput(error, OutputFormat::Stderr);
    });
    connect(m_tool.get(), &SignTool::addOutput, this, [this](const QString &output) {
        emit addOutput(output, OutputFormat::Stdout);
    });

    m_useDefaultValues = true;
    setEnabled(true);
}

PkgsealStep::~PkgsealStep()
{
    // A step that goes (its project closed) leaves no tool running for it.
    if (m_running)
        m_tool->cancel();
}

Utils::Id PkgsealStep::stepId()
{
    return "Quillmark.PkgsealStep";
}

QString PkgsealStep::displayName()
{
    return QStringLiteral("RPM Sign (pkgseal)");
}

bool PkgsealStep::fromMap(const QVariantMap &map)
{
    if (!KamProcessStep::fromMap(map))
        return false;
    m_useDefaultValues = map.value(USE_DEFAULT_VALUES_KEY, true).toBool();
    if (m_useDefaultValues)
        return true;
    m_key = map.value(KEY_KEY).toString();
    m_certificate = map.value(CERTIFICATE_KEY).toString();
    return true;
}

QVariantMap PkgsealStep::toMap() const
{
    QVariantMap map = KamProcessStep::toMap();
    map.insert(USE_DEFAULT_VALUES_KEY, m_useDefaultValues);
    if (!m_useDefaultValues) {
        map.insert(KEY_KEY, key());
        map.insert(CERTIFICATE_KEY, certificate());
    }
    return map;
}

bool PkgsealStep::init()
{
    return KamProcessStep::init(InitOptions(SkipProcessSetup));
}

QString PkgsealStep::key() const
{
    if (!m_useDefaultValues)
        return m_key;
    return globalSetting(GLOBAL_SIGN_KEY, DEFAULT_SIGN_KEY);
}

QString PkgsealStep::certificate() const
{
    if (!m_useDefaultValues)
        return m_certificate;
    return globalSetting(GLOBAL_SIGN_CERTIFICATE, DEFAULT_SIGN_CERTIFICATE);
}

void PkgsealStep::setKey(const QString &key)
{
    m_key = key;
    m_useDefaultValues = false;
}

void PkgsealStep::setCertificate(const QString &certificate)
{
    m_certificate = certificate;
    m_useDefaultValues = false;
}

QWidget *PkgsealStep::createConfigWidget()
{
    auto widget = new PkgsealWidget;
    widget->setUseDefaultValues(m_useDefaultValues);
    widget->setKey(key());
    widget->setCertificate(certificate());

    connect(widget, &PkgsealWidget::keyChanged, this, &PkgsealStep::setKey);
    connect(widget, &PkgsealWidget::certificateChanged, this, &PkgsealStep::setCertificate);
    connect(widget, &PkgsealWidget::useDefaultValuesChanged, this, [this](bool useDefault) {
        m_useDefaultValues = useDefault;
    });
    return widget;
}

void PkgsealStep::doRun()
{
    m_running = true;
    emit addOutput(tr("Signing RPM package..."), OutputFormat::NormalMessage);

    KeySet keys;
    keys.developerKey = key();
    keys.developerCertificate = certificate();

    if (!m_buildStep) {
        emit addOutput(tr("Error: No previous \"%1\" step found").arg(KamBuildStep::displayName()),
                       OutputFormat::ErrorMessage);
        finishRun(false);
        return;
    }

    const QStringList packages = m_buildStep->deployablePackagesFileNames();
    if (packages.isEmpty()) {
        emit addOutput(tr("Error: no package for sign found"), OutputFormat::ErrorMessage);
        finishRun(false);
        return;
    }

    const std::optional<RunResult> result = runTool(
        [&](Pkgseal &tool) { return tool.sign(packages, keys); });
    if (!result)
        return;
    if (!succeeded(*result)) {
        finishRun(false);
        return;
    }

    emit addOutput(tr("Package sign completed successfully."), OutputFormat::NormalMessage);
    if (checkSignatureDump(packages))
        finishRun(true);
}

void PkgsealStep::doCancel()
{
    KamProcessStep::doCancel();
    // The tool's run returns as soon as its process has ended; the run reports its end then.
    if (m_running)
        m_tool->cancel();
}

std::optional<RunResult> PkgsealStep::runTool(const std::function<RunResult(Pkgseal &)> &operation)
{
    // The tool runs the event loop while it waits: the step may be stopped or even deleted
    // before it returns, so the tool is kept alive here and the step looked at only if it lives.
    const QPointer<PkgsealStep> self(this);
    const std::shared_ptr<Pkgseal> tool = m_tool;
    const RunResult result = operation(*tool);
    if (!self)
        return std::nullopt;
    if (tool->wasCancelled()) {
        emit addOutput(tr("Package sign stopped by user"), OutputFormat::ErrorMessage);
        finishRun(false);
        return std::nullopt;
    }
    return result;
}

KamBuildStep *PkgsealStep::findBuildStep() const
{
    BuildConfiguration *configuration = buildConfiguration();
    if (!configuration)
        return nullptr;
    const QList<BuildStep *> steps = configuration->buildSteps()->steps();
    for (BuildStep *step : steps) {
        if (step == this)
            break;
        if (auto buildStep = qobject_cast<KamBuildStep *>(step))
            return buildStep;
    }
    return nullptr;
}

bool PkgsealStep::checkSignatureDump(const QStringList &packages)
{
    if (isCheckedByLaterStep())
        return true;

    const std::optional<RunResult> result = runTool(
        [&](Pkgseal &tool) { return tool.dump(packages); });
    if (!result)
        return false;

    if (!succeeded(*result)) {
        emit addOutput(tr("Failed to verify signature dump"), OutputFormat::Stderr);
        return true;
    }
    reportSignatures(packages, QString::fromUtf8(result->output));
    return true;
}

bool PkgsealStep::isCheckedByLaterStep() const
{
    DeployConfiguration *deployConfiguration = this->deployConfiguration();
    if (!deployConfiguration)
        return false;
    const QList<BuildStep *> steps = deployConfiguration->stepList()->steps();
    const int ownIndex = steps.indexOf(const_cast<PkgsealStep *>(this));
    for (int i = ownIndex + 1; i < steps.size(); ++i) {
        if (steps.at(i)->id() == stepId() && steps.at(i)->enabled())
            return true;
    }
    return false;
}

void PkgsealStep::reportSignatures(const QStringList &packages, const QString &dump)
{
    if (packages.size() == 1) {
        reportPackageSignature(dump, packages.first());
        return;
    }

    // A path runs from a "/" to the first ".rpm" that ends a word, so that folders such as
    // "rpmbuild" don't cut a package's section short.
    static const QRegularExpression packagePath("(/.*\\.rpm)(?=[\\s:;,]|$)",
                                                QRegularExpression::InvertedGreedinessOption);
    QList<QRegularExpressionMatch> matches;
    QRegularExpressionMatchIterator it = packagePath.globalMatch(dump);
    while (it.hasNext())
        matches.append(it.next());

    for (int i = 0; i < matches.size(); ++i) {
        const int start = matches.at(i).capturedStart();
        const int end = i + 1 < matches.size() ? matches.at(i + 1).capturedStart() : dump.size();
        reportPackageSignature(dump.mid(start, end - start),
                               QFileInfo(matches.at(i).captured(1)).fileName());
    }
}

void PkgsealStep::reportPackageSignature(const QString &section, const QString &packageName)
{
    static const QRegularExpression groupLine("(?:Group: )(.*?)[\r\n]+");
    bool hasDeveloperGroup = false;
    QRegularExpressionMatchIterator it = groupLine.globalMatch(section);
    while (it.hasNext()) {
        const QString group = it.next().captured(1);
        if (group == QLatin1String("client"))
            return;
        if (group == QLatin1String("developer"))
            hasDeveloperGroup = true;
    }

    const QString note = hasDeveloperGroup
                             ? tr("Note: Packages %1 signed with developer key, use is possible "
                                  "only for development purposes. Read more: %2")
                             : tr("Note: Packages %1 is not signed. Deployment to the device is "
                                  "not possible. Read more: %2");
    emit addOutput(note.arg(packageName, QLatin1String(DOCUMENTATION_URL)), OutputFormat::Stderr);
}

void PkgsealStep::finishRun(bool success)
{
    m_running = false;
    emit finished(success);
}

} // namespace Internal
} // namespace Quillmark
