// The credentials dialog: what Aceptar and Cancelar hand back, and what a refusal shows.
#include <gtest/gtest.h>

#include <QTimer>

#include "support/input.h"
#include "ui/frmcredenciales.h"

namespace {

using platform::NetCredential;
using ui::DialogPrompt;
using ui::frmCredenciales;

// Acts on the dialog once it is up, as the user would.
void WhenShown(const std::function<void(frmCredenciales*)>& act) {
    QTimer::singleShot(0, [act] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* d = qobject_cast<frmCredenciales*>(w); d && d->isVisible())
                return act(d);
    });
}

TEST(CredentialsDialog, AcceptHandsBackWhatWasTypedAndTakesThePasswordOutOfItsField) {
    DialogPrompt prompt;
    WhenShown([&](frmCredenciales* d) {
        EXPECT_EQ(d->lblRecurso->text(),
                  QStringLiteral("Escriba sus credenciales para conectarse a \\\\srv\\%1datos"));
        EXPECT_EQ(d->txtContrasena->echoMode(), QLineEdit::Password);
        support::Type_Text(d->txtUsuario, QStringLiteral("DOM\\ana"));
        d->txtContrasena->insert(QStringLiteral("clave ñ"));
        d->chkRecordar->setChecked(true);
        support::Press_Key(d->txtContrasena, Qt::Key_Return,
                           QStringLiteral("\r"));  // Aceptar is the default
    });
    NetCredential cred{"", "GRUPO", {}};
    platform::BOOL save = 0;
    ASSERT_EQ(prompt.CredUIPromptForCredentialsA("\\\\srv\\%1datos", 0, cred, &save), 0u);
    EXPECT_EQ(cred.user, "DOM\\ana");
    EXPECT_EQ(cred.password.view(), "clave ñ");
    EXPECT_EQ(save, 1);

    frmCredenciales d(QStringLiteral("\\\\srv\\datos"), false, {}, {});
    d.txtContrasena->insert(QStringLiteral("otra"));
    EXPECT_EQ(d.Take_Password().view(), "otra");
    EXPECT_TRUE(d.txtContrasena->text().isEmpty());
    EXPECT_FALSE(d.txtContrasena->isUndoAvailable());
}

TEST(CredentialsDialog, ARefusalSaysSoKeepsTheUserAndCancelIs1223) {
    DialogPrompt prompt;
    WhenShown([](frmCredenciales* d) {
        EXPECT_EQ(d->lblError->text(), QStringLiteral("Usuario o contraseña incorrectos."));
        EXPECT_EQ(d->txtUsuario->text(), QStringLiteral("ana"));
        support::Type_Text(d->txtContrasena, QStringLiteral("nada"));
        d->cmdCancelar->click();
    });
    NetCredential cred{"ana", "", {}};
    platform::BOOL save = 0;
    EXPECT_EQ(prompt.CredUIPromptForCredentialsA("\\\\srv\\datos", 1326, cred, &save),
              platform::ERROR_CANCELLED);
    EXPECT_TRUE(cred.password.empty());
}

}  // namespace
