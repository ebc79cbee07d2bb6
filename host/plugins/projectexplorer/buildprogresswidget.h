#pragma once

#include <QWidget>

QT_BEGIN_NAMESPACE
class QProgressBar;
QT_END_NAMESPACE

namespace Utils {
class ElidingLabel;
}

namespace ProjectExplorer {
namespace Internal {

// The build's progress in the main window's status bar, in the manner of Qt Creator's progress
// bar: the share of the build done, the running step and what it is doing, and at the end whether
// the build succeeded (a green bar) or failed (a red one). Hidden until the first build.
class BuildProgressWidget : public QWidget
{
    Q_OBJECT

public:
    explicit BuildProgressWidget(QWidget *parent = nullptr);

private:
    void showProgress(int percent, const QString &text);
    void showResult(bool success);
    void setBarColor(const QColor &color);

    Utils::ElidingLabel *m_label;
    QProgressBar *m_bar;
    bool m_showsResult = false;
};

} // namespace Internal
} // namespace ProjectExplorer
