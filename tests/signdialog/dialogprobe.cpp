// Loaded into kelvara-ide with LD_PRELOAD by the end-to-end suite: reports the first "Sign
// Packages" dialog shown on standard output, then quits the IDE the ordinary way, so that the
// plug-ins shut down as they do when the user quits.
#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

#include <cstdio>

namespace {

class DialogProbe : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show && watched->isWidgetType()
            && watched->objectName() == QLatin1String("SignDialog") && !m_seen) {
            m_seen = true;
            const auto dialog = static_cast<QWidget *>(watched);
            std::printf("shown: %s (%dx%d)\n",
                        qPrintable(dialog->windowTitle()),
                        dialog->width(),
                        dialog->height());
            std::fflush(stdout);
            QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        }
        return false;
    }

private:
    bool m_seen = false;
};

void installProbe()
{
    qApp->installEventFilter(new DialogProbe(qApp));
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(installProbe)
