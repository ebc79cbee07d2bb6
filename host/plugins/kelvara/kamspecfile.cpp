#include "kamspecfile.h"

#include <QFile>
#include <QRegularExpression>
#include <QTextStream>

namespace Kam {
namespace Internal {

bool KamSpecFile::read(const QString &fileName, QString *errorString)
{
    *this = KamSpecFile();
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        *errorString = QString("Cannot read %1: %2").arg(fileName, file.errorString());
        return false;
    }
    QTextStream stream(&file);
    while (!stream.atEnd())
        readLine(stream.readLine().trimmed());
    if (m_name.isEmpty()) {
        *errorString = QString("%1 has no Name tag").arg(fileName);
        return false;
    }
    m_packageNames = QStringList(m_name);
    for (const QString &subPackage : qAsConst(m_subPackages))
        m_packageNames.append(subPackage);
    return true;
}

void KamSpecFile::readLine(const QString &line)
{
    static const QRegularExpression tag("^(Name|Version|Release|BuildArch)\\s*:\\s*(\\S.*)$",
                                        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression package("^%package\\s+(-n\\s+)?(\\S+)");
    static const QRegularExpression section(
        "^%(description|prep|build|install|check|clean|files|changelog|pre|post|preun|postun)\\b");

    const QRegularExpressionMatch packageMatch = package.match(line);
    if (packageMatch.hasMatch()) {
        const QString subName = packageMatch.captured(2);
        m_subPackages.append(packageMatch.capturedLength(1) > 0 ? subName : m_name + '-' + subName);
        return;
    }
    // Tags count only in the main package's preamble.
    if (section.match(line).hasMatch())
        m_preambleEnded = true;
    if (m_preambleEnded || !m_subPackages.isEmpty())
        return;
    const QRegularExpressionMatch tagMatch = tag.match(line);
    if (!tagMatch.hasMatch())
        return;
    const QString key = tagMatch.captured(1).toLower();
    const QString value = tagMatch.captured(2).trimmed();
    if (key == "name")
        m_name = value;
    else if (key == "version")
        m_version = value;
    else if (key == "release")
        m_release = value;
    else
        m_buildArch = value;
}

} // namespace Internal
} // namespace Kam
