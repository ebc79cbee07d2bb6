#include "teststeps.h"

#include <projectexplorer/processparameters.h>

#include <QLabel>
#include <QTimer>

QStringList RecordingStep::journal;
QVariantMap RecordingStep::lastRestoredMap;

RecordingStep::RecordingStep(ProjectExplorer::BuildStepList *bsl, Utils::Id id)
    : ProjectExplorer::BuildStep(bsl, id)
{}

bool RecordingStep::fromMap(const QVariantMap &map)
{
    lastRestoredMap = map;
    name = map.value("Test.Name").toString();
    return BuildStep::fromMap(map);
}

QVariantMap RecordingStep::toMap() const
{
    QVariantMap map = BuildStep::toMap();
    map.insert("Test.Name", name);
    return map;
}

bool RecordingStep::init()
{
    journal << "init " + name;
    return initResult;
}

QWidget *RecordingStep::createConfigWidget()
{
    auto label = new QLabel("settings of " + name);
    label->setObjectName("recordingStepWidget");
    return label;
}

void RecordingStep::doRun()
{
    journal << "run " + name;
    for (const auto &report : qAsConst(progressReports))
        emit progress(report.first, report.second);
    const bool result = runResult;
    switch (finishMode) {
    case Finish::Later:
        QTimer::singleShot(0, this, [this, result] { emit finished(result); });
        break;
    case Finish::InsideRun:
        emit finished(result);
        break;
    case Finish::Twice:
        emit finished(result);
        QTimer::singleShot(0, this, [this, result] { emit finished(!result); });
        break;
    case Finish::OnCancelOnly:
        break;
    case Finish::InNestedLoop: {
        QEventLoop loop;
        m_nestedLoop = &loop;
        loop.exec();
        m_nestedLoop = nullptr;
        journal << "return " + name;
        break;
    }
    }
}

void RecordingStep::doCancel()
{
    journal << "cancel " + name;
    if (finishMode == Finish::OnCancelOnly || finishMode == Finish::InNestedLoop)
        emit finished(false);
    if (m_nestedLoop)
        QMetaObject::invokeMethod(m_nestedLoop, &QEventLoop::quit, Qt::QueuedConnection);
}

ShellStep::ShellStep(ProjectExplorer::BuildStepList *bsl, Utils::Id id)
    : ProjectExplorer::AbstractProcessStep(bsl, id)
{}

void ShellStep::setScript(const QString &script)
{
    setCommandLineProvider([script] { return Utils::CommandLine("/bin/sh", {"-c", script}); });
}

void ShellStep::processStarted()
{
    hooks << "started";
    AbstractProcessStep::processStarted();
}

void ShellStep::processFinished(int exitCode, QProcess::ExitStatus status)
{
    hooks << QString("finished %1 %2")
                 .arg(exitCode)
                 .arg(status == QProcess::NormalExit ? "normal" : "crash");
    AbstractProcessStep::processFinished(exitCode, status);
}

void ShellStep::processStartupFailed()
{
    hooks << "startup failed";
    AbstractProcessStep::processStartupFailed();
}
