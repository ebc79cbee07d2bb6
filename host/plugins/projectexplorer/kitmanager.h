#pragma once

#include "projectexplorer_export.h"

#include <utils/id.h>

#include <QList>
#include <QObject>

#include <functional>
#include <memory>
#include <vector>

namespace ProjectExplorer {

class Kit;

// Host: the ProjectExplorer plug-in makes the one instance at its construction (tests that run
// without the plug-ins may make their own).
class PROJECTEXPLORER_EXPORT KitManager final : public QObject
{
    Q_OBJECT

public:
    KitManager();
    ~KitManager() override;

    static KitManager *instance();

    static QList<Kit *> kits();
    static Kit *kit(Utils::Id id);
    static Kit *defaultKit();

    // Makes a kit, lets init() fill it in and keeps it until deregisterKit() or the end of the
    // manager. Returns nullptr when a kit of that id exists already.
    static Kit *registerKit(const std::function<void(Kit *)> &init, Utils::Id id = {});
    static void deregisterKit(Kit *k);
    static void setDefaultKit(Kit *k);

signals:
    void kitAdded(ProjectExplorer::Kit *);
    void kitRemoved(ProjectExplorer::Kit *);
    void defaultkitChanged();
    void kitsChanged();

private:
    std::vector<std::unique_ptr<Kit>> m_kits;
    Kit *m_defaultKit = nullptr;
};

} // namespace ProjectExplorer
