#pragma once

#include "scriptedcontainer.h"

#include <QStringList>
#include <QTemporaryDir>

#include <memory>
#include <vector>

class TestIde;
class TestSdk;

// The running IDE with a temporary SDK whose build containers are scripted run commands, and the
// lines written to the general message pane.
class ToolExecTestCase
{
public:
    explicit ToolExecTestCase(int containerCount = 1);
    ~ToolExecTestCase();

    TestSdk &sdk() { return *m_sdk; }
    TestIde &ide() { return *m_ide; }
    ScriptedContainer &container(int index) { return *m_containers.at(size_t(index)); }
    // A folder outside the workspace for the test's own files.
    QString scratchFolder() const { return m_scratch.path(); }

    void setRunCommands(const QStringList &runCommands);
    // Back to the scripted containers, with no runs, no scripts and no messages.
    void reset();

    QStringList messages() const { return m_messages; }
    void clearMessages() { m_messages.clear(); }

private:
    QTemporaryDir m_scratch;
    QStringList m_messages;
    std::vector<std::unique_ptr<ScriptedContainer>> m_containers;
    std::unique_ptr<TestSdk> m_sdk;
    std::unique_ptr<TestIde> m_ide;
};
