#pragma once

#include <QObject>
#include <QString>

QT_BEGIN_NAMESPACE
class QLabel;
QT_END_NAMESPACE

namespace Quillmark {
namespace Internal {

// A tool tip that shows the text as it is: Qt would render markup in it.
QString plainTextToolTip(const QString &text);

// Shows a plain text on a label with each line cut in the middle to the label's width (the end
// of a subject names the signer), with an ellipsis, and
// with no more than a number of lines, so that a long text never widens or heightens the window;
// the whole text is the label's tool tip. The label takes the width that its layout gives it,
// whatever its text; while it has no text, it leaves that width to its neighbours.
class LabelElider : public QObject
{
public:
    LabelElider(QLabel *label, int maximumLines);

    void setText(const QString &text);
    QString text() const { return m_text; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void elide();

    QLabel *m_label;
    int m_maximumLines;
    int m_minimumHeight;
    QString m_text;
};

} // namespace Internal
} // namespace Quillmark
