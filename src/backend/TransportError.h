#pragma once

#include "backend/Failure.h"

#include <QNetworkReply>

// A transfer that never produced an HTTP answer (refused, reset, timed out,
// TLS failure, cancelled). Keeps the network layer's own code and text.
class TransportError : public Failure {
public:
    TransportError(QNetworkReply::NetworkError error, QString errorString);

    QNetworkReply::NetworkError error() const { return m_error; }

private:
    QNetworkReply::NetworkError m_error;
};
