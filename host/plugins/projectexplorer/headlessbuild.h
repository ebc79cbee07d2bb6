#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>

namespace ProjectExplorer {

class Project;

namespace Internal {

// Builds a project without user interaction: opens it, waits for its active target's parse and
// then for the plug-ins to settle (they react to the parse, e.g. by inserting steps), builds the
// active build configuration, closes the project (saving its settings) and reports the outcome.
class HeadlessBuild : public QObject
{
    Q_OBJECT

public:
    static const int defaultSettleTime = 2000;

    explicit HeadlessBuild(const QString &projectPath,
                           int settleTimeMs = defaultSettleTime,
                           QObject *parent = nullptr);

    void start();

signals:
    void finished(bool success);

private:
    void parsed(bool success);
    void build();
    void end(bool success, const QString &message);

    const QString m_projectPath;
    QPointer<Project> m_project;
    QTimer m_settleTimer;
    QTimer m_parseTimeout;
    QMetaObject::Connection m_parseConnection;
    QMetaObject::Connection m_buildConnection;
    bool m_ended = false;
};

} // namespace Internal
} // namespace ProjectExplorer
