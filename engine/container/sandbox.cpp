#include "sandbox.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <fcntl.h>
#include <filesystem>

namespace KelvaraRun {

// Where a container sees its engine's folder: default keys and the default root CA bundle.
static const char keysFolder[] = "/etc/keys/public";

static QString symLinkTarget(const QString &path)
{
    std::error_code error;
    const std::filesystem::path target
        = std::filesystem::read_symlink(QFile::encodeName(path).toStdString(), error);
    return QFile::decodeName(QByteArray::fromStdString(target.string()));
}

static bool isSameOrInside(const QString &path, const QString &folder)
{
    return path == folder || path.startsWith(folder.endsWith('/') ? folder : folder + '/');
}

Sandbox::Sandbox(const SdkConfig::Configuration &config, const QString &toolsDir)
    : m_config(config)
    , m_toolsDir(toolsDir)
{}

bool Sandbox::prepare(const QString &containerName, const QString &workingDir)
{
    const SdkConfig::Engine *engine = engineOfContainer(containerName);
    if (!engine || !requireFolder(engine->path, "engine folder") || !collectSharedFolders(*engine)
        || !mapWorkingDirectory(workingDir)) {
        return false;
    }

    // The tool dies with the run command, has no controlling terminal and, even when run
    // by root, cannot remount the read-only system.
    m_arguments = QStringList{"--unshare-pid", "--die-with-parent", "--new-session"};
    addOption("--cap-drop", "ALL");
    addSystemFolders();
    addEtc(engine->path);
    addOption("--dev", "/dev");
    addOption("--proc", "/proc");
    addOption("--tmpfs", "/tmp");
    addOption("--tmpfs", "/run");
    addVar();
    addOption("--tmpfs", homeFolder());
    addBindsAtHostPaths();
    addOption("--remount-ro", "/");
    addOption("--chdir", m_insideWorkingDir);
    return true;
}

const SdkConfig::Engine *Sandbox::engineOfContainer(const QString &containerName)
{
    QStringList known;
    for (const SdkConfig::Container &container : qAsConst(m_config.containers)) {
        if (container.name != containerName) {
            known << container.name;
            continue;
        }
        m_passEnvironment = container.passEnvironment;
        if (const SdkConfig::Engine *engine = m_config.engine(container.engine))
            return engine;
        m_errorString = QStringLiteral("The build container \"%1\" belongs to the engine \"%2\", "
                                       "which the SDK configuration %3 does not list.")
                            .arg(containerName,
                                 container.engine,
                                 SdkConfig::Configuration::filePath(m_config.installationPath));
        return nullptr;
    }
    m_errorString = QStringLiteral("The SDK configuration %1 has no build container \"%2\" "
                                   "(known containers: %3).")
                        .arg(SdkConfig::Configuration::filePath(m_config.installationPath),
                             containerName,
                             known.isEmpty() ? QStringLiteral("none") : known.join(", "));
    return nullptr;
}

// The workspace and the container's own engine folders must exist; shared folders of other
// engines are mounted when they exist, so that one removed folder does not stop every engine.
bool Sandbox::collectSharedFolders(const SdkConfig::Engine &ownEngine)
{
    if (m_config.workspace.isEmpty()) {
        m_errorString = QStringLiteral("The SDK configuration %1 names no workspace.")
                            .arg(SdkConfig::Configuration::filePath(m_config.installationPath));
        return false;
    }
    if (!requireFolder(m_config.workspace, "workspace"))
        return false;
    if (!ownEngine.sharedSrcPath.isEmpty()
        && !requireFolder(ownEngine.sharedSrcPath, "shared source folder")) {
        return false;
    }

    m_sharedFolders = QStringList{m_config.workspace};
    for (const SdkConfig::Engine &engine : qAsConst(m_config.engines)) {
        if (!engine.sharedSrcPath.isEmpty() && QFileInfo(engine.sharedSrcPath).isDir())
            m_sharedFolders << engine.sharedSrcPath;
    }
    m_sharedFolders.removeDuplicates();
    return true;
}

bool Sandbox::requireFolder(const QString &path, const QString &role)
{
    if (QFileInfo(path).isDir())
        return true;
    m_errorString = QStringLiteral("The %1 %2 of the SDK %3 does not exist.")
                        .arg(role, path, m_config.installationPath);
    return false;
}

// The container sees the shared folders at their configured paths; the host's working folder
// may have been reached through symbolic links, so compare canonical paths.
bool Sandbox::mapWorkingDirectory(const QString &workingDir)
{
    const QString canonicalWorkingDir = QFileInfo(workingDir).canonicalFilePath();
    int bestLength = -1;
    for (const QString &folder : qAsConst(m_sharedFolders)) {
        const QString canonicalFolder = QFileInfo(folder).canonicalFilePath();
        if (canonicalFolder.size() > bestLength
            && isSameOrInside(canonicalWorkingDir, canonicalFolder)) {
            bestLength = canonicalFolder.size();
            m_insideWorkingDir = QDir::cleanPath(folder + canonicalWorkingDir.mid(bestLength));
        }
    }
    if (bestLength >= 0)
        return true;
    m_errorString = QStringLiteral("The working folder %1 is not inside the workspace or a shared "
                                   "source folder (%2), so the build container cannot see it.")
                        .arg(workingDir, m_sharedFolders.join(", "));
    return false;
}

void Sandbox::addSystemFolders()
{
    static const char *const names[]
        = {"usr", "bin", "sbin", "lib", "lib32", "lib64", "libx32", "opt"};
    for (const char *name : names) {
        const QString path = '/' + QLatin1String(name);
        const QFileInfo info(path);
        if (info.isSymLink())
            add("--symlink", symLinkTarget(path), path);
        else if (info.isDir())
            add("--ro-bind", path, path);
    }
}

// Of the host's /etc only what builds need: users and groups, name resolution, the dynamic
// linker's cache, certificates, locale and time zone, the configuration of rpm, openssl, file
// and fontconfig. Nothing else, so that no secret of the host (shadow files, host keys,
// passwords of services) can be read inside, whatever its name.
void Sandbox::addEtc(const QString &engineFolder)
{
    static const char *const names[] = {"passwd",       "group",       "nsswitch.conf",
                                        "hosts",        "host.conf",   "resolv.conf",
                                        "gai.conf",     "services",    "protocols",
                                        "ld.so.cache",  "localtime",   "timezone",
                                        "locale.alias", "locale.conf", "os-release",
                                        "alternatives", "ssl/certs",   "ssl/openssl.cnf",
                                        "fonts",        "magic",       "magic.mime",
                                        "rpmrc",        "rpm",         "popt",
                                        "popt.d"};
    // Folders that bubblewrap would make for the binds are readable by their owner only.
    for (const char *folder : {"/etc", "/etc/ssl", "/etc/keys"})
        addOption("--dir", folder);
    for (const char *name : names)
        addEtcEntry("/etc/" + QLatin1String(name));
    add("--symlink", "../proc/self/mounts", "/etc/mtab");
    add("--ro-bind", engineFolder, keysFolder);
}

void Sandbox::addEtcEntry(const QString &path)
{
    const QFileInfo info(path);
    // A link into the system folders stays a link; others (resolv.conf into /run) are followed
    // on the host.
    if (info.isSymLink() && isSameOrInside(info.canonicalFilePath(), "/usr")) {
        add("--symlink", symLinkTarget(path), path);
    } else if (info.isDir()) {
        add("--ro-bind", path, path);
    } else if (info.isFile()) {
        // A copy into the container's read-only root costs bubblewrap much less than a mount.
        // The descriptor is left open across exec for bubblewrap to read.
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
        if (fd >= 0) {
            addOption("--perms", "0644");
            add("--file", QString::number(fd), path);
        }
    }
}

// Of /var only the places that programs write to, private to the container.
void Sandbox::addVar()
{
    addOption("--tmpfs", "/var/tmp");
    add("--symlink", "../run", "/var/run");
    add("--symlink", "../run/lock", "/var/lock");
}

// Parents are mounted before the folders inside them, else they would hide them.
void Sandbox::addBindsAtHostPaths()
{
    struct Bind
    {
        QString path;
        bool writable;
    };
    QList<Bind> binds{{m_toolsDir, false}};
    for (const QString &folder : qAsConst(m_sharedFolders))
        binds.append({folder, true});
    // Keys and certificates that users pick from the SDK, unchangeable from inside.
    for (const char *name : {"keys", "ca"}) {
        const QString folder = QDir(m_config.installationPath).filePath(name);
        if (QFileInfo(folder).isDir())
            binds.append({folder, false});
    }
    std::sort(binds.begin(), binds.end(), [](const Bind &a, const Bind &b) {
        return a.path < b.path;
    });
    for (const Bind &bind : qAsConst(binds))
        add(bind.writable ? "--bind" : "--ro-bind", bind.path, bind.path);
}

void Sandbox::addOption(const QString &option, const QString &value)
{
    m_arguments << option << value;
}

void Sandbox::add(const QString &option, const QString &source, const QString &destination)
{
    m_arguments << option << source << destination;
}

} // namespace KelvaraRun
