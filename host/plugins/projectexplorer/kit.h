#pragma once

#include "projectexplorer_export.h"

#include <utils/id.h>

#include <QHash>
#include <QString>
#include <QVariant>

namespace ProjectExplorer {

// A set of values (device type, ...) that targets are built with. Kits are made and owned by
// KitManager::registerKit().
class PROJECTEXPLORER_EXPORT Kit
{
public:
    explicit Kit(Utils::Id id = Utils::Id());
    Kit(const Kit &) = delete;
    Kit &operator=(const Kit &) = delete;

    Utils::Id id() const { return m_id; }

    QString displayName() const;
    QString unexpandedDisplayName() const { return m_displayName; }
    void setUnexpandedDisplayName(const QString &name);

    bool hasValue(Utils::Id key) const;
    QVariant value(Utils::Id key, const QVariant &unset = QVariant()) const;
    void setValue(Utils::Id key, const QVariant &value);
    void removeKey(Utils::Id key);

private:
    const Utils::Id m_id;
    QString m_displayName;
    QHash<Utils::Id, QVariant> m_data;
};

} // namespace ProjectExplorer
