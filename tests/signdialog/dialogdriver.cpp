#include "dialogdriver.h"

#include <utils/pathchooser.h>

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>
#include <QTextBrowser>

#include "../common/testide.h"

DialogDriver::DialogDriver(QDialog *dialog)
    : m_dialog(dialog)
{}

Utils::PathChooser *DialogDriver::chooser(const char *name) const
{
    return widget<Utils::PathChooser>(name);
}

QPushButton *DialogDriver::button(const char *name) const
{
    return widget<QPushButton>(name);
}

QLabel *DialogDriver::label(const char *name) const
{
    return widget<QLabel>(name);
}

QTextBrowser *DialogDriver::browser(const char *name) const
{
    return widget<QTextBrowser>(name);
}

void DialogDriver::press(const char *buttonName) const
{
    QPushButton *pushButton = button(buttonName);
    showTabOf(pushButton);
    QTest::mouseClick(pushButton, Qt::LeftButton, {}, pushButton->rect().center());
}

void DialogDriver::showTabOf(QWidget *widget) const
{
    auto tabs = this->widget<QTabWidget>("tabWidget");
    for (int index = 0; index < tabs->count(); ++index) {
        if (tabs->widget(index)->isAncestorOf(widget))
            tabs->setCurrentIndex(index);
    }
}

void DialogDriver::choose(const char *chooserName, const QString &path) const
{
    chooser(chooserName)->setPath(path);
}

void DialogDriver::fillGeneration(const QString &company,
                                  const QString &key,
                                  const QString &request) const
{
    widget<QLineEdit>("generateCompanyNameLineEdit")->setText(company);
    choose("generatedKeyPathChooser", key);
    choose("generatedReqPathChooser", request);
}

void DialogDriver::chooseGenerationOptions(int algorithm, bool encrypt) const
{
    widget<QComboBox>("generationKeyAlgoComboBox")->setCurrentIndex(algorithm);
    widget<QCheckBox>("generationKeyEncryptCheckBox")->setChecked(encrypt);
}

QString DialogDriver::statusMessage() const
{
    return m_dialog->findChild<QStatusBar *>()->currentMessage();
}

bool DialogDriver::showsPixmap(const QLabel *label, const QPixmap &expected)
{
    const QPixmap *shown = label->pixmap();
    return shown && !shown->isNull() && shown->toImage() == expected.toImage();
}

bool DialogDriver::showsNoPixmap(const QLabel *label)
{
    const QPixmap *shown = label->pixmap();
    return !shown || shown->isNull();
}

bool DialogDriver::render(const QString &name) const
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    QCoreApplication::processEvents();
    const QString folder = TestIde::buildDir() + "/tests/screenshots";
    return QDir().mkpath(folder) && m_dialog->grab().save(folder + "/signdialog-" + name + ".png");
}
