#pragma once

#include <QObject>
#include <QString>

#include <QCoroTask>

#include <memory>

// Whether the program starts when the user logs in. The settings window shows
// it as a switch: it reads the current state each time it is shown (the user
// may have changed it in the desktop's own settings meanwhile) and asks for a
// change, which takes effect when the desktop has agreed.
class Autostart : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool enabled READ isEnabled NOTIFY enabledChanged)

public:
    ~Autostart() override;

    bool isEnabled() const { return m_enabled; }

    // Reads the state again from where it is kept.
    Q_INVOKABLE void refresh();
    // For the view: asks for the change and returns at once.
    Q_INVOKABLE void setEnabled(bool on);
    // Asks for the change; gives the state that holds afterwards.
    QCoro::Task<bool> change(bool on);

    // The mechanism of this system: the Background portal inside a Flatpak
    // sandbox (where the desktop's autostart folder is out of reach), else an
    // entry in the XDG autostart folder that starts `program --autostart`.
    static std::unique_ptr<Autostart> create(const QString &program);

Q_SIGNALS:
    void enabledChanged();

protected:
    explicit Autostart(QObject *parent = nullptr);

    virtual bool read() const = 0;
    // Makes the change; returns the state that holds afterwards.
    virtual QCoro::Task<bool> write(bool on) = 0;

private:
    void update(bool enabled);

    bool m_enabled = false;
};
