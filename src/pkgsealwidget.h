#pragma once

#include <QWidget>

namespace Quillmark {
namespace Internal {

namespace Ui {
class PkgsealWidget;
}

// Chooses between the global signing keys and a key and certificate of the step's own.
class PkgsealWidget : public QWidget
{
    Q_OBJECT

public:
    PkgsealWidget();
    ~PkgsealWidget() override;

    void setUseDefaultValues(bool useDefault);
    void setKey(const QString &filePath);
    void setCertificate(const QString &filePath);

signals:
    void keyChanged(const QString &filePath);
    void certificateChanged(const QString &filePath);
    void useDefaultValuesChanged(bool useDefault);

private:
    void onKeysTypeChanged(int row);

    Ui::PkgsealWidget *m_ui;
};

} // namespace Internal
} // namespace Quillmark
