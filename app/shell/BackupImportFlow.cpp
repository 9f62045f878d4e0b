#include "app/shell/BackupImportFlow.h"

#include "app/shell/BackgroundWork.h"
#include "app/shell/BackupImportJob.h"
#include "app/shell/MainScreenController.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/PhoneWindow.h"
#include "platform/ui/ProgressHUD.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>

BackupImportFlow::BackupImportFlow(MainScreenController* controller, QWidget* screen, QObject* parent)
    : QObject(parent), controller_(controller), screen_(screen), chooser_(desktopFolderChooser()),
      work_(new BackgroundWork(this)), resultBox_(new AlertView(QString(), QString(), nullptr, tr("OK"), {}, this)) {
    connect(controller_, &MainScreenController::backupSynced, this, &BackupImportFlow::synced);
}

BackupImportFlow::~BackupImportFlow() {
    quitting_->store(true);
    work_->waitForDone();
}

BackupImportFlow::FolderChooser BackupImportFlow::desktopFolderChooser() {
    return [](QWidget* parent) {
        // No DontUseNativeDialog: the desktop's own chooser, through its
        // portal where there is one.
        return QFileDialog::getExistingDirectory(parent, tr("Choose the folder of the iPhone backup"), QDir::homePath(),
                                                 QFileDialog::ShowDirsOnly);
    };
}

void BackupImportFlow::start() {
    if (running_) return;
    const QString chosen = chooser_(screen_);
    if (chosen.isEmpty()) return;
    running_ = true;
    const std::string folder = QFile::encodeName(chosen).toStdString();
    if (BackupImportJob::isEncrypted(folder))
        askPassword(folder);
    else
        importFolder(folder, std::nullopt, false);
}

void BackupImportFlow::askPassword(const std::string& folder) {
    QWidget* window = PhoneWindow::containing(screen_);
    passwordDialog_ = new BackupPasswordDialog(window ? window : screen_);
    passwordDialog_->setAttribute(Qt::WA_DeleteOnClose);
    connect(passwordDialog_, &BackupPasswordDialog::passwordChosen, this,
            [this, folder](const QString& password, bool remember) {
                importFolder(folder, password.toStdString(), remember);
            });
    connect(passwordDialog_, &QDialog::rejected, this, [this] { running_ = false; });
    passwordDialog_->open();
}

void BackupImportFlow::importFolder(const std::string& folder, std::optional<std::string> password,
                                    bool rememberPassword) {
    showStep(tr("Importing the backup. Please wait."));
    keyringNote_.clear();
    work_->run<BackupImportJob::Result>(
        [folder, password = std::move(password), rememberPassword, quitting = quitting_] {
            return BackupImportJob::importFolder(
                folder, password, [quitting] { return quitting->load(); }, rememberPassword);
        },
        [this](BackupImportJob::Result result) { imported(result); });
}

void BackupImportFlow::imported(const BackupImportJob::Result& result) {
    if (!result.imported) return finish(tr("Import iPhone Backup"), QString::fromStdString(result.error));
    if (result.passwordRemembered)
        keyringNote_ =
            tr("The password is remembered in the keyring: the next backups of this iPhone are counted "
               "by themselves.");
    else if (!result.keyringError.empty())
        keyringNote_ =
            tr("The keyring did not keep the password (%1).").arg(QString::fromStdString(result.keyringError));
    showStep(tr("Counting the new messages. Please wait."));
    awaitingSync_ = true;
    controller_->syncImportedBackup(result.storedBefore);
}

void BackupImportFlow::synced(std::optional<int> newMessages) {
    // The controller's sync of an activation is none of this flow's.
    if (!awaitingSync_) return;
    awaitingSync_ = false;
    // A failed sync has told its error code already, in the main screen's
    // alert; this one says the import itself stands.
    if (!newMessages)
        return finish(tr("Import iPhone Backup"),
                      tr("The backup was imported, but its messages could not be counted."));
    QString message = tr("New messages counted: %1").arg(*newMessages);
    if (!keyringNote_.isEmpty()) message += QStringLiteral("\n\n") + keyringNote_;
    finish(tr("Import iPhone Backup"), message);
}

void BackupImportFlow::showStep(const QString& text) {
    if (!hud_) {
        QWidget* window = PhoneWindow::containing(screen_);
        hud_ = new ProgressHUD(window ? window : screen_);
        hud_->show(text);
        return;
    }
    hud_->setText(text);
}

void BackupImportFlow::finish(const QString& title, const QString& message) {
    running_ = false;
    if (hud_) {
        hud_->hide();
        hud_->deleteLater();
        hud_ = nullptr;
    }
    resultBox_->setTitle(title);
    resultBox_->setMessage(message);
    resultBox_->show();
}
