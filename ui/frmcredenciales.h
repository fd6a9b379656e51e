// The network credentials dialog, as the desktop asks for a password to a share, and the
// prompt that shows it for the network back ends.
#pragma once

#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "platform/credentials.h"

namespace ui {

class frmCredenciales : public QDialog {
    Q_OBJECT
public:
    // `target`: \\server\share; `refused`: the server refused the last answer.
    frmCredenciales(const QString& target, bool refused, const QString& user, const QString& domain,
                    QWidget* parent = nullptr);
    ~frmCredenciales() override;

    void cmdAceptar_Click();
    void cmdCancelar_Click();

    // The typed password, taken out of its field; what the field held is overwritten.
    platform::SecureString Take_Password();

    QLabel* lblRecurso = nullptr;
    QLabel* lblError = nullptr;
    QLineEdit* txtUsuario = nullptr;
    QLineEdit* txtDominio = nullptr;
    QLineEdit* txtContrasena = nullptr;
    QCheckBox* chkRecordar = nullptr;
    QPushButton* cmdAceptar = nullptr;
    QPushButton* cmdCancelar = nullptr;
};

// Shows frmCredenciales, modal, over the active window.
class DialogPrompt final : public platform::CredentialPrompt {
public:
    platform::DWORD CredUIPromptForCredentialsA(const std::string& targetName,
                                                platform::DWORD dwAuthError,
                                                platform::NetCredential& cred,
                                                platform::BOOL* pfSave) override;
    platform::DWORD CredUIConfirmCredentialsA(const std::string&, platform::BOOL) override {
        return platform::NO_ERROR;
    }
};

}  // namespace ui
