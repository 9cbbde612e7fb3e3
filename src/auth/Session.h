#pragma once

#include <QObject>
#include <QString>
#include <QUrl>
#include <QtQml/qqmlregistration.h>

#include <QCoroTask>

#include <optional>

// What the shell, the tray menu and the first-run pages know of the session:
// whether the user is signed in, a sign-in under way and its error, the
// account's e-mail address, and the three requests they make of it. The
// program's session implements it, and so do the tests' stand-ins.
class Session : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("the program's session, handed to the views that show it")
    Q_PROPERTY(bool isAuthenticated READ isAuthenticated NOTIFY isAuthenticatedChanged)
    Q_PROPERTY(bool isLoading READ isLoading NOTIFY isLoadingChanged)
    Q_PROPERTY(QString error READ errorText NOTIFY errorChanged)
    Q_PROPERTY(bool hasError READ hasError NOTIFY errorChanged)
    Q_PROPERTY(QString userEmail READ userEmailText NOTIFY userEmailChanged)
    Q_PROPERTY(bool isRestored READ isRestored NOTIFY restored)

public:
    using QObject::QObject;

    virtual bool isAuthenticated() const = 0;
    virtual bool isLoading() const = 0;
    virtual std::optional<QString> error() const = 0;
    virtual std::optional<QString> userEmail() const = 0;
    // Whether the signed-in state read from the secret store is known yet.
    virtual bool isRestored() const = 0;
    virtual QCoro::Task<void> untilRestored() = 0;

    QString errorText() const { return error().value_or(QString()); }
    bool hasError() const { return error().has_value(); }
    QString userEmailText() const { return userEmail().value_or(QString()); }

    // Starts a sign-in with a code from the phone app and returns; the outcome
    // shows in isLoading, error and isAuthenticated.
    Q_INVOKABLE virtual void signInWithLinkCode(const QString &code) = 0;
    Q_INVOKABLE virtual void signOut() = 0;
    // A vocarta:// URL handed to the program (by the browser, through a second
    // process). Completes a web sign-in waiting for it; ignored otherwise.
    Q_INVOKABLE virtual void handleCallbackUrl(const QUrl &url) = 0;

Q_SIGNALS:
    void isAuthenticatedChanged();
    void isLoadingChanged();
    void errorChanged();
    void userEmailChanged();
    void restored();
};
