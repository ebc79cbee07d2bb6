#include "dialogdriver.h"

#include <testide.h>
#include <utils/pathchooser.h>

#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>
#include <QTextBrowser>
#include <QTextDocument>

DialogDriver::DialogDriver(QDialog *dialog)
    : m_dialog(dialog)
{}

void DialogDriver::press(const char *buttonName) const
{
    auto pushButton = widget<QPushButton>(buttonName);
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
    widget<Utils::PathChooser>(chooserName)->setPath(path);
}

void DialogDriver::type(const char *chooserName, const QString &text) const
{
    QLineEdit *field = widget<Utils::PathChooser>(chooserName)->lineEdit();
    showTabOf(field);
    field->clear();
    QTest::keyClicks(field, text);
}

void DialogDriver::fillGeneration(const QString &company,
                                  const QString &key,
                                  const QString &request) const
{
    widget<QLineEdit>("generateCompanyNameLineEdit")->setText(company);
    choose("generatedKeyPathChooser", key);
    choose("generatedReqPathChooser", request);
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

static QString rendered(const QString &text, bool richText)
{
    if (!richText)
        return text;
    QTextDocument document;
    document.setHtml(text);
    return document.toPlainText().replace(QChar::LineSeparator, '\n');
}

// What a reader sees of the label's text.
static QString shownText(const QLabel *label)
{
    const bool richText = label->textFormat() == Qt::RichText
                          || (label->textFormat() == Qt::AutoText
                              && Qt::mightBeRichText(label->text()));
    return rendered(label->text(), richText);
}

QString DialogDriver::shownToolTip(const QWidget *widget)
{
    return rendered(widget->toolTip(), Qt::mightBeRichText(widget->toolTip()));
}

QString DialogDriver::summary(const char *labelName) const
{
    // As the user sees it once the layout has given the label its new size.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    const QLabel *label = widget<QLabel>(labelName);
    const QString shown = shownText(label);
    const QString whole = shownToolTip(label);
    // A line cut in the middle keeps its beginning.
    const QString shownStart = shown.section('\n', 0, 0).section(QChar(0x2026), 0, 0);
    return whole.startsWith(shownStart) && shown.size() <= whole.size() + 1 ? whole : shown;
}

bool DialogDriver::render(const QString &name) const
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    QCoreApplication::processEvents();
    const QString folder = TestIde::buildDir() + "/tests/screenshots";
    return QDir().mkpath(folder) && m_dialog->grab().save(folder + "/signdialog-" + name + ".png");
}
