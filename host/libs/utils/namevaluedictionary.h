#pragma once

#include "hostosinfo.h"
#include "utils_global.h"

#include <QMap>
#include <QString>
#include <QStringList>

namespace Utils {

// Names and their values, like the variables of a process environment.
class QTCREATOR_UTILS_EXPORT NameValueDictionary
{
public:
    using const_iterator = QMap<QString, QString>::const_iterator;

    NameValueDictionary() = default;
    explicit NameValueDictionary(const QStringList &env, OsType osType = HostOsInfo::hostOs());

    QStringList toStringList() const;
    QString value(const QString &key) const;
    void set(const QString &key, const QString &value);
    void unset(const QString &key);
    void clear();
    int size() const;
    bool hasKey(const QString &key) const;
    OsType osType() const { return m_osType; }

    QString key(const_iterator it) const { return it.key(); }
    QString value(const_iterator it) const { return it.value(); }
    const_iterator constBegin() const { return m_values.constBegin(); }
    const_iterator constEnd() const { return m_values.constEnd(); }
    const_iterator constFind(const QString &name) const { return m_values.constFind(name); }

    friend bool operator==(const NameValueDictionary &first, const NameValueDictionary &second)
    {
        return first.m_osType == second.m_osType && first.m_values == second.m_values;
    }
    friend bool operator!=(const NameValueDictionary &first, const NameValueDictionary &second)
    {
        return !(first == second);
    }

protected:
    QMap<QString, QString> m_values;
    OsType m_osType = HostOsInfo::hostOs();
};

} // namespace Utils
