#include "compileoutputwindow.h"

#include "buildmanager.h"

#include <coreplugin/icore.h>
#include <coreplugin/outputpanemanager.h>
#include <coreplugin/outputwindow.h>
#include <coreplugin/terminaloutput.h>

namespace ProjectExplorer {
namespace Internal {

static QTextCharFormat makeCharFormat(BuildStep::OutputFormat format)
{
    QTextCharFormat result;
    switch (format) {
    case BuildStep::OutputFormat::Stdout:
        break;
    case BuildStep::OutputFormat::Stderr:
        result.setForeground(QColor(170, 0, 0));
        break;
    case BuildStep::OutputFormat::NormalMessage:
        result.setForeground(QColor(0, 0, 170));
        break;
    case BuildStep::OutputFormat::ErrorMessage:
        result.setForeground(QColor(220, 0, 0));
        result.setFontWeight(QFont::Bold);
        break;
    }
    return result;
}

static const QTextCharFormat &charFormat(BuildStep::OutputFormat format)
{
    using Format = BuildStep::OutputFormat;
    static const QTextCharFormat formats[] = {makeCharFormat(Format::Stdout),
                                              makeCharFormat(Format::Stderr),
                                              makeCharFormat(Format::NormalMessage),
                                              makeCharFormat(Format::ErrorMessage)};
    return formats[int(format)];
}

CompileOutputWindow::CompileOutputWindow(QObject *parent)
    : QObject(parent)
    , m_outputWidget(new Core::OutputWindow)
{
    m_outputWidget->setObjectName("compileOutputPlainTextEdit");
    m_outputWidget->setLineWrapMode(QPlainTextEdit::NoWrap);
    Core::OutputPaneManager::addPane(m_outputWidget, tr("Compile Output"));

    connect(BuildManager::instance(),
            &BuildManager::compileOutput,
            this,
            &CompileOutputWindow::appendText);
    connect(BuildManager::instance(), &BuildManager::buildQueueFinished, this, [this](bool success) {
        if (!m_outputWidget)
            return;
        m_outputWidget->flush();
        if (!success)
            Core::OutputPaneManager::flashPane(m_outputWidget);
    });
}

Core::OutputWindow *CompileOutputWindow::outputWidget() const
{
    return m_outputWidget;
}

void CompileOutputWindow::appendText(const QString &text, BuildStep::OutputFormat format)
{
    if (Core::ICore::echoesToTerminal())
        Core::TerminalOutput::writeOutput(text);
    if (m_outputWidget)
        m_outputWidget->appendText(text, charFormat(format));
}

void CompileOutputWindow::popUp()
{
    if (m_outputWidget)
        Core::OutputPaneManager::showPane(m_outputWidget);
}

} // namespace Internal
} // namespace ProjectExplorer
