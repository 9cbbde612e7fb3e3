#pragma once

#include <QByteArray>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <chrono>
#include <coroutine>
#include <deque>
#include <memory>
#include <optional>

class QObject;
class QWebSocket;

// One sync connection's socket, turned into something coroutines can await:
// the opening handshake, and the stream of received frames ending in exactly
// one Ended event. The QWebSocket is a child of the given owner (so the owner
// can count and tear down its sockets); this wrapper is shared with the
// coroutines that await it, so a late resumption never touches freed memory.
class SyncSocket : public std::enable_shared_from_this<SyncSocket> {
public:
    struct Event {
        enum class Kind { Text, Binary, Ended };
        Kind kind;
        QString text;    // Text frames; Ended: why the socket ended
        QByteArray data; // Binary frames
    };

    // Starts opening a socket to `url`; a handshake not done within
    // `handshakeTimeout` ends the socket (a server that accepts and then says
    // nothing must not leave the client connecting forever).
    static std::shared_ptr<SyncSocket> open(const QUrl &url, QObject *owner,
                                            std::chrono::milliseconds handshakeTimeout);
    ~SyncSocket();
    SyncSocket(const SyncSocket &) = delete;
    SyncSocket &operator=(const SyncSocket &) = delete;

    bool isOpen() const;
    bool hasEnded() const { return m_ended; }
    QString endDescription() const { return m_endDescription; }

    // Hands one text frame to the socket; false (with endDescription()) when it cannot.
    bool sendText(const QString &text, QString *failure);

    // Ends the socket at once without a closing handshake (a failed attempt).
    void abort();
    // The same, for a reason of the client's own, which becomes endDescription().
    void abortWith(const QString &reason);
    // Ends the socket with a normal close and forgets it: no more events are delivered.
    void discard();

    struct OpenAwaiter {
        std::shared_ptr<SyncSocket> socket;
        bool await_ready() const noexcept { return socket->m_opened || socket->m_ended; }
        void await_suspend(std::coroutine_handle<> handle) noexcept { socket->m_openWaiter = handle; }
        // True when the socket is open for sending.
        bool await_resume() const noexcept { return socket->isOpen(); }
    };
    // Completes once the handshake succeeded or the socket ended.
    OpenAwaiter untilOpen() { return OpenAwaiter{shared_from_this()}; }

    struct EventAwaiter {
        std::shared_ptr<SyncSocket> socket;
        bool await_ready() const noexcept { return !socket->m_events.empty(); }
        void await_suspend(std::coroutine_handle<> handle) noexcept { socket->m_eventWaiter = handle; }
        Event await_resume() { return socket->takeEvent(); }
    };
    // The next received frame, or Ended (repeated for every later call).
    EventAwaiter nextEvent() { return EventAwaiter{shared_from_this()}; }

private:
    SyncSocket() = default;
    void attach(QWebSocket *socket);
    void onConnected();
    void onHandshakeTimeout();
    void onError();
    void onEnded();
    void push(Event event);
    Event takeEvent();
    void wakeOpenWaiter();
    void wakeEventWaiter();

    QPointer<QWebSocket> m_socket;
    bool m_opened = false;
    bool m_ended = false;
    QString m_error;
    QString m_endDescription;
    std::deque<Event> m_events;
    std::coroutine_handle<> m_openWaiter;
    std::coroutine_handle<> m_eventWaiter;
};
