#pragma once

#include "hostosinfo.h"
#include "utils_global.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QStringList>
#include <QUrl>

QT_BEGIN_NAMESPACE
class QDateTime;
class QDebug;
QT_END_NAMESPACE

namespace Utils {

class QTCREATOR_UTILS_EXPORT FilePath
{
public:
    FilePath();

    static FilePath fromString(const QString &filepath);
    static FilePath fromFileInfo(const QFileInfo &info);
    static FilePath fromStringWithExtension(const QString &filepath,
                                            const QString &defaultExtension);
    static FilePath fromUserInput(const QString &filepath);
    static FilePath fromUtf8(const char *filepath, int filepathSize = -1);
    static FilePath fromVariant(const QVariant &variant);
    static FilePath fromUrl(const QUrl &url);

    const QString &toString() const;
    QFileInfo toFileInfo() const;
    QVariant toVariant() const;
    QUrl toUrl() const;

    QString toUserOutput() const;
    QString shortNativePath() const;

    QString fileName() const;
    QString fileNameWithPathComponents(int pathComponents) const;

    bool exists() const;
    bool isWritablePath() const;

    FilePath parentDir() const;
    FilePath absolutePath() const;

    bool operator==(const FilePath &other) const;
    bool operator!=(const FilePath &other) const;
    bool operator<(const FilePath &other) const;
    bool operator<=(const FilePath &other) const;
    bool operator>(const FilePath &other) const;
    bool operator>=(const FilePath &other) const;
    FilePath operator+(const QString &s) const;

    bool isChildOf(const FilePath &s) const;
    bool isChildOf(const QDir &dir) const;
    bool startsWith(const QString &s) const;
    bool endsWith(const QString &s) const;

    bool isDir() const;
    bool isNewerThan(const QDateTime &timeStamp) const;

    FilePath relativeChildPath(const FilePath &parent) const;
    FilePath pathAppended(const QString &str) const;
    FilePath stringAppended(const QString &str) const;
    FilePath resolvePath(const QString &fileName) const;
    FilePath canonicalPath() const;

    FilePath operator/(const QString &str) const;

    void clear();
    bool isEmpty() const;

    uint hash(uint seed) const;

private:
    QString m_data;
};

using FilePaths = QList<FilePath>;

QTCREATOR_UTILS_EXPORT uint qHash(const FilePath &filePath, uint seed = 0);

// A program and its arguments. The arguments are kept as one string quoted for a Unix
// shell; splitArguments() gives them back as separate words.
class QTCREATOR_UTILS_EXPORT CommandLine
{
public:
    enum RawType { Raw };

    CommandLine();
    explicit CommandLine(const QString &executable);
    explicit CommandLine(const FilePath &executable);
    CommandLine(const QString &exe, const QStringList &args);
    CommandLine(const FilePath &exe, const QStringList &args);
    CommandLine(const FilePath &exe, const QString &unparsedArgs, RawType);

    void addArg(const QString &arg, OsType osType = HostOsInfo::hostOs());
    void addArgs(const QStringList &inArgs, OsType osType = HostOsInfo::hostOs());
    void addArgs(const QString &inArgs, RawType);

    QString toUserOutput() const;

    FilePath executable() const { return m_executable; }
    QString arguments() const { return m_arguments; }
    QStringList splitArguments(OsType osType = HostOsInfo::hostOs()) const;

private:
    FilePath m_executable;
    QString m_arguments;
};

class QTCREATOR_UTILS_EXPORT FileUtils
{
    Q_DECLARE_TR_FUNCTIONS(Utils::FileUtils)

public:
    static bool removeRecursively(const FilePath &filePath, QString *error = nullptr);

    // Copies a file or a folder tree. A file that already exists at the target is not
    // overwritten: the copy fails and *error says which file.
    static bool copyRecursively(const FilePath &srcFilePath,
                                const FilePath &tgtFilePath,
                                QString *error = nullptr);
    template<typename T>
    static bool copyRecursively(const FilePath &srcFilePath,
                                const FilePath &tgtFilePath,
                                QString *error,
                                T &&copyHelper);

    static FilePath resolveSymlinks(const FilePath &path);
    static bool makeWritable(const FilePath &path);
    static bool isRelativePath(const QString &fileName);
    static bool isAbsolutePath(const QString &fileName) { return !isRelativePath(fileName); }
    static FilePath commonPath(const FilePath &oldCommonPath, const FilePath &fileName);

private:
    static QString msgCannotCreateDirectory(const FilePath &dir);
};

template<typename T>
bool FileUtils::copyRecursively(const FilePath &srcFilePath,
                                const FilePath &tgtFilePath,
                                QString *error,
                                T &&copyHelper)
{
    const QFileInfo srcFileInfo = srcFilePath.toFileInfo();
    if (!srcFileInfo.isDir())
        return copyHelper(srcFileInfo, tgtFilePath.toFileInfo(), error);

    if (!tgtFilePath.exists() && !QDir().mkpath(tgtFilePath.toString())) {
        if (error)
            *error = msgCannotCreateDirectory(tgtFilePath);
        return false;
    }
    const QDir sourceDir(srcFilePath.toString());
    const QStringList fileNames = sourceDir.entryList(
        QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    for (const QString &fileName : fileNames) {
        if (!copyRecursively(srcFilePath.pathAppended(fileName),
                             tgtFilePath.pathAppended(fileName),
                             error,
                             copyHelper))
            return false;
    }
    return true;
}

} // namespace Utils

QTCREATOR_UTILS_EXPORT QDebug operator<<(QDebug dbg, const Utils::FilePath &c);

Q_DECLARE_METATYPE(Utils::FilePath)
