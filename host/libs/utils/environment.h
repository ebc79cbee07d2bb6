#pragma once

#include "fileutils.h"
#include "namevaluedictionary.h"
#include "utils_global.h"

#include <QProcessEnvironment>

#include <functional>

namespace Utils {

class QTCREATOR_UTILS_EXPORT Environment final : public NameValueDictionary
{
public:
    using NameValueDictionary::NameValueDictionary;
    using PathFilter = std::function<bool(const FilePath &)>;

    static Environment systemEnvironment();

    QProcessEnvironment toProcessEnvironment() const;

    void appendOrSet(const QString &key, const QString &value, const QString &sep = QString());
    void prependOrSet(const QString &key, const QString &value, const QString &sep = QString());

    void appendOrSetPath(const QString &value);
    void prependOrSetPath(const QString &value);

    FilePath searchInPath(const QString &executable,
                          const FilePaths &additionalDirs = FilePaths(),
                          const PathFilter &func = PathFilter()) const;

    FilePaths path() const;

    QString expandVariables(const QString &input) const;

    static void setupEnglishOutput(Environment *environment);

private:
    QString pathListSeparator() const;
};

} // namespace Utils
