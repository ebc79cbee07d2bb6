#include "pkgsealstep.h"

#include "pkgsealwidget.h"

#include <kelvara/kambuildstep.h>
#include <projectexplorer/buildconfiguration.h>
#include <projectexplorer/buildsteplist.h>
#include <projectexplorer/deployconfiguration.h>
#include <utils/environment.h>

#include <QFileInfo>
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

// A dump line that names a package begins with its path, which ends at ".rpm".
QString packagePathOf(QStringView line)
{
    if (!line.startsWith(QLatin1Char('/')))
        return {};
    const QLatin1String suffix(".rpm");
    for (int end = line.indexOf(suffix); end >= 0; end = line.indexOf(suffix, end + 1)) {
        const int pathEnd = end + suffix.size();
        if (pathEnd == line.size() || QStringView(u" \t:;,").contains(line.at(pathEnd)))
            return line.left(pathEnd).toString();
    }
    return {};
}

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

// A dump of one package is read whole, for the package as it was given; in a dump of several,
// a package's part begins at the line that names it. Groups are read only from whole lines that
// begin with "Group: ", so that a subject naming a group is not taken for one.
QList<PkgsealStep::DumpedPackage> PkgsealStep::readDump(const QString &dump,
                                                        const QStringList &packages)
{
    QList<DumpedPackage> result;
    if (packages.size() == 1)
        result.append({packages.first(), {}});
    const QLatin1String groupLabel("Group: ");
    for (int lineStart = 0; lineStart < dump.size();) {
        int lineEnd = lineStart;
        while (lineEnd < dump.size() && dump.at(lineEnd) != '\n' && dump.at(lineEnd) != '\r')
            ++lineEnd;
        const QStringView line = QStringView(dump).mid(lineStart, lineEnd - lineStart);
        const QString path = packages.size() == 1 ? QString() : packagePathOf(line);
        if (!path.isEmpty()) {
            result.append({QFileInfo(path).fileName(), {}});
        } else if (line.startsWith(groupLabel) && lineEnd < dump.size() && !result.isEmpty()) {
            result.last().groups.append(line.mid(groupLabel.size()).toString());
        }
        lineStart = lineEnd + 1;
    }
    return result;
}

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
        reportProgress(output);
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
    widget->setKey(m_key);
    widget->setCertificate(m_certificate);

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

    m_packagesToSign = QSet<QString>(packages.cbegin(), packages.cend());
    m_packageCount = m_packagesToSign.size();
    const std::optional<RunResult> result = runTool(
        [&](Pkgseal &tool) { return tool.sign(packages, keys); });
    if (!result)
        return;
    m_packagesToSign.clear();
    if (m_tool->wasCancelled()) {
        reportStop(packages, false);
        return;
    }
    if (!succeeded(*result)) {
        finishRun(false);
        return;
    }

    emit addOutput(tr("Package sign completed successfully."), OutputFormat::NormalMessage);
    checkSignatureDump(packages);
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
    // The tool runs the event loop while it waits: the step may be deleted before it returns,
    // so the tool is kept alive here and the step looked at only if it lives.
    const QPointer<PkgsealStep> self(this);
    const std::shared_ptr<Pkgseal> tool = m_tool;
    const RunResult result = operation(*tool);
    if (!self)
        return std::nullopt;
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

void PkgsealStep::checkSignatureDump(const QStringList &packages)
{
    if (isCheckedByLaterStep()) {
        finishRun(true);
        return;
    }

    const std::optional<RunResult> result = dumpSignatures(packages);
    if (!result)
        return;
    if (m_tool->wasCancelled()) {
        reportStop(packages, true);
        return;
    }
    if (succeeded(*result)) {
        for (const DumpedPackage &package : readDump(QString::fromUtf8(result->output), packages))
            reportPackageSignature(package);
    } else {
        emit addOutput(tr("Failed to verify signature dump"), OutputFormat::Stderr);
    }
    finishRun(true);
}

std::optional<RunResult> PkgsealStep::dumpSignatures(const QStringList &packages)
{
    return runTool([&packages](Pkgseal &tool) { return tool.dump(packages); });
}

// The packages are as they were or fully signed; the build output tells which.
void PkgsealStep::reportStop(const QStringList &packages, bool allSigned)
{
    emit addOutput(tr("Package sign stopped by user"), OutputFormat::ErrorMessage);
    if (allSigned) {
        emit addOutput(tr("All packages are signed."), OutputFormat::ErrorMessage);
    } else {
        const std::optional<RunResult> result = dumpSignatures(packages);
        if (!result)
            return;
        if (succeeded(*result)) {
            reportSignedPackages(readDump(QString::fromUtf8(result->output), packages));
        } else {
            emit addOutput(tr("Could not tell which packages are signed."),
                           OutputFormat::ErrorMessage);
        }
    }
    finishRun(false);
}

void PkgsealStep::reportSignedPackages(const QList<DumpedPackage> &packages)
{
    QStringList signedPackages;
    QStringList unsignedPackages;
    for (const DumpedPackage &package : packages)
        (package.groups.isEmpty() ? unsignedPackages : signedPackages).append(package.name);
    if (unsignedPackages.isEmpty()) {
        emit addOutput(tr("All packages are signed."), OutputFormat::ErrorMessage);
        return;
    }
    if (!signedPackages.isEmpty()) {
        emit addOutput(tr("Signed before the stop: %1").arg(signedPackages.join(", ")),
                       OutputFormat::ErrorMessage);
    }
    emit addOutput(tr("Not signed, left as they were: %1").arg(unsignedPackages.join(", ")),
                   OutputFormat::ErrorMessage);
}

// pkgseal reports each package once it is final: "<path>: signed by <subject>", or "<path>:
// already signed with the certificate of <subject>, ..." when it carried that signature.
void PkgsealStep::reportProgress(const QString &toolLine)
{
    if (m_packagesToSign.isEmpty())
        return;
    int pathEnd = toolLine.indexOf(QLatin1String(": signed by "));
    if (pathEnd < 0)
        pathEnd = toolLine.indexOf(QLatin1String(": already signed with the certificate of "));
    if (pathEnd < 0 || !m_packagesToSign.remove(toolLine.left(pathEnd)))
        return;
    const int signedCount = m_packageCount - m_packagesToSign.size();
    emit progress(signedCount * 100 / m_packageCount,
                  tr("Signed %1 (%2 of %3)")
                      .arg(QFileInfo(toolLine.left(pathEnd)).fileName())
                      .arg(signedCount)
                      .arg(m_packageCount));
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

void PkgsealStep::reportPackageSignature(const DumpedPackage &package)
{
    if (package.groups.contains(QLatin1String("client")))
        return;
    const bool hasDeveloperGroup = package.groups.contains(QLatin1String("developer"));

    const QString note = hasDeveloperGroup
                             ? tr("Note: Packages %1 signed with developer key, use is possible "
                                  "only for development purposes. Read more: %2")
                             : tr("Note: Packages %1 is not signed. Deployment to the device is "
                                  "not possible. Read more: %2");
    emit addOutput(note.arg(package.name, QLatin1String(DOCUMENTATION_URL)), OutputFormat::Stderr);
}

void PkgsealStep::finishRun(bool success)
{
    m_running = false;
    emit finished(success);
}

} // namespace Internal
} // namespace Quillmark
