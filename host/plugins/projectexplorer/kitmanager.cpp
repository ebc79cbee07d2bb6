#include "kitmanager.h"

#include "kit.h"

#include <utils/qtcassert.h>

#include <algorithm>

namespace ProjectExplorer {

static KitManager *m_instance = nullptr;

KitManager::KitManager()
{
    QTC_CHECK(!m_instance);
    m_instance = this;
}

KitManager::~KitManager()
{
    if (m_instance == this)
        m_instance = nullptr;
}

KitManager *KitManager::instance()
{
    return m_instance;
}

QList<Kit *> KitManager::kits()
{
    QTC_ASSERT(m_instance, return {});
    QList<Kit *> result;
    for (const std::unique_ptr<Kit> &kit : m_instance->m_kits)
        result.append(kit.get());
    return result;
}

Kit *KitManager::kit(Utils::Id id)
{
    QTC_ASSERT(m_instance, return nullptr);
    for (const std::unique_ptr<Kit> &kit : m_instance->m_kits) {
        if (kit->id() == id)
            return kit.get();
    }
    return nullptr;
}

Kit *KitManager::defaultKit()
{
    QTC_ASSERT(m_instance, return nullptr);
    return m_instance->m_defaultKit;
}

Kit *KitManager::registerKit(const std::function<void(Kit *)> &init, Utils::Id id)
{
    QTC_ASSERT(m_instance, return nullptr);
    QTC_ASSERT(!id.isValid() || !kit(id), return nullptr);
    auto newKit = std::make_unique<Kit>(id);
    if (init)
        init(newKit.get());
    Kit *added = newKit.get();
    m_instance->m_kits.push_back(std::move(newKit));
    if (!m_instance->m_defaultKit)
        setDefaultKit(added);
    emit m_instance->kitAdded(added);
    emit m_instance->kitsChanged();
    return added;
}

void KitManager::deregisterKit(Kit *k)
{
    QTC_ASSERT(m_instance, return );
    auto &kits = m_instance->m_kits;
    const auto found = std::find_if(kits.begin(), kits.end(), [k](const std::unique_ptr<Kit> &kit) {
        return kit.get() == k;
    });
    QTC_ASSERT(found != kits.end(), return );
    std::unique_ptr<Kit> removed = std::move(*found);
    kits.erase(found);
    if (m_instance->m_defaultKit == k)
        setDefaultKit(kits.empty() ? nullptr : kits.front().get());
    emit m_instance->kitRemoved(k);
    emit m_instance->kitsChanged();
}

void KitManager::setDefaultKit(Kit *k)
{
    QTC_ASSERT(m_instance, return );
    if (m_instance->m_defaultKit == k)
        return;
    m_instance->m_defaultKit = k;
    emit m_instance->defaultkitChanged();
}

} // namespace ProjectExplorer
