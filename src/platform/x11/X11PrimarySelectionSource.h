#pragma once

#include "platform/SelectionSource.h"

#include <QAbstractNativeEventFilter>
#include <QObject>

#include <chrono>

// Reads the X11 PRIMARY selection, but only when the selection belongs to the
// X client of the active window: a selection left behind by some other window
// is not what the user is looking at.
class X11PrimarySelectionSource : public QObject, public SelectionSource, public QAbstractNativeEventFilter {
    Q_OBJECT

public:
    explicit X11PrimarySelectionSource(QObject *parent = nullptr);
    ~X11PrimarySelectionSource() override;

    static bool isAvailable();

    QCoro::Task<Result> read() override;

    // How long the owner has to answer the conversion.
    void setTimeout(std::chrono::milliseconds timeout) { m_timeout = timeout; }
    // Larger selections are refused (a word or phrase is wanted).
    static constexpr quint32 maxBytes = 1 << 20;

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result) override;

Q_SIGNALS:
    void selectionNotified(quint32 property);

private:
    quint32 ensureWindow();

    quint32 m_window = 0;
    quint32 m_property = 0;
    std::chrono::milliseconds m_timeout{500};
};
