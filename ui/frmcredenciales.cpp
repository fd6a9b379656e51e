#include "ui/frmcredenciales.h"

#include <QApplication>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "ui/controls.h"
#include "ui/texts.h"

namespace ui {

frmCredenciales::frmCredenciales(const QString& target, bool refused, const QString& user,
                                 const QString& domain, QWidget* parent)
    : QDialog(parent) {
    Name_Control(this, QStringLiteral("frmCredenciales"), texts::CredTitle);
    setWindowTitle(texts::CredTitle);
    setModal(true);

    auto* outer = new QVBoxLayout(this);
    // One argument, one call: a "%1" inside the path stays as it is.
    lblRecurso = new QLabel(texts::CredResource.arg(target), this);
    lblRecurso->setWordWrap(true);
    lblRecurso->setTextFormat(Qt::PlainText);
    Name_Control(lblRecurso, QStringLiteral("lblRecurso"), texts::AccResource);
    outer->addWidget(lblRecurso);

    lblError = new QLabel(texts::CredRefused, this);
    Name_Control(lblError, QStringLiteral("lblError"), texts::AccRefused);
    QPalette warn = lblError->palette();
    warn.setColor(QPalette::WindowText, QColor(170, 0, 0));
    lblError->setPalette(warn);
    lblError->setVisible(refused);
    outer->addWidget(lblError);

    auto* form = new QFormLayout;
    txtUsuario = new QLineEdit(user, this);
    Name_Control(txtUsuario, QStringLiteral("txtUsuario"), texts::AccUser);
    txtDominio = new QLineEdit(domain, this);
    Name_Control(txtDominio, QStringLiteral("txtDominio"), texts::AccDomain);
    txtContrasena = new QLineEdit(this);
    txtContrasena->setEchoMode(QLineEdit::Password);
    Name_Control(txtContrasena, QStringLiteral("txtContrasena"), texts::AccPassword);
    form->addRow(texts::CredUser, txtUsuario);
    form->addRow(texts::CredDomain, txtDominio);
    form->addRow(texts::CredPassword, txtContrasena);
    outer->addLayout(form);

    chkRecordar = new QCheckBox(texts::CredRemember, this);
    Name_Control(chkRecordar, QStringLiteral("chkRecordar"), texts::AccRemember);
    outer->addWidget(chkRecordar);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    cmdAceptar = new QPushButton(texts::CredAccept, this);
    Name_Control(cmdAceptar, QStringLiteral("cmdAceptar"), texts::AccAccept);
    cmdAceptar->setDefault(true);
    cmdCancelar = new QPushButton(texts::CredCancel, this);
    Name_Control(cmdCancelar, QStringLiteral("cmdCancelar"), texts::AccCancel);
    buttons->addWidget(cmdAceptar);
    buttons->addWidget(cmdCancelar);
    outer->addLayout(buttons);

    // Nothing to try without a user name.
    auto needUser = [this] { cmdAceptar->setEnabled(!txtUsuario->text().trimmed().isEmpty()); };
    connect(txtUsuario, &QLineEdit::textChanged, this, needUser);
    needUser();
    connect(cmdAceptar, &QPushButton::clicked, this, [this] { cmdAceptar_Click(); });
    connect(cmdCancelar, &QPushButton::clicked, this, [this] { cmdCancelar_Click(); });

    // A refusal keeps the user name: the password is what usually needs typing again.
    (user.isEmpty() ? txtUsuario : txtContrasena)->setFocus();
}

frmCredenciales::~frmCredenciales() {
    Take_Password();
}

void frmCredenciales::cmdAceptar_Click() {
    if (cmdAceptar->isEnabled())
        accept();
}

void frmCredenciales::cmdCancelar_Click() {
    reject();
}

platform::SecureString frmCredenciales::Take_Password() {
    QString typed = txtContrasena->text();
    // Setting new text drops the field's buffer and its undo history; `typed` then holds the
    // last reference to the characters and may overwrite them in place.
    txtContrasena->setText(QString());
    QByteArray bytes = typed.toUtf8();
    platform::SecureString password(std::string_view(bytes.constData(), std::size_t(bytes.size())));
    platform::WipeMemory(bytes.data(), std::size_t(bytes.size()));
    if (!typed.isEmpty())
        platform::WipeMemory(typed.data(), std::size_t(typed.size()) * sizeof(QChar));
    return password;
}

platform::DWORD DialogPrompt::CredUIPromptForCredentialsA(const std::string& targetName,
                                                          platform::DWORD dwAuthError,
                                                          platform::NetCredential& cred,
                                                          platform::BOOL* pfSave) {
    frmCredenciales dialog(QString::fromLocal8Bit(targetName), dwAuthError != platform::NO_ERROR,
                           QString::fromLocal8Bit(cred.user), QString::fromLocal8Bit(cred.domain),
                           QApplication::activeWindow());
    if (dialog.exec() != QDialog::Accepted)
        return platform::ERROR_CANCELLED;
    cred.user = dialog.txtUsuario->text().trimmed().toLocal8Bit().toStdString();
    cred.domain = dialog.txtDominio->text().trimmed().toLocal8Bit().toStdString();
    cred.password = dialog.Take_Password();
    if (pfSave)
        *pfSave = dialog.chkRecordar->isChecked() ? 1 : 0;
    return platform::NO_ERROR;
}

}  // namespace ui
