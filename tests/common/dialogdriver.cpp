#include "dialogdriver.h"

#include <testide.h>
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
    const QLabel *label = this->widget<QLabel>(labelName);
    const QString shown = shownText(label);
    const QString whole = shownToolTip(label);
    const QChar ellipsis(0x2026);
    const QStringList shownLines = shown.split('\n');
    QStringList wholeLines = whole.split('\n');
    if (wholeLines.last().isEmpty())
        wholeLines.removeLast();
    const bool lastLinesCut = shownLines.size() < wholeLines.size()
                              && shownLines.last() == ellipsis;
    if (shownLines.size() != wholeLines.size() && !lastLinesCut)
        return shown;
    for (int i = 0; i < shownLines.size() - (lastLinesCut ? 1 : 0); ++i) {
        const QString &line = shownLines.at(i);
        const QString &wholeLine = wholeLines.at(i);
        const int cutAt = line.indexOf(ellipsis);
        const bool cut = cutAt >= 0 && wholeLine.startsWith(line.left(cutAt))
                         && wholeLine.endsWith(line.mid(cutAt + 1))
                         && line.size() <= wholeLine.size();
        if (line != wholeLine && !cut)
            return shown;
    }
    return whole;
}

bool DialogDriver::render(const QString &name) const
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    QCoreApplication::processEvents();
    const QString folder = TestIde::buildDir() + "/tests/screenshots";
    return QDir().mkpath(folder) && m_dialog->grab().save(folder + "/signdialog-" + name + ".png");
}
