#include "kit.h"

#include <QCoreApplication>
#include <QUuid>

namespace ProjectExplorer {

Kit::Kit(Utils::Id id)
    : m_id(id.isValid() ? id : Utils::Id::fromString(QUuid::createUuid().toString()))
{}

QString Kit::displayName() const
{
    return m_displayName.isEmpty() ? QCoreApplication::translate("ProjectExplorer::Kit", "Unnamed")
                                   : m_displayName;
}

void Kit::setUnexpandedDisplayName(const QString &name)
{
    m_displayName = name;
}

bool Kit::hasValue(Utils::Id key) const
{
    return m_data.contains(key);
}

QVariant Kit::value(Utils::Id key, const QVariant &unset) const
{
    return m_data.value(key, unset);
}

void Kit::setValue(Utils::Id key, const QVariant &value)
{
    m_data.insert(key, value);
}

void Kit::removeKey(Utils::Id key)
{
    m_data.remove(key);
}

} // namespace ProjectExplorer
