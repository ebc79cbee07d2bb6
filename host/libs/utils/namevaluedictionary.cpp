#include "namevaluedictionary.h"

namespace Utils {

NameValueDictionary::NameValueDictionary(const QStringList &env, OsType osType)
    : m_osType(osType)
{
    for (const QString &entry : env) {
        const int pos = entry.indexOf(QLatin1Char('='), 1);
        if (pos > 0)
            m_values.insert(entry.left(pos), entry.mid(pos + 1));
    }
}

QStringList NameValueDictionary::toStringList() const
{
    QStringList result;
    for (auto it = m_values.constBegin(); it != m_values.constEnd(); ++it)
        result.append(it.key() + QLatin1Char('=') + it.value());
    return result;
}

QString NameValueDictionary::value(const QString &key) const
{
    return m_values.value(key);
}

void NameValueDictionary::set(const QString &key, const QString &value)
{
    if (!key.isEmpty())
        m_values.insert(key, value);
}

void NameValueDictionary::unset(const QString &key)
{
    m_values.remove(key);
}

void NameValueDictionary::clear()
{
    m_values.clear();
}

int NameValueDictionary::size() const
{
    return m_values.size();
}

bool NameValueDictionary::hasKey(const QString &key) const
{
    return m_values.contains(key);
}

} // namespace Utils
