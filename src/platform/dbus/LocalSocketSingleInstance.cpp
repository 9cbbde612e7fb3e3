#include "platform/dbus/LocalSocketSingleInstance.h"

#include "platform/dbus/SingleInstanceMessage.h"
#include "platform/posix/PeerCredentials.h"
#include "platform/posix/PrivateDirectory.h"

#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>

#include <QCoroLocalSocket>

#include <unistd.h>

namespace {

constexpr std::chrono::seconds exchangeTimeout(10);

// A missing socket or one nobody listens on fails at once; only a listener
// slow to accept (a full backlog) is waited for.
QCoro::Task<bool> connectTo(QLocalSocket &socket, const QString &path, std::chrono::milliseconds timeout)
{
    socket.connectToServer(path);
    if (socket.state() == QLocalSocket::ConnectingState)
        co_return co_await qCoro(socket).waitForConnected(timeout);
    co_return socket.state() == QLocalSocket::ConnectedState;
}

} // namespace

LocalSocketSingleInstance::LocalSocketSingleInstance(QString socketPath, QObject *parent)
    : LocalSocketSingleInstance(std::move(socketPath), ::getuid(), parent)
{
}

LocalSocketSingleInstance::LocalSocketSingleInstance(QString socketPath, uid_t peerUser, QObject *parent)
    : SingleInstance(parent)
    , m_path(std::move(socketPath))
    , m_user(peerUser)
{
}

LocalSocketSingleInstance::~LocalSocketSingleInstance() = default;

QString LocalSocketSingleInstance::defaultSocketPath(const QString &name)
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir::isAbsolutePath(runtime) && PrivateDirectory::ensure(runtime, ::getuid()))
        return runtime + QLatin1Char('/') + name + QStringLiteral(".socket");
    // The shared temporary directory only ever holds our private directory;
    // claim() and forward() refuse it unless it is ours alone.
    return QDir::tempPath() + QLatin1Char('/') + name + QStringLiteral("-%1/instance.socket").arg(::getuid());
}

bool LocalSocketSingleInstance::directoryIsPrivate() const
{
    return PrivateDirectory::ensure(QFileInfo(m_path).absolutePath(), ::getuid());
}

QCoro::Task<SingleInstance::Role> LocalSocketSingleInstance::claim()
{
    if (!directoryIsPrivate())
        co_return Role::Unavailable;
    {
        QLocalSocket probe;
        const bool connected = co_await connectTo(probe, m_path, std::chrono::seconds(2));
        if (connected) {
            const bool ours = PeerCredentials::userOf(probe.socketDescriptor()) == m_user;
            probe.abort();
            co_return ours ? Role::Secondary : Role::Unavailable;
        }
    }
    // Nobody answers: a socket file left by a copy that crashed is taken over.
    QLocalServer::removeServer(m_path);
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(m_path))
        co_return Role::Unavailable;
    connect(m_server, &QLocalServer::newConnection, this, &LocalSocketSingleInstance::onConnection);
    co_return Role::Primary;
}

void LocalSocketSingleInstance::onConnection()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        socket->setParent(this);
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        if (PeerCredentials::userOf(socket->socketDescriptor()) != m_user) {
            // Answered, not cut off: the caller learns at once that nothing was taken.
            socket->write("error\n");
            socket->disconnectFromServer();
            continue;
        }
        auto buffer = std::make_shared<QByteArray>();
        connect(socket, &QLocalSocket::readyRead, socket, [this, socket, buffer] {
            buffer->append(socket->readAll());
            const qsizetype end = buffer->indexOf('\n');
            if (end < 0 && buffer->size() > SingleInstanceMessage::maximumSize) {
                socket->abort();
                return;
            }
            if (end < 0)
                return;
            const auto message = SingleInstanceMessage::decode(buffer->left(end));
            socket->write(message ? "ok\n" : "error\n");
            socket->disconnectFromServer();
            if (message)
                Q_EMIT activated(message->arguments, message->activationToken);
        });
    }
}

QCoro::Task<SingleInstance::Delivery> LocalSocketSingleInstance::forward(QStringList arguments,
                                                                         QString activationToken)
{
    if (!directoryIsPrivate())
        co_return Delivery::Failed;
    QLocalSocket socket;
    const bool connected = co_await connectTo(socket, m_path, exchangeTimeout);
    if (!connected) {
        const auto error = socket.error();
        co_return error == QLocalSocket::ServerNotFoundError || error == QLocalSocket::ConnectionRefusedError
            ? Delivery::NoCopy
            : Delivery::Failed;
    }
    // A callback URL may carry tokens: only a listener of this user gets it.
    if (PeerCredentials::userOf(socket.socketDescriptor()) != m_user)
        co_return Delivery::Failed;
    // Buffered, not awaited: a listener that refuses closes before it has read it all.
    socket.write(SingleInstanceMessage{arguments, activationToken}.encode());
    const QByteArray answer = co_await qCoro(socket).readLine(16, exchangeTimeout);
    co_return answer == "ok\n" ? Delivery::Delivered : Delivery::Failed;
}
