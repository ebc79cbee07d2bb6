#pragma once

#include "buildstep.h"

#include <QObject>
#include <QPointer>

namespace Core {
class OutputWindow;
}

namespace ProjectExplorer {
namespace Internal {

// The "Compile Output" pane: the build manager's output, each piece in the colour of its format.
// While the IDE echoes to the terminal, the output also goes to stdout as it comes.
class CompileOutputWindow : public QObject
{
    Q_OBJECT

public:
    explicit CompileOutputWindow(QObject *parent = nullptr);

    Core::OutputWindow *outputWidget() const;
    void appendText(const QString &text, BuildStep::OutputFormat format);
    void popUp();

private:
    QPointer<Core::OutputWindow> m_outputWidget;
};

} // namespace Internal
} // namespace ProjectExplorer
