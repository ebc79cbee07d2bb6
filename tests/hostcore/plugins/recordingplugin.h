#pragma once

#include <extensionsystem/iplugin.h>

#include <QCoreApplication>
#include <QVariant>

#include <cstdio>

// A plug-in for the plug-in manager's tests. It records what happens to it in the application
// property "pluginEvents" ("<Name>: <event>"), and prints each event to stdout when
// QUILLMARK_TEST_PLUGIN_ECHO is set (for tests that run the IDE as a process).
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
        if (m_failInitialize) {
            *errorString = QLatin1String("deliberate failure");
            return false;
        }
        return true;
    }
    void extensionsInitialized() override { record(QLatin1String("extensionsInitialized")); }
    bool delayedInitialize() override
    {
        record(QLatin1String("delayedInitialize sdk=") + qEnvironmentVariable("KELVARA_SDK_DIR"));
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
        const QString line = m_name + QLatin1String(": ") + event;
        QStringList events = qApp->property("pluginEvents").toStringList();
        events.append(line);
        qApp->setProperty("pluginEvents", events);
        if (qEnvironmentVariableIsSet("QUILLMARK_TEST_PLUGIN_ECHO")) {
            printf("%s\n", qPrintable(line));
            fflush(stdout);
        }
    }

    QString m_name;
    bool m_failInitialize;
};
