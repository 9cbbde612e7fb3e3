#pragma once

#include <QDBusConnection>
#include <QHash>
#include <QObject>
#include <QString>

#include <optional>

class QDBusMessage;

// Follows the keyboard focus on the accessibility bus from start-up, so that
// when the shortcut fires the object to ask is already known: a read then
// needs neither a walk of the application's tree nor the window's "active"
// state, which GTK drops while a key grab holds the keyboard. It also passes
// on which object's text selection changed, so that the selection can be
// read then rather than at the press. Applications send these events only
// once someone has registered for them.
class AtspiFocusTracker : public QObject {
    Q_OBJECT

public:
    struct Focus {
        QString service;
        QString path;
        // The process of `service`, once the bus has said it.
        std::optional<quint32> pid;
        // The object has since reported losing the focus (GTK does so while
        // a key grab is held, so this alone does not make the record stale).
        bool lost = false;
        // A window of the same application was activated after the focus
        // event: the user may have moved to another window of it that has
        // nothing to focus. (Toolkits also activate a window just after
        // focusing in it, so this alone does not make the record stale.)
        bool windowActivatedSince = false;
    };

    explicit AtspiFocusTracker(QDBusConnection bus, QObject *parent = nullptr);
    ~AtspiFocusTracker() override;

    // The object that last gained the focus.
    std::optional<Focus> current() const;
    // Changes with every new record: compare before and after a look.
    quint64 recordCount() const { return m_focusSequence; }
    // The focus found by looking, which began at `recordsBefore`: kept
    // unless a focus event (or another look) has given a record since.
    void learn(const Focus &focus, quint64 recordsBefore);
    // Remembers the process of the current record's application.
    void setProcess(const QString &service, quint32 pid);

Q_SIGNALS:
    void focusChanged();
    // The object's text selection changed (or went).
    void selectionChanged(const QString &service, const QString &path);
    // The object's text changed, or the object is gone: a selection read
    // before may no longer be what it holds (some toolkits move the text
    // under a selection without reporting a selection change).
    void textChanged(const QString &service, const QString &path);

private Q_SLOTS:
    void onStateChanged(const QDBusMessage &message);
    void onWindowActivated(const QDBusMessage &message);
    void onTextSelectionChanged(const QDBusMessage &message);
    void onTextChanged(const QDBusMessage &message);

private:
    void registerEvent(const QString &event);

    QDBusConnection m_bus;
    std::optional<Focus> m_focus;
    quint64 m_focusSequence = 0;
    quint64 m_sequence = 0;
    // Per application (bus name): the sequence of its last window activation.
    QHash<QString, quint64> m_activations;
};
