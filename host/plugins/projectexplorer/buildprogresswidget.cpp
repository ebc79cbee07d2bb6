#include "buildprogresswidget.h"

#include "buildmanager.h"

#include <utils/elidinglabel.h>

#include <QHBoxLayout>
#include <QProgressBar>

namespace ProjectExplorer {
namespace Internal {

BuildProgressWidget::BuildProgressWidget(QWidget *parent)
    : QWidget(parent)
    , m_label(new Utils::ElidingLabel(this))
    , m_bar(new QProgressBar(this))
{
    setObjectName("BuildProgress");
    m_label->setObjectName("BuildProgressLabel");
    // The step's name at the start and the package's at the end of a long path both stay.
    m_label->setElideMode(Qt::ElideMiddle);
    m_bar->setObjectName("BuildProgressBar");
    m_bar->setRange(0, 100);
    m_bar->setFixedWidth(160);
    auto layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_label);
    layout->addWidget(m_bar);
    hide();

    connect(BuildManager::instance(),
            &BuildManager::buildProgress,
            this,
            &BuildProgressWidget::showProgress);
    connect(BuildManager::instance(),
            &BuildManager::buildQueueFinished,
            this,
            &BuildProgressWidget::showResult);
}

void BuildProgressWidget::showProgress(int percent, const QString &text)
{
    if (m_showsResult) {
        m_showsResult = false;
        setBarColor(palette().color(QPalette::Highlight));
    }
    m_bar->setValue(percent);
    m_label->setText(text);
    show();
}

void BuildProgressWidget::showResult(bool success)
{
    m_showsResult = true;
    if (success) {
        m_bar->setValue(100);
        m_label->setText(tr("The build succeeded."));
        setBarColor(QColor(40, 160, 60));
    } else {
        m_label->setText(tr("The build failed."));
        setBarColor(QColor(200, 30, 30));
    }
    show();
}

void BuildProgressWidget::setBarColor(const QColor &color)
{
    QPalette barPalette = m_bar->palette();
    barPalette.setColor(QPalette::Highlight, color);
    m_bar->setPalette(barPalette);
}

} // namespace Internal
} // namespace ProjectExplorer
