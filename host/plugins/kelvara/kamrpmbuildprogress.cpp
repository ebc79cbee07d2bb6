#include "kamrpmbuildprogress.h"

#include <QFileInfo>

#include <algorithm>

namespace Kam {
namespace Internal {

bool KamRpmbuildProgress::readLine(const QString &line)
{
    static const struct
    {
        const char *section;
        int percent;
    } sections[] = {{"%prep", 5}, {"%build", 10}, {"%install", 40}, {"%check", 55}, {"%clean", 97}};

    const QString text = line.trimmed();
    if (text.startsWith("Executing(")) {
        const QString section = text.mid(10, text.indexOf(')') - 10);
        for (const auto &known : sections) {
            if (section == QLatin1String(known.section))
                return moveTo(known.percent, tr("Running %1").arg(section));
        }
    } else if (text.startsWith("Processing files: ")) {
        ++m_packagesProcessed;
        return moveTo(60, tr("Packaging %1").arg(text.mid(18)));
    } else if (text.startsWith("Wrote: ")) {
        // rpmbuild has processed the files of every package before it writes the first.
        ++m_packagesWritten;
        const int processed = std::max(m_packagesProcessed, m_packagesWritten);
        return moveTo(75 + 20 * m_packagesWritten / processed,
                      tr("Wrote %1").arg(QFileInfo(text.mid(7)).fileName()));
    }
    return false;
}

bool KamRpmbuildProgress::moveTo(int percent, const QString &message)
{
    if (percent < m_percent)
        return false;
    m_percent = percent;
    m_message = message;
    return true;
}

} // namespace Internal
} // namespace Kam
