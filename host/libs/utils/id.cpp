#include "id.h"

#include <QByteArray>
#include <QDataStream>
#include <QDebug>
#include <QHash>
#include <QMutex>
#include <QVector>

namespace Utils {

namespace {

// Names are interned for the life of the process; id n is the n-th name seen (1-based).
class IdRegistry
{
public:
    quintptr idForName(const QByteArray &name)
    {
        if (name.isEmpty())
            return 0;
        QMutexLocker locker(&m_mutex);
        const auto it = m_ids.constFind(name);
        if (it != m_ids.constEnd())
            return it.value();
        m_names.append(name);
        const quintptr id = quintptr(m_names.size());
        m_ids.insert(name, id);
        return id;
    }

    QByteArray nameForId(quintptr id)
    {
        if (id == 0)
            return {};
        QMutexLocker locker(&m_mutex);
        return id <= quintptr(m_names.size()) ? m_names.at(int(id - 1)) : QByteArray();
    }

private:
    QMutex m_mutex;
    QHash<QByteArray, quintptr> m_ids;
    QVector<QByteArray> m_names;
};

IdRegistry &registry()
{
    static IdRegistry theRegistry;
    return theRegistry;
}

} // namespace

Id::Id(const char *name)
    : m_id(registry().idForName(QByteArray(name)))
{}

Id Id::fromName(const QByteArray &ba)
{
    return Id(registry().idForName(ba));
}

Id Id::fromString(const QString &str)
{
    return fromName(str.toUtf8());
}

Id Id::fromSetting(const QVariant &variant)
{
    return fromString(variant.toString());
}

Id Id::versionedId(const QByteArray &prefix, int major, int minor)
{
    QByteArray result = prefix + '.' + QByteArray::number(major);
    if (minor >= 0)
        result += '.' + QByteArray::number(minor);
    return fromName(result);
}

QSet<Id> Id::fromStringList(const QStringList &list)
{
    QSet<Id> ids;
    for (const QString &str : list)
        ids.insert(fromString(str));
    return ids;
}

QStringList Id::toStringList(const QSet<Id> &ids)
{
    QList<Id> sorted = ids.values();
    std::sort(sorted.begin(), sorted.end(), [](Id a, Id b) { return a.alphabeticallyBefore(b); });
    QStringList result;
    for (Id id : qAsConst(sorted))
        result.append(id.toString());
    return result;
}

Id Id::withSuffix(int suffix) const
{
    return fromName(name() + QByteArray::number(suffix));
}

Id Id::withSuffix(const char *suffix) const
{
    return fromName(name() + suffix);
}

Id Id::withSuffix(const QString &suffix) const
{
    return fromName(name() + suffix.toUtf8());
}

Id Id::withPrefix(const char *prefix) const
{
    return fromName(prefix + name());
}

QByteArray Id::name() const
{
    return registry().nameForId(m_id);
}

QString Id::toString() const
{
    return QString::fromUtf8(name());
}

QVariant Id::toSetting() const
{
    return QVariant(toString());
}

QString Id::suffixAfter(Id baseId) const
{
    const QByteArray base = baseId.name();
    const QByteArray self = name();
    return self.startsWith(base) ? QString::fromUtf8(self.mid(base.size())) : QString();
}

bool Id::operator==(const char *name) const
{
    return this->name() == QByteArray(name);
}

bool Id::alphabeticallyBefore(Id other) const
{
    return toString().compare(other.toString(), Qt::CaseInsensitive) < 0;
}

} // namespace Utils

QDataStream &operator<<(QDataStream &ds, Utils::Id id)
{
    return ds << id.name();
}

QDataStream &operator>>(QDataStream &ds, Utils::Id &id)
{
    QByteArray ba;
    ds >> ba;
    id = Utils::Id::fromName(ba);
    return ds;
}

QDebug operator<<(QDebug dbg, const Utils::Id &id)
{
    return dbg << id.name();
}
