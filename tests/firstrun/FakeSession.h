#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

// Stands in for the session on the first-run pages: the same property and
// invokable names, with the outcome of each call set by the test.
class FakeSession : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isAuthenticated READ isAuthenticated NOTIFY isAuthenticatedChanged)
    Q_PROPERTY(bool isLoading READ isLoading NOTIFY isLoadingChanged)
    Q_PROPERTY(QString error READ error NOTIFY errorChanged)
    Q_PROPERTY(QString userEmail READ userEmail CONSTANT)

public:
    using QObject::QObject;

    bool isAuthenticated() const { return m_authenticated; }
    bool isLoading() const { return m_loading; }
    QString error() const { return m_error; }
    QString userEmail() const { return QString(); }

    void setAuthenticated(bool on)
    {
        if (on == m_authenticated)
            return;
        m_authenticated = on;
        Q_EMIT isAuthenticatedChanged();
    }
    void setLoading(bool on)
    {
        if (on == m_loading)
            return;
        m_loading = on;
        Q_EMIT isLoadingChanged();
    }
    void setError(const QString &text)
    {
        if (text == m_error)
            return;
        m_error = text;
        Q_EMIT errorChanged();
    }

    Q_INVOKABLE void signInWithLinkCode(const QString &code)
    {
        codes.append(code);
        setError(QString());
        setLoading(true);
    }
    Q_INVOKABLE void signOut()
    {
        ++signOuts;
        setAuthenticated(false);
    }

    QStringList codes;
    int signOuts = 0;

Q_SIGNALS:
    void isAuthenticatedChanged();
    void isLoadingChanged();
    void errorChanged();

private:
    bool m_authenticated = false;
    bool m_loading = false;
    QString m_error;
};
