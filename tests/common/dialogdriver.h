#pragma once

#include <QDialog>
#include <QPixmap>
#include <QString>

QT_BEGIN_NAMESPACE
class QLabel;
QT_END_NAMESPACE

// Drives the widgets of a "Sign Packages" dialog the way a user does.
class DialogDriver
{
public:
    explicit DialogDriver(QDialog *dialog);

    template<typename Widget>
    Widget *widget(const char *name) const
    {
        return m_dialog->findChild<Widget *>(QLatin1String(name));
    }

    // Puts the tab holding the widget in front and presses and releases the button on it.
    void press(const char *buttonName) const;
    void showTabOf(QWidget *widget) const;
    void choose(const char *chooserName, const QString &path) const;
    // Empties the chooser's field, then types the text into it key by key.
    void type(const char *chooserName, const QString &text) const;
    void fillGeneration(const QString &company, const QString &key, const QString &request) const;
    QString statusMessage() const;
    // The whole text of a signature summary label, which shows each line cut in the middle to its
    // width and holds the whole text as its tool tip; what the label shows when it does not.
    QString summary(const char *labelName) const;

    // Saves a picture of the dialog as build/tests/screenshots/signdialog-NAME.png.
    bool render(const QString &name) const;

    static bool showsPixmap(const QLabel *label, const QPixmap &expected);
    // What a reader sees of the widget's tool tip: markup that Qt would render is rendered.
    static QString shownToolTip(const QWidget *widget);

private:
    QDialog *m_dialog;
};
