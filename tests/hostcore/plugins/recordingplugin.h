#pragma once

#include <extensionsystem/iplugin.h>

#include <QCoreApplication>
#include <QVariant>

// A plug-in for the plug-in manager's tests. It records what happens to it in the application
// property "pluginEvents" ("<Name>: <event>").
class RecordingPlugin : public ExtensionSystem::IPlugin
{
public:
    explicit RecordingPlugin(const char *name, bool failInitialize = false)
        : m_name(QLatin1String(name))
        , m_failInitialize(failInitialize)
    {}
    ~RecordingPlugin() override { record(QLatin1String("deleted")); }

    bool initialize(const QStringList &arguments, QString *errorString) override
    {
        record(QLatin1String("initialize ") + arguments.join(QLatin1Char(' ')));
        if (m_failInitialize)
            *errorString = QLatin1String("deliberate failure");
        return !m_failInitialize;
    }
    void extensionsInitialized() override { record(QLatin1String("extensionsInitialized")); }
    bool delayedInitialize() override
    {
        record(QLatin1String("delayedInitialize"));
        return true;
    }
    ShutdownFlag aboutToShutdown() override
    {
        record(QLatin1String("aboutToShutdown"));
        return SynchronousShutdown;
    }

private:
    void record(const QString &event) const
    {
        QStringList events = qApp->property("pluginEvents").toStringList();
        events.append(m_name + QLatin1String(": ") + event);
        qApp->setProperty("pluginEvents", events);
    }

    QString m_name;
    bool m_failInitialize;
};
