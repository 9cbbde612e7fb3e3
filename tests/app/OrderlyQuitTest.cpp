#include "app/OrderlyQuit.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <QtTest>

#include <QCoroTimer>

namespace {

// A secret-store write that ends after `delay`, or never.
QCoro::Task<void> write(bool *done, std::optional<std::chrono::milliseconds> delay)
{
    QTimer timer;
    timer.setSingleShot(true);
    timer.start(delay.value_or(std::chrono::hours(1)));
    co_await qCoro(timer).waitForTimeout();
    *done = true;
}

} // namespace

class OrderlyQuitTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The desktop session's end comes as a Quit event (XSMP "die"); it must
    // wait for the writes as the quit item and SIGTERM do, but not for ever.
    void quitEventWaitsForTheWrites_data()
    {
        QTest::addColumn<bool>("writesEnd");
        QTest::newRow("the writes end") << true;
        QTest::newRow("the writes hang: the bound ends the wait") << false;
    }
    void quitEventWaitsForTheWrites()
    {
        QFETCH(bool, writesEnd);
        bool written = false;
        OrderlyQuit quit(writesEnd ? std::chrono::milliseconds(std::chrono::minutes(5))
                                   : std::chrono::milliseconds(200));
        quit.setWrites([&written, writesEnd] {
            return write(&written, writesEnd ? std::optional(std::chrono::milliseconds(100)) : std::nullopt);
        });
        QTimer::singleShot(0, qApp, [] {
            QEvent die(QEvent::Quit);
            QCoreApplication::sendEvent(qApp, &die);
        });
        QCOMPARE(QCoreApplication::exec(), 0);
        QCOMPARE(written, writesEnd);
    }
};

QTEST_GUILESS_MAIN(OrderlyQuitTest)
#include "OrderlyQuitTest.moc"
