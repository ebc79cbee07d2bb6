#include "teststeps.h"

#include <QTimer>

QStringList RecordingStep::journal;

RecordingStep::RecordingStep(ProjectExplorer::BuildStepList *bsl, Utils::Id id)
    : ProjectExplorer::BuildStep(bsl, id)
{}

bool RecordingStep::fromMap(const QVariantMap &map)
{
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
        QTimer::singleShot(0, this, [this, result] {
            journal << "again " + name;
            emit finished(!result);
        });
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
