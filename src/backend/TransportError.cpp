#include "backend/TransportError.h"

TransportError::TransportError(QNetworkReply::NetworkError error, QString errorString)
    : Failure(std::move(errorString))
    , m_error(error)
{
}
