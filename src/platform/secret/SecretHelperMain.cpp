// vocarta-secret-helper: does one operation on the desktop's secret store for
// the program (see HelperSecretStore) and ends. The request comes on standard
// input, the answer goes to standard output; a request that does not parse
// gets no answer and exit status 2.
#include "platform/secret/LibsecretStore.h"
#include "platform/secret/SecretHelperProtocol.h"

#include <QCoreApplication>
#include <QFile>

#include <QCoroTask>

#include <cstdio>

namespace {

using SecretHelperProtocol::Answer;
using SecretHelperProtocol::Operation;
using SecretHelperProtocol::Request;

QCoro::Task<Answer> carryOut(LibsecretStore &store, Request request)
{
    Answer answer;
    switch (request.operation) {
    case Operation::Save:
        co_await store.save(request.service, request.account, request.value, request.label);
        answer.status = Answer::Status::Done;
        break;
    case Operation::Load:
        if (std::optional<QString> value = co_await store.load(request.service, request.account)) {
            answer.status = Answer::Status::Found;
            answer.text = *value;
        } else {
            answer.status = Answer::Status::Missing;
        }
        break;
    case Operation::Remove:
        co_await store.remove(request.service, request.account);
        answer.status = Answer::Status::Done;
        break;
    }
    if (store.failure())
        answer = Answer{Answer::Status::Unavailable, *store.failure()};
    co_return answer;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QFile input;
    if (!input.open(stdin, QIODevice::ReadOnly))
        return 2;
    const std::optional<Request> request =
        SecretHelperProtocol::parseRequest(input.read(SecretHelperProtocol::maximumSize + 1));
    if (!request) {
        std::fputs("vocarta-secret-helper: the request does not parse\n", stderr);
        return 2;
    }
    LibsecretStore store;
    QByteArray answer;
    carryOut(store, *request).then([&](const Answer &result) {
        answer = SecretHelperProtocol::encode(result);
        QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit,
                                  Qt::QueuedConnection);
    });
    QCoreApplication::exec();
    QFile output;
    if (!output.open(stdout, QIODevice::WriteOnly) || output.write(answer) != answer.size() ||
        !output.flush())
        return 1;
    return 0;
}
