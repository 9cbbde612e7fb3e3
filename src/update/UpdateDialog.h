#pragma once

#include "update/UpdateCheckResult.h"

#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QUrl>

#include <functional>

// The small window that answers an update check: up to date, a newer release
// with its notes and a button to its download page, or why the check failed.
// One window, reused; it never blocks the event loop.
class UpdateDialog : public QObject {
    Q_OBJECT
public:
    using UrlOpener = std::function<void(const QUrl &)>;

    explicit UpdateDialog(UrlOpener openUrl, QObject *parent = nullptr);
    ~UpdateDialog() override;

    void showResult(const UpdateCheckResult &result);
    QMessageBox *box() const { return m_box; }

private:
    UrlOpener m_openUrl;
    QPointer<QMessageBox> m_box;
};
