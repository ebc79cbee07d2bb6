#include "pathchooser.h"

#include "environment.h"
#include "qtcassert.h"

#include <QFileDialog>
#include <QHBoxLayout>
#include <QPushButton>

namespace Utils {

class PathChooserPrivate
{
public:
    QHBoxLayout *m_hLayout = nullptr;
    FancyLineEdit *m_lineEdit = nullptr;
    PathChooser::Kind m_acceptingKind = PathChooser::ExistingDirectory;
    QString m_dialogTitleOverride;
    QString m_dialogFilter;
    QString m_initialBrowsePathOverride;
    QString m_defaultValue;
    FilePath m_baseDirectory;
    Environment m_environment;
    QList<QAbstractButton *> m_buttons;
};

PathChooser::PathChooser(QWidget *parent)
    : QWidget(parent)
    , d(new PathChooserPrivate)
{
    d->m_hLayout = new QHBoxLayout(this);
    d->m_hLayout->setContentsMargins(0, 0, 0, 0);
    d->m_lineEdit = new FancyLineEdit(this);
    d->m_lineEdit->setValidationFunction(defaultValidationFunction());
    d->m_hLayout->addWidget(d->m_lineEdit);
    d->m_hLayout->setSizeConstraint(QLayout::SetMinimumSize);

    connect(d->m_lineEdit, &FancyLineEdit::validReturnPressed, this, &PathChooser::returnPressed);
    connect(d->m_lineEdit, &QLineEdit::textChanged, this, [this] {
        emit rawPathChanged(rawPath());
        emit pathChanged(path());
    });
    connect(d->m_lineEdit, &FancyLineEdit::validChanged, this, &PathChooser::validChanged);
    connect(d->m_lineEdit, &QLineEdit::editingFinished, this, &PathChooser::editingFinished);

    addButton(browseButtonLabel(), this, [this] { slotBrowse(); });

    setFocusPolicy(d->m_lineEdit->focusPolicy());
    setFocusProxy(d->m_lineEdit);
}

PathChooser::~PathChooser()
{
    delete d;
}

QString PathChooser::browseButtonLabel()
{
    return tr("Browse...");
}

void PathChooser::addButton(const QString &text,
                            QObject *context,
                            const std::function<void()> &callback)
{
    insertButton(d->m_buttons.count(), text, context, callback);
}

void PathChooser::insertButton(int index,
                               const QString &text,
                               QObject *context,
                               const std::function<void()> &callback)
{
    auto button = new QPushButton(text, this);
    connect(button, &QAbstractButton::clicked, context, callback);
    d->m_hLayout->insertWidget(index + 1 /*line edit*/, button);
    d->m_buttons.insert(index, button);
}

QAbstractButton *PathChooser::buttonAtIndex(int index) const
{
    return d->m_buttons.value(index);
}

FancyLineEdit *PathChooser::lineEdit() const
{
    return d->m_lineEdit;
}

void PathChooser::setExpectedKind(Kind expected)
{
    if (d->m_acceptingKind == expected)
        return;
    d->m_acceptingKind = expected;
    d->m_lineEdit->validate();
}

PathChooser::Kind PathChooser::expectedKind() const
{
    return d->m_acceptingKind;
}

void PathChooser::setPromptDialogTitle(const QString &title)
{
    d->m_dialogTitleOverride = title;
}

QString PathChooser::promptDialogTitle() const
{
    return d->m_dialogTitleOverride;
}

void PathChooser::setPromptDialogFilter(const QString &filter)
{
    d->m_dialogFilter = filter;
}

QString PathChooser::promptDialogFilter() const
{
    return d->m_dialogFilter;
}

void PathChooser::setInitialBrowsePathBackup(const QString &path)
{
    d->m_initialBrowsePathOverride = path;
}

bool PathChooser::isValid() const
{
    return d->m_lineEdit->isValid();
}

QString PathChooser::errorMessage() const
{
    return d->m_lineEdit->errorMessage();
}

QString PathChooser::rawPath() const
{
    return d->m_lineEdit->text();
}

FilePath PathChooser::rawFilePath() const
{
    return FilePath::fromUserInput(rawPath());
}

FilePath PathChooser::filePath() const
{
    return FilePath::fromUserInput(
        expandedDirectory(rawPath(), d->m_environment, d->m_baseDirectory.toString()));
}

QString PathChooser::expandedDirectory(const QString &input,
                                       const Environment &env,
                                       const QString &baseDir)
{
    if (input.isEmpty())
        return input;
    const QString path = QDir::cleanPath(env.expandVariables(input.trimmed()));
    if (path.isEmpty())
        return path;
    if (!baseDir.isEmpty() && QFileInfo(path).isRelative())
        return QFileInfo(baseDir + QLatin1Char('/') + path).absoluteFilePath();
    return path;
}

FilePath PathChooser::baseDirectory() const
{
    return d->m_baseDirectory;
}

void PathChooser::setBaseDirectory(const FilePath &base)
{
    if (d->m_baseDirectory == base)
        return;
    d->m_baseDirectory = base;
    triggerChanged();
}

void PathChooser::setEnvironment(const Environment &env)
{
    const QString oldExpand = path();
    d->m_environment = env;
    if (path() != oldExpand) {
        triggerChanged();
        emit rawPathChanged(rawPath());
    }
}

QString PathChooser::label()
{
    return tr("Path:");
}

QString PathChooser::homePath()
{
    return QDir::homePath();
}

void PathChooser::setPath(const QString &path)
{
    d->m_lineEdit->setTextKeepingActiveCursor(QDir::toNativeSeparators(path));
}

void PathChooser::setFilePath(const FilePath &fn)
{
    d->m_lineEdit->setTextKeepingActiveCursor(fn.toUserOutput());
}

bool PathChooser::isReadOnly() const
{
    return d->m_lineEdit->isReadOnly();
}

void PathChooser::setReadOnly(bool b)
{
    d->m_lineEdit->setReadOnly(b);
    for (QAbstractButton *button : qAsConst(d->m_buttons))
        button->setEnabled(!b);
}

void PathChooser::triggerChanged()
{
    d->m_lineEdit->validate();
}

void PathChooser::setDefaultValue(const QString &defaultValue)
{
    d->m_defaultValue = defaultValue;
    d->m_lineEdit->setPlaceholderText(defaultValue);
    d->m_lineEdit->validate();
}

FancyLineEdit::ValidationFunction PathChooser::defaultValidationFunction() const
{
    return [this](FancyLineEdit *edit, QString *errorMessage) {
        return validatePath(edit, errorMessage);
    };
}

void PathChooser::setValidationFunction(const FancyLineEdit::ValidationFunction &fn)
{
    d->m_lineEdit->setValidationFunction(fn);
}

void PathChooser::setHistoryCompleter(const QString &historyKey, bool restoreLastItemFromHistory)
{
    d->m_lineEdit->setHistoryCompleter(historyKey, restoreLastItemFromHistory);
}

bool PathChooser::validatePath(FancyLineEdit *edit, QString *errorMessage) const
{
    const QString text = edit->text();
    if (text.isEmpty()) {
        if (!d->m_defaultValue.isEmpty())
            return true;
        if (errorMessage)
            *errorMessage = tr("The path must not be empty.");
        return false;
    }

    const QString expandedPath = expandedDirectory(text,
                                                   d->m_environment,
                                                   d->m_baseDirectory.toString());
    if (expandedPath.isEmpty()) {
        if (errorMessage)
            *errorMessage = tr("The path \"%1\" expanded to an empty string.")
                                .arg(QDir::toNativeSeparators(text));
        return false;
    }
    const QFileInfo fi(expandedPath);
    const QString nativePath = QDir::toNativeSeparators(expandedPath);

    QString error;
    switch (d->m_acceptingKind) {
    case ExistingDirectory:
        if (!fi.exists())
            error = tr("The path \"%1\" does not exist.").arg(nativePath);
        else if (!fi.isDir())
            error = tr("The path \"%1\" is not a directory.").arg(nativePath);
        break;
    case File:
        if (!fi.exists())
            error = tr("The path \"%1\" does not exist.").arg(nativePath);
        else if (!fi.isFile())
            error = tr("The path \"%1\" is not a file.").arg(nativePath);
        break;
    case SaveFile:
        if (!fi.absoluteDir().exists())
            error = tr("The directory \"%1\" does not exist.")
                        .arg(QDir::toNativeSeparators(fi.absolutePath()));
        else if (fi.exists() && fi.isDir())
            error = tr("The path \"%1\" is not a file.").arg(nativePath);
        break;
    case ExistingCommand:
        if (!fi.exists())
            error = tr("The path \"%1\" does not exist.").arg(nativePath);
        else if (!fi.isFile() || !fi.isExecutable())
            error = tr("The path \"%1\" is not an executable file.").arg(nativePath);
        break;
    case Directory:
        if (fi.exists() && !fi.isDir())
            error = tr("The path \"%1\" is not a directory.").arg(nativePath);
        break;
    case Command:
        if (fi.exists() && !fi.isExecutable())
            error = tr("Cannot execute \"%1\".").arg(nativePath);
        break;
    case Any:
        break;
    }

    if (errorMessage)
        *errorMessage = error;
    return error.isEmpty();
}

QString PathChooser::makeDialogTitle(const QString &title)
{
    return d->m_dialogTitleOverride.isEmpty() ? title : d->m_dialogTitleOverride;
}

QString PathChooser::browseStartPath() const
{
    const QString current = path();
    if (!current.isEmpty()) {
        const QFileInfo fi(current);
        if (fi.exists())
            return current;
        if (fi.absoluteDir().exists())
            return fi.absolutePath();
    }
    if (!d->m_initialBrowsePathOverride.isEmpty())
        return d->m_initialBrowsePathOverride;
    return d->m_baseDirectory.isEmpty() ? homePath() : d->m_baseDirectory.toString();
}

void PathChooser::slotBrowse()
{
    emit beforeBrowsing();

    const QString startPath = browseStartPath();
    QString newPath;
    switch (d->m_acceptingKind) {
    case ExistingDirectory:
    case Directory:
        newPath = QFileDialog::getExistingDirectory(this,
                                                    makeDialogTitle(tr("Choose Directory")),
                                                    startPath);
        break;
    case ExistingCommand:
    case Command:
        newPath = QFileDialog::getOpenFileName(this,
                                               makeDialogTitle(tr("Choose Executable")),
                                               startPath,
                                               d->m_dialogFilter);
        break;
    case File:
    case Any:
        newPath = QFileDialog::getOpenFileName(this,
                                               makeDialogTitle(tr("Choose File")),
                                               startPath,
                                               d->m_dialogFilter);
        break;
    case SaveFile:
        newPath = QFileDialog::getSaveFileName(this,
                                               makeDialogTitle(tr("Choose File")),
                                               startPath,
                                               d->m_dialogFilter);
        break;
    }

    // Delete trailing slashes unless it is "/", only
    if (!newPath.isEmpty()) {
        newPath = QDir::toNativeSeparators(newPath);
        if (newPath.size() > 1 && newPath.endsWith(QDir::separator()))
            newPath.chop(1);
        setPath(newPath);
        // A chosen path is a finished edit: it goes into the history like a typed one.
        emit d->m_lineEdit->editingFinished();
    }

    emit browsingFinished();
    triggerChanged();
}

} // namespace Utils
