#pragma once

#include "projectexplorer_export.h"

#include <utils/id.h>

#include <QObject>
#include <QVariantMap>

namespace ProjectExplorer {

class BuildStep;
class ProjectConfiguration;
class Target;

// An ordered list of build steps, owned by a build or deploy configuration. The list owns its
// steps: removeStep() and clear() delete them.
class PROJECTEXPLORER_EXPORT BuildStepList : public QObject
{
    Q_OBJECT

public:
    explicit BuildStepList(QObject *parent, Utils::Id id);
    ~BuildStepList() override;

    void clear();

    QList<BuildStep *> steps() const;

    template<class BS>
    BS *firstOfType()
    {
        for (BuildStep *step : qAsConst(m_steps)) {
            if (auto typedStep = qobject_cast<BS *>(step))
                return typedStep;
        }
        return nullptr;
    }

    BuildStep *firstStepWithId(Utils::Id id) const;

    int count() const;
    bool isEmpty() const;
    bool contains(Utils::Id id) const;

    // The step must have been made for this list. Positions outside [0, count()] are clamped.
    void insertStep(int position, BuildStep *step);
    // Creates the step through the first factory of that id that can handle this list.
    void insertStep(int position, Utils::Id id);
    void appendStep(BuildStep *step) { insertStep(count(), step); }
    void appendStep(Utils::Id stepId) { insertStep(count(), stepId); }

    // Refuses (returns false) for a position out of range and for a step that is being built.
    bool removeStep(int position);
    void moveStepUp(int position);
    BuildStep *at(int position);

    Target *target() { return m_target; }
    ProjectConfiguration *projectConfiguration() const;

    QVariantMap toMap() const;
    // Replaces the steps by those of the map, made through the step factories; a step whose
    // factory is missing is dropped with a warning.
    bool fromMap(const QVariantMap &map);

    Utils::Id id() const { return m_id; }
    QString displayName() const;

signals:
    void stepInserted(int position);
    void aboutToRemoveStep(int position);
    void stepRemoved(int position);
    void stepMoved(int from, int to);

private:
    Target *m_target = nullptr;
    const Utils::Id m_id;
    QList<BuildStep *> m_steps;
};

} // namespace ProjectExplorer
