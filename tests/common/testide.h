#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

namespace ExtensionSystem {
class PluginManager;
}

// The IDE inside a test process: the real plug-in manager loading the built plug-ins, with a
// temporary settings folder. Construct it in initTestCase (the QApplication exists then) and
// destroy it in cleanupTestCase; the constructor returns once start-up is done (the plug-ins'
// initialize, extensionsInitialized and delayedInitialize have run).
class TestIde
{
public:
    // sdkDir: the SDK for the build-engine plug-in (KELVARA_SDK_DIR), unchanged if empty.
    // plugins: load only these plug-ins and those they require; all plug-ins if empty.
    // arguments: what the plug-ins get in initialize(), as from kelvara-ide's command line.
    explicit TestIde(const QString &sdkDir = QString(),
                     const QStringList &plugins = QStringList(),
                     const QStringList &arguments = QStringList());
    ~TestIde();

    TestIde(const TestIde &) = delete;
    TestIde &operator=(const TestIde &) = delete;

    // Plug-ins refused by the plug-in manager, one line each ("Plugin X not loaded: why").
    QStringList errors() const;
    QString settingsPath() const;

    // The build tree ($QUILLMARK_BUILD_DIR), its bin/ and its plug-in folder.
    static QString buildDir();
    static QString binDir();
    static QString pluginDir();

private:
    QTemporaryDir m_settingsDir;
    std::unique_ptr<ExtensionSystem::PluginManager> m_pluginManager;
};
