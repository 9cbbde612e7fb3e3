#include "platform/dbus/LocalSocketSingleInstance.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QStandardPaths>

#include <QCoroLocalSocket>

#include <unistd.h>

namespace {

constexpr std::chrono::seconds exchangeTimeout(10);

std::optional<std::pair<QStringList, QString>> decodeMessage(const QByteArray &line)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(line, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const QJsonObject object = document.object();
    const QJsonValue arguments = object.value(QStringLiteral("arguments"));
    const QJsonValue token = object.value(QStringLiteral("token"));
    if (!arguments.isArray() || !token.isString())
        return std::nullopt;
    QStringList list;
    for (const QJsonValue &argument : arguments.toArray()) {
        if (!argument.isString())
            return std::nullopt;
        list << argument.toString();
    }
    return std::make_pair(list, token.toString());
}

} // namespace

LocalSocketSingleInstance::LocalSocketSingleInstance(QString socketPath, QObject *parent)
    : SingleInstance(parent)
    , m_path(std::move(socketPath))
{
}

LocalSocketSingleInstance::~LocalSocketSingleInstance() = default;

QString LocalSocketSingleInstance::defaultSocketPath(const QString &name)
{
    QString directory = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (directory.isEmpty())
        directory = QDir::tempPath();
    return directory + QLatin1Char('/') + name + QStringLiteral("-%1.socket").arg(getuid());
}

QCoro::Task<SingleInstance::Role> LocalSocketSingleInstance::claim()
{
    {
        QLocalSocket probe;
        const bool connected =
            co_await qCoro(probe).connectToServer(m_path, QIODevice::ReadWrite, std::chrono::seconds(2));
        if (connected) {
            probe.abort();
            co_return Role::Secondary;
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
        auto buffer = std::make_shared<QByteArray>();
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, socket, [this, socket, buffer] {
            buffer->append(socket->readAll());
            if (buffer->size() > maximumMessage) {
                socket->abort();
                return;
            }
            const qsizetype end = buffer->indexOf('\n');
            if (end < 0)
                return;
            const auto message = decodeMessage(buffer->left(end));
            socket->write(message ? "ok\n" : "error\n");
            socket->disconnectFromServer();
            if (message)
                Q_EMIT activated(message->first, message->second);
        });
    }
}

QCoro::Task<bool> LocalSocketSingleInstance::forward(QStringList arguments, QString activationToken)
{
    QLocalSocket socket;
    const bool connected =
        co_await qCoro(socket).connectToServer(m_path, QIODevice::ReadWrite, exchangeTimeout);
    if (!connected)
        co_return false;
    QJsonObject message{{QStringLiteral("arguments"), QJsonArray::fromStringList(arguments)},
                        {QStringLiteral("token"), activationToken}};
    co_await qCoro(socket).write(QJsonDocument(message).toJson(QJsonDocument::Compact) + '\n');
    const QByteArray answer = co_await qCoro(socket).readLine(16, exchangeTimeout);
    co_return answer == "ok\n";
}
