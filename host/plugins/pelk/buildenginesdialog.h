#pragma once

#include "pelk_global.h"

#include <QDialog>
#include <QList>
#include <QPointer>

QT_BEGIN_NAMESPACE
class QLabel;
QT_END_NAMESPACE

namespace Utils {
class PathChooser;
}

namespace Pelk {

class BuildEngine;

namespace Internal {

// Shows each build engine of the SDK and lets the user change its shared source folder.
class PELK_EXPORT BuildEnginesDialog : public QDialog
{
    Q_OBJECT

public:
    explicit BuildEnginesDialog(QWidget *parent = nullptr);

    // Stores every changed folder in the SDK configuration; returns false and shows why when
    // one could not be stored.
    bool apply();

private:
    void accept() override;

    struct EngineRow
    {
        QPointer<BuildEngine> engine;
        Utils::PathChooser *chooser;
    };
    QList<EngineRow> m_rows;
    QLabel *m_errorLabel = nullptr;
};

} // namespace Internal
} // namespace Pelk
