#pragma once

#include "platform/SelectionSource.h"
#include "platform/atspi/AccessibleTextTree.h"

#include <QDBusConnection>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class AtspiFocusTracker;

// Reads the selection of the focused accessible of the application in front
// over the AT-SPI accessibility bus. Speaks the bus protocol directly with
// asynchronous calls and short time-outs, so a hung application never
// blocks the event loop.
//
// At the press it asks the object that focus events named, when that record
// still stands for what is in front; otherwise it answers AfterRelease and,
// once the key is up, walks the active window (GTK reports no active window
// while a key grab holds the keyboard). What that walk finds stands in for a
// focus event that never came, so the next press reads at once.
//
// An application reports each change of a text selection; the source reads
// the new selection then, while the user is still on the way to the
// shortcut. A press on the object it read, with nothing changed since and
// the application still in front, takes that answer without asking again:
// the application is busy with the key grab just then.
//
// Every call to the bus is awaited only while the source exists: a source
// destroyed meanwhile ends its reads there.
class AtspiSelectionSource : public QObject, public SelectionSource {
    Q_OBJECT

public:
    struct Limits {
        // Each call to another application.
        std::chrono::milliseconds callTimeout{300};
        // The whole read, retries included.
        std::chrono::milliseconds budget{1500};
        // How long to look again while no window is active, only where an
        // accessible application is known to be in front (GTK regains the
        // state shortly after a key grab ends). Otherwise no second look.
        // Where an application did not answer in time, until the budget ends.
        std::chrono::milliseconds activeWindowRetry{300};
        int maxDepth = 40;
        int maxNodes = 3000;
    };

    // The process that owns the window in front, where the display says it
    // (X11); it tells whether a focus record is stale.
    using FrontProcess = std::function<std::optional<quint32>()>;

    AtspiSelectionSource();
    explicit AtspiSelectionSource(Limits limits, FrontProcess frontProcess = {}, QObject *parent = nullptr);
    ~AtspiSelectionSource() override;

    QCoro::Task<Result> read() override;
    QCoro::Task<Result> readAfterRelease() override;

    // Turns accessibility on for the desktop; true when the bus answered.
    static QCoro::Task<bool> enableAccessibility(std::chrono::milliseconds timeout);
    // Whether accessibility is on (the "trusted" test of this platform).
    static QCoro::Task<bool> isEnabled(std::chrono::milliseconds timeout);

    using ObjectRef = AccessibleRef;

    // Connects to the accessibility bus and starts following focus events;
    // the first read does it too. Start early so applications report focus.
    QCoro::Task<bool> start();
    // Whether the last read found the focused object from a focus event
    // rather than by walking the window (for tests and diagnostics).
    bool lastReadUsedFocusEvent() const { return m_lastReadUsedFocusEvent; }
    // How often the last read after the release looked for an active window.
    int lastWalkCount() const { return m_lastWalkCount; }
    // Whether the last read at the press took the selection read when it
    // last changed (for tests and diagnostics).
    bool lastReadWasRemembered() const { return m_lastReadWasRemembered; }

private Q_SLOTS:
    void onStatusChanged(const QString &interface, const QVariantMap &changed,
                         const QStringList &invalidated);

private:
    QCoro::Task<std::optional<QDBusConnection>> connection();
    QCoro::Task<std::optional<Result>> readRecord(QDBusConnection bus);
    // What a walk of the active window saw besides its answer.
    struct Look {
        bool noActiveWindow = false;
        // An application did not answer in time.
        bool unanswered = false;
    };
    QCoro::Task<Result> readOnce(QDBusConnection bus, QDeadlineTimer deadline, Look &look);
    QCoro::Task<bool> frontApplicationKnown(QDBusConnection bus);
    void onSelectionChanged(const QString &service, const QString &path);
    void onTextChanged(const QString &service, const QString &path);
    QCoro::Task<void> followSelections();
    // The selection read after the object's last change, unless it has
    // changed again since.
    std::optional<Result> remembered(const ObjectRef &object) const;
    bool isRemembered(const ObjectRef &object) const;

    Limits m_limits;
    FrontProcess m_frontProcess;
    std::optional<QDBusConnection> m_bus;
    std::unique_ptr<AtspiFocusTracker> m_focus;
    bool m_lastReadUsedFocusEvent = false;
    bool m_lastReadWasRemembered = false;
    int m_lastWalkCount = 0;
    // The selections of the objects that last reported a change, as read
    // after it, the latest first; each goes with the next change it reports.
    struct Remembered {
        ObjectRef object;
        Result result;
    };
    QList<Remembered> m_remembered;
    // Objects whose change is still to be read, and the one being read.
    QList<ObjectRef> m_changed;
    std::optional<ObjectRef> m_reading;
    // The object that last reported a change of its selection: a page's
    // paragraph, while the page itself has the focus.
    std::optional<ObjectRef> m_lastSelectionChange;
    // The object being read reported another change meanwhile.
    bool m_readingChanged = false;
    // Whether accessibility is on, as last answered or announced by the
    // accessibility bus's launcher.
    std::optional<bool> m_accessibilityOn;
    // When read() last answered AfterRelease, having just heard that
    // accessibility is on.
    QElapsedTimer m_enabledAtPress;
};
