#include "messagemanager.h"

#include "icore.h"
#include "outputpanemanager.h"
#include "outputwindow.h"
#include "terminaloutput.h"

#include <QCoreApplication>
#include <QPointer>
#include <QThread>

#include <cstdio>

namespace Core {

namespace {
MessageManager *m_instance = nullptr;
QPointer<OutputWindow> m_messageOutputWindow;
} // namespace

MessageManager *MessageManager::instance()
{
    return m_instance;
}

MessageManager::MessageManager()
{
    m_instance = this;
    m_messageOutputWindow = new OutputWindow;
    m_messageOutputWindow->setObjectName(QLatin1String("GeneralMessagesOutput"));
    OutputPaneManager::addPane(m_messageOutputWindow, tr("General Messages"));
}

MessageManager::~MessageManager()
{
    delete m_messageOutputWindow;
    m_instance = nullptr;
}

void MessageManager::setFont(const QFont &font)
{
    if (m_messageOutputWindow)
        m_messageOutputWindow->setFont(font);
}

void MessageManager::setWheelZoomEnabled(bool enabled)
{
    Q_UNUSED(enabled)
}

void MessageManager::writeSilently(const QString &message)
{
    writeMessages({message}, Flag::Silent);
}

void MessageManager::writeFlashing(const QString &message)
{
    writeMessages({message}, Flag::Flash);
}

void MessageManager::writeDisrupting(const QString &message)
{
    writeMessages({message}, Flag::Disrupt);
}

void MessageManager::writeSilently(const QStringList &messages)
{
    writeMessages(messages, Flag::Silent);
}

void MessageManager::writeFlashing(const QStringList &messages)
{
    writeMessages(messages, Flag::Flash);
}

void MessageManager::writeDisrupting(const QStringList &messages)
{
    writeMessages(messages, Flag::Disrupt);
}

QString MessageManager::text()
{
    if (!m_messageOutputWindow)
        return QString();
    m_messageOutputWindow->flush();
    return m_messageOutputWindow->toPlainText();
}

QPlainTextEdit *MessageManager::outputWidget()
{
    return m_messageOutputWindow;
}

void MessageManager::writeMessages(const QStringList &messages, Flag flag)
{
    const QString text = messages.join(QLatin1Char('\n'));
    if (!m_instance) {
        // No Core plug-in (a unit test of a single class): the messages still reach a person.
        fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
        return;
    }
    if (QThread::currentThread() != m_instance->thread()) {
        QMetaObject::invokeMethod(m_instance, [text, flag] { m_instance->doWrite(text, flag); });
        return;
    }
    m_instance->doWrite(text, flag);
}

void MessageManager::doWrite(const QString &text, Flag flag)
{
    if (m_messageOutputWindow) {
        m_messageOutputWindow->appendText(text + QLatin1Char('\n'));
        if (flag == Flag::Disrupt)
            OutputPaneManager::showPane(m_messageOutputWindow);
        else if (flag == Flag::Flash)
            OutputPaneManager::flashPane(m_messageOutputWindow);
    }
    if (ICore::echoesToTerminal())
        TerminalOutput::writeMessage(text + QLatin1Char('\n'));
    emit messageWritten(text);
}

} // namespace Core
