#pragma once

#include "completinglineedit.h"
#include "utils_global.h"

#include <functional>

namespace Utils {

class FancyLineEditPrivate;

// A line edit that validates its text with a validation function: an invalid text is shown
// in the error color with the error message as tool tip.
class QTCREATOR_UTILS_EXPORT FancyLineEdit : public CompletingLineEdit
{
    Q_OBJECT

public:
    enum Side { Left = 0, Right = 1 };
    Q_ENUM(Side)

    explicit FancyLineEdit(QWidget *parent = nullptr);
    ~FancyLineEdit() override;

    void setTextKeepingActiveCursor(const QString &text);

    void setHistoryCompleter(const QString &historyKey, bool restoreLastItemFromHistory = false);

    // Completion

    // Enable a history completer with a history of entries.
    void setSpecialCompleter(QCompleter *completer);

    // Validation

    // line edit, (out)errorMessage -> valid?
    using ValidationFunction = std::function<bool(FancyLineEdit *, QString *)>;
    enum State { Invalid, DisplayingPlaceholderText, Valid };

    State state() const;
    bool isValid() const;
    QString errorMessage() const;

    void setValidationFunction(const ValidationFunction &fn);
    static ValidationFunction defaultValidationFunction();
    void validate();

    void setOkColor(const QColor &color);
    void setErrorColor(const QColor &errorColor);

signals:
    void buttonClicked(Utils::FancyLineEdit::Side side);
    void leftButtonClicked();
    void rightButtonClicked();

    void filterChanged(const QString &);

    void validChanged(bool validState);
    void validReturnPressed();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void onEditingFinished();
    static bool validateWithValidator(FancyLineEdit *edit, QString *errorMessage);

    friend class FancyLineEditPrivate;
    FancyLineEditPrivate *d;
};

} // namespace Utils
