#include "fileutils.h"

#include "qtcassert.h"

#include <QDateTime>
#include <QDebug>
#include <QFile>
#include <QHash>
#include <QRegularExpression>

namespace Utils {

namespace {

bool needsUnixQuoting(const QString &arg)
{
    static const QRegularExpression special(QStringLiteral("[^A-Za-z0-9_./,:=@%+-]"));
    return arg.isEmpty() || special.match(arg).hasMatch();
}

QString quoteArgUnix(const QString &arg)
{
    if (!needsUnixQuoting(arg))
        return arg;
    QString quoted = arg;
    quoted.replace(QLatin1Char('\''), QLatin1String("'\\''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

// Splits a command string the way a POSIX shell splits words, without expansions.
QStringList splitArgsUnix(const QString &args)
{
    QStringList words;
    QString word;
    bool inWord = false;
    for (int i = 0; i < args.size(); ++i) {
        const QChar c = args.at(i);
        if (c == QLatin1Char('\'')) {
            inWord = true;
            const int end = args.indexOf(QLatin1Char('\''), i + 1);
            const int stop = end < 0 ? args.size() : end;
            word += args.mid(i + 1, stop - i - 1);
            i = stop;
        } else if (c == QLatin1Char('"')) {
            inWord = true;
            for (++i; i < args.size() && args.at(i) != QLatin1Char('"'); ++i) {
                if (args.at(i) == QLatin1Char('\\') && i + 1 < args.size()
                    && QStringLiteral("\"\\$`").contains(args.at(i + 1))) {
                    ++i;
                }
                word += args.at(i);
            }
        } else if (c == QLatin1Char('\\')) {
            inWord = true;
            if (i + 1 < args.size())
                word += args.at(++i);
        } else if (c.isSpace()) {
            if (inWord)
                words.append(word);
            word.clear();
            inWord = false;
        } else {
            inWord = true;
            word += c;
        }
    }
    if (inWord)
        words.append(word);
    return words;
}

} // namespace

// FilePath

FilePath::FilePath() = default;

FilePath FilePath::fromString(const QString &filepath)
{
    FilePath fn;
    fn.m_data = filepath;
    return fn;
}

FilePath FilePath::fromFileInfo(const QFileInfo &info)
{
    return fromString(info.absoluteFilePath());
}

FilePath FilePath::fromStringWithExtension(const QString &filepath, const QString &defaultExtension)
{
    if (filepath.isEmpty() || defaultExtension.isEmpty())
        return fromString(filepath);
    const QFileInfo info(filepath);
    if (!info.fileName().contains(QLatin1Char('.'))) {
        const QString extension = defaultExtension.startsWith(QLatin1Char('.'))
                                      ? defaultExtension
                                      : QLatin1Char('.') + defaultExtension;
        return fromString(filepath + extension);
    }
    return fromString(filepath);
}

FilePath FilePath::fromUserInput(const QString &filepath)
{
    QString clean = QDir::fromNativeSeparators(filepath.trimmed());
    if (clean.startsWith(QLatin1String("~/")))
        clean = QDir::homePath() + clean.mid(1);
    else if (clean == QLatin1String("~"))
        clean = QDir::homePath();
    return fromString(clean.isEmpty() ? clean : QDir::cleanPath(clean));
}

FilePath FilePath::fromUtf8(const char *filepath, int filepathSize)
{
    return fromString(QString::fromUtf8(filepath, filepathSize));
}

FilePath FilePath::fromVariant(const QVariant &variant)
{
    if (variant.type() == QVariant::Url)
        return fromUrl(variant.toUrl());
    return fromString(variant.toString());
}

FilePath FilePath::fromUrl(const QUrl &url)
{
    return fromString(url.isLocalFile() ? url.toLocalFile() : url.toString());
}

const QString &FilePath::toString() const
{
    return m_data;
}

QFileInfo FilePath::toFileInfo() const
{
    return QFileInfo(m_data);
}

QVariant FilePath::toVariant() const
{
    return m_data;
}

QUrl FilePath::toUrl() const
{
    return QUrl::fromLocalFile(m_data);
}

QString FilePath::toUserOutput() const
{
    return QDir::toNativeSeparators(m_data);
}

QString FilePath::shortNativePath() const
{
    const QString home = QDir::cleanPath(QDir::homePath());
    if (m_data.startsWith(home + QLatin1Char('/')))
        return QDir::toNativeSeparators(QLatin1Char('~') + m_data.mid(home.size()));
    return toUserOutput();
}

QString FilePath::fileName() const
{
    return m_data.mid(m_data.lastIndexOf(QLatin1Char('/')) + 1);
}

QString FilePath::fileNameWithPathComponents(int pathComponents) const
{
    if (pathComponents < 0)
        return m_data;
    int pos = m_data.size();
    for (int component = 0; component <= pathComponents; ++component) {
        pos = m_data.lastIndexOf(QLatin1Char('/'), pos - 1);
        if (pos <= 0)
            return m_data;
    }
    return m_data.mid(pos + 1);
}

bool FilePath::exists() const
{
    return !isEmpty() && QFileInfo::exists(m_data);
}

bool FilePath::isWritablePath() const
{
    const QFileInfo fi(m_data);
    return fi.exists() && fi.isDir() && fi.isWritable();
}

FilePath FilePath::parentDir() const
{
    if (m_data.isEmpty())
        return {};
    if (QDir(m_data).isRoot())
        return {};
    const QString path = m_data + QLatin1String("/..");
    const QString parent = QDir::cleanPath(path);
    QTC_ASSERT(parent != path, return {});
    return fromString(parent);
}

FilePath FilePath::absolutePath() const
{
    return fromString(QFileInfo(m_data).absolutePath());
}

bool FilePath::operator==(const FilePath &other) const
{
    return m_data == other.m_data;
}

bool FilePath::operator!=(const FilePath &other) const
{
    return !(*this == other);
}

bool FilePath::operator<(const FilePath &other) const
{
    return m_data < other.m_data;
}

bool FilePath::operator<=(const FilePath &other) const
{
    return !(other < *this);
}

bool FilePath::operator>(const FilePath &other) const
{
    return other < *this;
}

bool FilePath::operator>=(const FilePath &other) const
{
    return !(*this < other);
}

FilePath FilePath::operator+(const QString &s) const
{
    return fromString(m_data + s);
}

bool FilePath::isChildOf(const FilePath &s) const
{
    if (s.isEmpty() || !m_data.startsWith(s.m_data))
        return false;
    if (m_data.size() <= s.m_data.size())
        return false;
    // s is root, '/' was already tested in startsWith
    if (s.m_data.endsWith(QLatin1Char('/')))
        return true;
    // s is a directory, next character should be '/' (/tmpdir is NOT a child of /tmp)
    return m_data.at(s.m_data.size()) == QLatin1Char('/');
}

bool FilePath::isChildOf(const QDir &dir) const
{
    return isChildOf(fromString(dir.absolutePath()));
}

bool FilePath::startsWith(const QString &s) const
{
    return m_data.startsWith(s);
}

bool FilePath::endsWith(const QString &s) const
{
    return m_data.endsWith(s);
}

bool FilePath::isDir() const
{
    return QFileInfo(m_data).isDir();
}

bool FilePath::isNewerThan(const QDateTime &timeStamp) const
{
    const QFileInfo fi = toFileInfo();
    if (!fi.exists() || fi.lastModified() >= timeStamp)
        return true;
    if (fi.isDir()) {
        const QStringList entries = QDir(m_data).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
        for (const QString &entry : entries) {
            if (pathAppended(entry).isNewerThan(timeStamp))
                return true;
        }
    }
    return false;
}

FilePath FilePath::relativeChildPath(const FilePath &parent) const
{
    if (!isChildOf(parent))
        return {};
    QString child = m_data.mid(parent.m_data.size());
    if (child.startsWith(QLatin1Char('/')))
        child.remove(0, 1);
    return fromString(child);
}

FilePath FilePath::pathAppended(const QString &str) const
{
    if (str.isEmpty())
        return *this;
    if (m_data.isEmpty())
        return fromString(str);
    const bool slashAtEnd = m_data.endsWith(QLatin1Char('/'));
    const bool slashAtStart = str.startsWith(QLatin1Char('/'));
    if (slashAtEnd && slashAtStart)
        return fromString(m_data + str.mid(1));
    if (slashAtEnd || slashAtStart)
        return fromString(m_data + str);
    return fromString(m_data + QLatin1Char('/') + str);
}

FilePath FilePath::stringAppended(const QString &str) const
{
    return fromString(m_data + str);
}

FilePath FilePath::resolvePath(const QString &fileName) const
{
    if (FileUtils::isAbsolutePath(fileName))
        return fromString(QDir::cleanPath(fileName));
    return fromString(QDir::cleanPath(pathAppended(fileName).m_data));
}

FilePath FilePath::canonicalPath() const
{
    const QString result = QFileInfo(m_data).canonicalFilePath();
    return result.isEmpty() ? *this : fromString(result);
}

FilePath FilePath::operator/(const QString &str) const
{
    return pathAppended(str);
}

void FilePath::clear()
{
    m_data.clear();
}

bool FilePath::isEmpty() const
{
    return m_data.isEmpty();
}

uint FilePath::hash(uint seed) const
{
    return ::qHash(m_data, seed);
}

uint qHash(const FilePath &filePath, uint seed)
{
    return filePath.hash(seed);
}

// CommandLine

CommandLine::CommandLine() = default;

CommandLine::CommandLine(const QString &executable)
    : m_executable(FilePath::fromString(executable))
{}

CommandLine::CommandLine(const FilePath &executable)
    : m_executable(executable)
{}

CommandLine::CommandLine(const QString &exe, const QStringList &args)
    : CommandLine(FilePath::fromString(exe), args)
{}

CommandLine::CommandLine(const FilePath &exe, const QStringList &args)
    : m_executable(exe)
{
    addArgs(args);
}

CommandLine::CommandLine(const FilePath &exe, const QString &unparsedArgs, RawType)
    : m_executable(exe)
    , m_arguments(unparsedArgs)
{}

void CommandLine::addArg(const QString &arg, OsType osType)
{
    Q_UNUSED(osType)
    if (!m_arguments.isEmpty())
        m_arguments += QLatin1Char(' ');
    m_arguments += quoteArgUnix(arg);
}

void CommandLine::addArgs(const QStringList &inArgs, OsType osType)
{
    for (const QString &arg : inArgs)
        addArg(arg, osType);
}

void CommandLine::addArgs(const QString &inArgs, RawType)
{
    if (inArgs.isEmpty())
        return;
    if (!m_arguments.isEmpty())
        m_arguments += QLatin1Char(' ');
    m_arguments += inArgs;
}

QString CommandLine::toUserOutput() const
{
    const QString exe = quoteArgUnix(m_executable.toUserOutput());
    return m_arguments.isEmpty() ? exe : exe + QLatin1Char(' ') + m_arguments;
}

QStringList CommandLine::splitArguments(OsType osType) const
{
    Q_UNUSED(osType)
    return splitArgsUnix(m_arguments);
}

// FileUtils

bool FileUtils::removeRecursively(const FilePath &filePath, QString *error)
{
    const QFileInfo fileInfo = filePath.toFileInfo();
    if (!fileInfo.exists() && !fileInfo.isSymLink())
        return true;
    const bool removed = fileInfo.isDir() && !fileInfo.isSymLink()
                             ? QDir(filePath.toString()).removeRecursively()
                             : QFile::remove(filePath.toString());
    if (!removed && error)
        *error = tr("Failed to remove \"%1\".").arg(filePath.toUserOutput());
    return removed;
}

bool FileUtils::copyRecursively(const FilePath &srcFilePath,
                                const FilePath &tgtFilePath,
                                QString *error)
{
    return copyRecursively(srcFilePath,
                           tgtFilePath,
                           error,
                           [](const QFileInfo &src, const QFileInfo &dest, QString *error) {
                               if (QFile::copy(src.filePath(), dest.filePath()))
                                   return true;
                               if (error) {
                                   *error = tr("Could not copy file \"%1\" to \"%2\".")
                                                .arg(QDir::toNativeSeparators(src.filePath()),
                                                     QDir::toNativeSeparators(dest.filePath()));
                               }
                               return false;
                           });
}

FilePath FileUtils::resolveSymlinks(const FilePath &path)
{
    QFileInfo f = path.toFileInfo();
    int links = 16;
    while (links-- && f.isSymLink())
        f.setFile(f.dir(), f.symLinkTarget());
    if (links <= 0)
        return FilePath();
    return FilePath::fromString(f.filePath());
}

bool FileUtils::makeWritable(const FilePath &path)
{
    const QString fileName = path.toString();
    return QFile::setPermissions(fileName, QFile::permissions(fileName) | QFile::WriteUser);
}

bool FileUtils::isRelativePath(const QString &fileName)
{
    return !fileName.startsWith(QLatin1Char('/'));
}

FilePath FileUtils::commonPath(const FilePath &oldCommonPath, const FilePath &fileName)
{
    FilePath newCommonPath = oldCommonPath;
    while (!newCommonPath.isEmpty() && !fileName.isChildOf(newCommonPath))
        newCommonPath = newCommonPath.parentDir();
    return FilePath::fromString(QDir::cleanPath(newCommonPath.toString()));
}

QString FileUtils::msgCannotCreateDirectory(const FilePath &dir)
{
    return tr("Failed to create directory \"%1\".").arg(dir.toUserOutput());
}

} // namespace Utils

QDebug operator<<(QDebug dbg, const Utils::FilePath &c)
{
    return dbg << c.toString();
}
