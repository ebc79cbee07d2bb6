#include "fancylineedit.h"

#include "historycompleter.h"
#include "qtcassert.h"

#include <QKeyEvent>
#include <QValidator>

namespace Utils {

class FancyLineEditPrivate
{
public:
    HistoryCompleter *m_historyCompleter = nullptr;
    FancyLineEdit::ValidationFunction m_validationFunction = &FancyLineEdit::validateWithValidator;
    QString m_errorMessage;
    QColor m_okTextColor;
    QColor m_errorTextColor = QColor(Qt::red);
    FancyLineEdit::State m_state = FancyLineEdit::Invalid;
    bool m_firstChange = true;
    bool m_toolTipSet = false;
};

FancyLineEdit::FancyLineEdit(QWidget *parent)
    : CompletingLineEdit(parent)
    , d(new FancyLineEditPrivate)
{
    d->m_okTextColor = palette().color(QPalette::Active, QPalette::Text);
    connect(this, &QLineEdit::textChanged, this, &FancyLineEdit::validate);
}

FancyLineEdit::~FancyLineEdit()
{
    delete d;
}

void FancyLineEdit::setTextKeepingActiveCursor(const QString &text)
{
    const int cursor = hasFocus() ? cursorPosition() : -1;
    setText(text);
    if (cursor >= 0)
        setCursorPosition(qMin(cursor, text.size()));
}

void FancyLineEdit::setHistoryCompleter(const QString &historyKey, bool restoreLastItemFromHistory)
{
    QTC_ASSERT(!d->m_historyCompleter, return );
    d->m_historyCompleter = new HistoryCompleter(historyKey, this);
    if (restoreLastItemFromHistory && d->m_historyCompleter->hasHistory())
        setText(d->m_historyCompleter->historyItem());
    QLineEdit::setCompleter(d->m_historyCompleter);

    // Hitting <Return> in the popup first causes editingFinished() being emitted and more
    // updates finally calling setText() (again). To make sure we report the "final" content
    // delay the addEntry() "a bit".
    connect(this,
            &QLineEdit::editingFinished,
            this,
            &FancyLineEdit::onEditingFinished,
            Qt::QueuedConnection);
}

void FancyLineEdit::onEditingFinished()
{
    d->m_historyCompleter->addEntry(text());
}

void FancyLineEdit::setSpecialCompleter(QCompleter *completer)
{
    QTC_ASSERT(!d->m_historyCompleter, return );
    QLineEdit::setCompleter(completer);
}

FancyLineEdit::State FancyLineEdit::state() const
{
    return d->m_state;
}

bool FancyLineEdit::isValid() const
{
    return d->m_state == Valid;
}

QString FancyLineEdit::errorMessage() const
{
    return d->m_errorMessage;
}

void FancyLineEdit::setValidationFunction(const ValidationFunction &fn)
{
    d->m_validationFunction = fn;
    validate();
}

FancyLineEdit::ValidationFunction FancyLineEdit::defaultValidationFunction()
{
    return &FancyLineEdit::validateWithValidator;
}

bool FancyLineEdit::validateWithValidator(FancyLineEdit *edit, QString *errorMessage)
{
    Q_UNUSED(errorMessage)
    if (const QValidator *v = edit->validator()) {
        QString tmp = edit->text();
        int pos = edit->cursorPosition();
        return v->validate(tmp, pos) == QValidator::Acceptable;
    }
    return true;
}

void FancyLineEdit::validate()
{
    const QString t = text();
    d->m_errorMessage.clear();
    // Are we displaying the placeholder text?
    const bool isDisplayingPlaceholderText = !placeholderText().isEmpty() && t.isEmpty();
    const bool validates = d->m_validationFunction
                           && d->m_validationFunction(this, &d->m_errorMessage);
    const State newState = isDisplayingPlaceholderText ? DisplayingPlaceholderText
                                                       : (validates ? Valid : Invalid);
    if (!validates || d->m_toolTipSet) {
        setToolTip(d->m_errorMessage);
        d->m_toolTipSet = true;
    }
    // Changed..figure out if valid changed. DisplayingPlaceholderText is not valid,
    // but should not show error color. Also trigger on the first change.
    if (newState != d->m_state || d->m_firstChange) {
        const bool validHasChanged = (d->m_state == Valid) != (newState == Valid);
        d->m_state = newState;
        d->m_firstChange = false;

        QPalette p = palette();
        p.setColor(QPalette::Active,
                   QPalette::Text,
                   newState == Invalid ? d->m_errorTextColor : d->m_okTextColor);
        setPalette(p);

        if (validHasChanged)
            emit validChanged(newState == Valid);
    }
}

void FancyLineEdit::setOkColor(const QColor &color)
{
    d->m_okTextColor = color;
    d->m_firstChange = true;
    validate();
}

void FancyLineEdit::setErrorColor(const QColor &errorColor)
{
    d->m_errorTextColor = errorColor;
    d->m_firstChange = true;
    validate();
}

void FancyLineEdit::keyPressEvent(QKeyEvent *event)
{
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && isValid())
        emit validReturnPressed();
    CompletingLineEdit::keyPressEvent(event);
}

} // namespace Utils
