#pragma once

#include "platform/HotKeyService.h"

#include <QCoroTask>

#include <chrono>
#include <memory>
#include <optional>

// The hot-key service of this desktop, chosen once at run time: the desktop
// portal's global shortcuts where the session bus offers them, else an X11
// key grab on an X11 session, else none (said once; `--capture` remains).
// Registrations made before the choice is known are applied once it is.
class SystemHotKeyService : public HotKeyService {
    Q_OBJECT

public:
    explicit SystemHotKeyService(QObject *parent = nullptr);
    ~SystemHotKeyService() override;

    void registerHotKey(const Chord &chord) override;
    void unregisterHotKey() override;
    bool isKeyHeld() const override { return m_backend && m_backend->isKeyHeld(); }

    // Which mechanism is in use: "portal", "x11", "none", or empty while choosing.
    QString mechanism() const { return m_mechanism; }

    static inline const QString noMechanismMessage =
        QStringLiteral("[Vocarta] This desktop offers no global shortcut to programs. Bind the command "
                       "\"vocarta-menubar --capture\" to a key in the desktop's keyboard settings instead.");

private:
    QCoro::Task<void> choose();
    void adopt(std::unique_ptr<HotKeyService> backend, const QString &mechanism);

    std::unique_ptr<HotKeyService> m_backend;
    QString m_mechanism;
    bool m_choosing = false;
    std::optional<Chord> m_wanted;
};
