#include "update/UpdateDialog.h"

#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

UpdateDialog::UpdateDialog(UrlOpener openUrl, QObject *parent)
    : QObject(parent)
    , m_openUrl(std::move(openUrl))
{
}

UpdateDialog::~UpdateDialog()
{
    delete m_box;
}

void UpdateDialog::showResult(const UpdateCheckResult &result)
{
    delete m_box;
    m_box = new QMessageBox();
    m_box->setAttribute(Qt::WA_DeleteOnClose);
    m_box->setWindowTitle(tr("Software Update"));
    m_box->setTextFormat(Qt::PlainText);
    switch (result.kind) {
    case UpdateCheckResult::Kind::UpdateAvailable: {
        m_box->setIcon(QMessageBox::Information);
        m_box->setText(tr("A new version of Vocarta Menubar is available!"));
        QString details = //: %1 is the new version, %2 the version installed.
            tr("Vocarta Menubar %1 is now available; you have %2.")
                .arg(result.newest.displayVersion, result.currentVersion);
        if (!result.newest.notes.isEmpty())
            details += QStringLiteral("\n\n") + result.newest.notes;
        m_box->setInformativeText(details);
        QPushButton *download = m_box->addButton(tr("Download..."), QMessageBox::AcceptRole);
        m_box->addButton(tr("Later"), QMessageBox::RejectRole);
        m_box->setDefaultButton(download);
        const QUrl page = result.newest.downloadPage;
        connect(download, &QPushButton::clicked, this, [this, page] {
            if (m_openUrl)
                m_openUrl(page);
        });
        break;
    }
    case UpdateCheckResult::Kind::UpToDate:
        m_box->setIcon(QMessageBox::Information);
        m_box->setText(tr("You're up to date!"));
        m_box->setInformativeText(
            //: %1 is the version installed.
            tr("Vocarta Menubar %1 is currently the newest version available.").arg(result.currentVersion));
        m_box->addButton(QMessageBox::Ok);
        break;
    case UpdateCheckResult::Kind::Failed:
        m_box->setIcon(QMessageBox::Warning);
        m_box->setText(tr("Update Error!"));
        m_box->setInformativeText(result.error);
        m_box->addButton(QMessageBox::Ok);
        break;
    }
    // The box's text format covers its main text only; the notes and the
    // error in the informative text come from the feed and must not be read
    // as markup either.
    for (QLabel *label : m_box->findChildren<QLabel *>())
        label->setTextFormat(Qt::PlainText);
    m_box->show();
    m_box->raise();
    m_box->activateWindow();
}
