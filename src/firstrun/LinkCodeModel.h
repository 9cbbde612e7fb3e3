#pragma once

#include "auth/Session.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QtQml/qqmlregistration.h>

// State and rules of the link-code page: eight one-character boxes, which box
// has focus, the two collapsible sections, and the hand-over of the code to the
// session.
class LinkCodeModel : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(Session *auth READ auth WRITE setAuth NOTIFY authChanged)
    Q_PROPERTY(QStringList chars READ chars NOTIFY charsChanged)
    Q_PROPERTY(int focusedIndex READ focusedIndex WRITE setFocusedIndex NOTIFY focusedIndexChanged)
    Q_PROPERTY(bool suppressOnChange READ suppressOnChange NOTIFY suppressOnChangeChanged)
    Q_PROPERTY(bool connectExpanded READ connectExpanded NOTIFY connectExpandedChanged)
    Q_PROPERTY(bool shortcutExpanded READ shortcutExpanded NOTIFY shortcutExpandedChanged)
    Q_PROPERTY(int expansionDuration READ expansionDuration NOTIFY expansionDurationChanged)
    Q_PROPERTY(QString formattedCode READ formattedCode NOTIFY charsChanged)
    Q_PROPERTY(bool allFilled READ allFilled NOTIFY charsChanged)
    Q_PROPERTY(bool canConnect READ canConnect NOTIFY canConnectChanged)
    Q_PROPERTY(bool isAuthenticated READ isAuthenticated NOTIFY authStateChanged)
    Q_PROPERTY(bool isLoading READ isLoading NOTIFY authStateChanged)
    Q_PROPERTY(QString error READ error NOTIFY authStateChanged)

public:
    static constexpr int boxCount = 8;
    static constexpr int noFocus = -1;
    static constexpr int toggleDuration = 220;
    static constexpr int authChangeDuration = 300;

    explicit LinkCodeModel(QObject *parent = nullptr);

    Session *auth() const { return m_auth; }
    void setAuth(Session *auth);

    QStringList chars() const { return m_chars; }
    int focusedIndex() const { return m_focusedIndex; }
    void setFocusedIndex(int index);
    bool suppressOnChange() const { return m_suppressOnChange; }
    bool connectExpanded() const { return m_connectExpanded; }
    bool shortcutExpanded() const { return m_shortcutExpanded; }
    // How long the view animates the latest change of the two section flags (ms).
    int expansionDuration() const { return m_expansionDuration; }
    QString formattedCode() const;
    bool allFilled() const;
    bool canConnect() const { return allFilled() && !isLoading(); }

    bool isAuthenticated() const;
    bool isLoading() const;
    QString error() const;

    // Box i's content was edited to `content` (typing, pasting, deleting).
    Q_INVOKABLE void changeText(int index, const QString &content);
    // The user clicked box i.
    Q_INVOKABLE void tapBox(int index);
    Q_INVOKABLE void toggleConnect();
    Q_INVOKABLE void toggleShortcut();
    // The page came on screen.
    Q_INVOKABLE void shown();
    Q_INVOKABLE void connect();
    Q_INVOKABLE void relink();

    // Upper-cases fully and keeps letters and numbers, as user-perceived characters.
    static QStringList cleanCharacters(const QString &text);

Q_SIGNALS:
    void authChanged();
    void charsChanged();
    void focusedIndexChanged();
    void suppressOnChangeChanged();
    void connectExpandedChanged();
    void shortcutExpandedChanged();
    void expansionDurationChanged();
    void canConnectChanged();
    void authStateChanged();

private:
    void onAuthStateChanged();
    void writeBox(int index, const QString &value);
    void runChangeRule(int index, const QString &content);
    void setSuppress(bool on);
    void setExpanded(bool connectOpen, bool shortcutOpen, int duration);
    void emitIfCanConnectChanged();

    QPointer<Session> m_auth;
    QStringList m_chars;
    int m_focusedIndex = noFocus;
    bool m_suppressOnChange = false;
    bool m_connectExpanded = true;
    bool m_shortcutExpanded = false;
    int m_expansionDuration = toggleDuration;
    bool m_lastAuthenticated = false;
    bool m_lastCanConnect = false;
};
