#pragma once

#include "platform/HotKeyService.h"

#include <QAbstractNativeEventFilter>
#include <QList>

// Global hot key through a passive key grab on the root window of the X
// server Qt is connected to. Used on X11 sessions only: through XWayland a
// grab fires only while an X11 window has the focus.
class X11HotKeyService : public HotKeyService, public QAbstractNativeEventFilter {
    Q_OBJECT

public:
    explicit X11HotKeyService(QObject *parent = nullptr);
    ~X11HotKeyService() override;

    // True on an X11 session with Qt's xcb platform.
    static bool isAvailable();

    void registerHotKey(const Chord &chord) override;
    void unregisterHotKey() override;
    bool isKeyHeld() const override { return m_keyDown; }

    // True when every lock-key variant of the current chord is grabbed.
    bool isFullyGrabbed() const { return m_registered && m_refusedVariants == 0; }

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result) override;

private:
    QList<unsigned int> lockVariants() const;

    quint8 m_keycode = 0;
    unsigned int m_modifiers = 0;
    unsigned int m_numLockMask = 0;
    unsigned int m_relevantModifiers = 0;
    bool m_registered = false;
    int m_refusedVariants = 0;
    bool m_keyDown = false;
    quint32 m_lastReleaseTime = 0;
};
