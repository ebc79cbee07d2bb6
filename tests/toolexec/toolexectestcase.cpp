#include "toolexectestcase.h"

#include <testide.h>
#include <testsdk.h>

#include <coreplugin/messagemanager.h>

ToolExecTestCase::ToolExecTestCase(int containerCount)
{
    for (int i = 1; i <= containerCount; ++i) {
        m_containers.push_back(
            std::make_unique<ScriptedContainer>(m_scratch.path(),
                                                QString("run-container-%1").arg(i)));
    }
    m_sdk = std::make_unique<TestSdk>();
    reset();
    m_ide = std::make_unique<TestIde>(m_sdk->path());
    QObject::connect(Core::MessageManager::instance(),
                     &Core::MessageManager::messageWritten,
                     [this](const QString &message) { m_messages << message; });
}

ToolExecTestCase::~ToolExecTestCase() = default;

void ToolExecTestCase::setRunCommands(const QStringList &runCommands)
{
    m_sdk->setRunCommands(runCommands);
    if (!m_sdk->save())
        qFatal("Cannot save the test SDK");
}

void ToolExecTestCase::reset()
{
    QStringList runCommands;
    for (const auto &container : m_containers) {
        container->reset();
        runCommands << container->runCommand();
    }
    setRunCommands(runCommands);
    m_messages.clear();
}
