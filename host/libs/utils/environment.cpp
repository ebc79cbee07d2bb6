#include "environment.h"

#include <QRegularExpression>

namespace Utils {

Environment Environment::systemEnvironment()
{
    return Environment(QProcessEnvironment::systemEnvironment().toStringList());
}

QProcessEnvironment Environment::toProcessEnvironment() const
{
    QProcessEnvironment result;
    for (auto it = constBegin(); it != constEnd(); ++it)
        result.insert(it.key(), it.value());
    return result;
}

QString Environment::pathListSeparator() const
{
    return m_osType == OsTypeWindows ? QStringLiteral(";") : QStringLiteral(":");
}

void Environment::appendOrSet(const QString &key, const QString &value, const QString &sep)
{
    const QString current = this->value(key);
    if (!hasKey(key) || current.isEmpty()) {
        set(key, value);
    } else if (!current.endsWith(value)) {
        set(key, current + sep + value);
    }
}

void Environment::prependOrSet(const QString &key, const QString &value, const QString &sep)
{
    const QString current = this->value(key);
    if (!hasKey(key) || current.isEmpty()) {
        set(key, value);
    } else if (!current.startsWith(value)) {
        set(key, value + sep + current);
    }
}

void Environment::appendOrSetPath(const QString &value)
{
    appendOrSet(QStringLiteral("PATH"), QDir::toNativeSeparators(value), pathListSeparator());
}

void Environment::prependOrSetPath(const QString &value)
{
    prependOrSet(QStringLiteral("PATH"), QDir::toNativeSeparators(value), pathListSeparator());
}

FilePaths Environment::path() const
{
    FilePaths result;
    const QStringList dirs = value(QStringLiteral("PATH"))
                                 .split(pathListSeparator(), Qt::SkipEmptyParts);
    for (const QString &dir : dirs)
        result.append(FilePath::fromUserInput(dir));
    return result;
}

FilePath Environment::searchInPath(const QString &executable,
                                   const FilePaths &additionalDirs,
                                   const PathFilter &func) const
{
    if (executable.isEmpty())
        return {};
    const auto acceptable = [&func](const FilePath &candidate) {
        const QFileInfo info = candidate.toFileInfo();
        return info.isFile() && info.isExecutable() && (!func || func(candidate));
    };
    if (FileUtils::isAbsolutePath(executable)) {
        const FilePath candidate = FilePath::fromString(executable);
        return acceptable(candidate) ? candidate : FilePath();
    }
    const FilePaths dirs = additionalDirs + path();
    for (const FilePath &dir : dirs) {
        const FilePath candidate = dir.pathAppended(executable);
        if (acceptable(candidate))
            return FilePath::fromString(QDir::cleanPath(candidate.toString()));
    }
    return {};
}

QString Environment::expandVariables(const QString &input) const
{
    // $NAME and ${NAME}; unknown names expand to nothing, like a shell.
    static const QRegularExpression variable(
        QStringLiteral("\\$(?:\\{([A-Za-z_][A-Za-z0-9_]*)\\}|([A-Za-z_][A-Za-z0-9_]*))"));
    QString result;
    int last = 0;
    auto it = variable.globalMatch(input);
    while (it.hasNext()) {
        const QRegularExpressionMatch match = it.next();
        result += input.midRef(last, match.capturedStart() - last);
        const QString name = match.captured(1).isEmpty() ? match.captured(2) : match.captured(1);
        result += value(name);
        last = match.capturedEnd();
    }
    result += input.midRef(last);
    return result;
}

void Environment::setupEnglishOutput(Environment *environment)
{
    environment->set(QStringLiteral("LC_MESSAGES"), QStringLiteral("en_US.utf8"));
    environment->set(QStringLiteral("LANGUAGE"), QStringLiteral("en_US:en"));
}

} // namespace Utils
