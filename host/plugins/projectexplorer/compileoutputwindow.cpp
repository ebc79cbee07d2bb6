#include "compileoutputwindow.h"

#include "buildmanager.h"

#include <coreplugin/icore.h>
#include <coreplugin/outputpanemanager.h>

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextCursor>
#include <QTextFormat>

#include <cstdio>

namespace ProjectExplorer {
namespace Internal {

static QTextCharFormat charFormat(BuildStep::OutputFormat format)
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

CompileOutputWindow::CompileOutputWindow(QObject *parent)
    : QObject(parent)
    , m_outputWidget(new QPlainTextEdit)
{
    m_outputWidget->setObjectName("compileOutputPlainTextEdit");
    m_outputWidget->setReadOnly(true);
    m_outputWidget->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_outputWidget->setMaximumBlockCount(100000);
    Core::OutputPaneManager::addPane(m_outputWidget, tr("Compile Output"));

    connect(BuildManager::instance(),
            &BuildManager::compileOutput,
            this,
            &CompileOutputWindow::appendText);
    connect(BuildManager::instance(), &BuildManager::buildQueueFinished, this, [this](bool success) {
        if (!success && m_outputWidget)
            Core::OutputPaneManager::flashPane(m_outputWidget);
    });
}

QPlainTextEdit *CompileOutputWindow::outputWidget() const
{
    return m_outputWidget;
}

void CompileOutputWindow::appendText(const QString &text, BuildStep::OutputFormat format)
{
    if (Core::ICore::echoesToTerminal()) {
        std::fputs(text.toLocal8Bit().constData(), stdout);
        std::fflush(stdout);
    }
    if (!m_outputWidget)
        return;

    QScrollBar *scrollBar = m_outputWidget->verticalScrollBar();
    const bool atBottom = scrollBar->value() == scrollBar->maximum();
    QTextCursor cursor(m_outputWidget->document());
    cursor.movePosition(QTextCursor::End);
    // The document holds one block per line; a trailing line end starts the next one.
    const QString body = text.endsWith('\n') ? text.chopped(1) : text;
    cursor.insertText(body, charFormat(format));
    if (text.endsWith('\n'))
        cursor.insertBlock();
    if (atBottom)
        scrollBar->setValue(scrollBar->maximum());
}

void CompileOutputWindow::popUp()
{
    if (m_outputWidget)
        Core::OutputPaneManager::showPane(m_outputWidget);
}

} // namespace Internal
} // namespace ProjectExplorer
