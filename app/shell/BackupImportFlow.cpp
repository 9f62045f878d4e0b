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
#include <QInputDialog>
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
        importFolder(folder, std::nullopt);
}

void BackupImportFlow::askPassword(const std::string& folder) {
    QWidget* window = PhoneWindow::containing(screen_);
    passwordDialog_ = new QInputDialog(window ? window : screen_);
    passwordDialog_->setAttribute(Qt::WA_DeleteOnClose);
    passwordDialog_->setWindowTitle(tr("Encrypted Backup"));
    passwordDialog_->setLabelText(tr("This backup is encrypted. Enter the backup password:"));
    passwordDialog_->setTextEchoMode(QLineEdit::Password);
    passwordDialog_->setOkButtonText(tr("Import"));
    passwordDialog_->setCancelButtonText(tr("Cancel"));
    connect(passwordDialog_, &QInputDialog::textValueSelected, this, [this, folder](const QString& password) {
        importFolder(folder, password.toStdString());
        // The dialog goes on close; its field need not keep the
        // password until then.
        if (passwordDialog_) passwordDialog_->setTextValue(QString());
    });
    connect(passwordDialog_, &QDialog::rejected, this, [this] { running_ = false; });
    passwordDialog_->open();
}

void BackupImportFlow::importFolder(const std::string& folder, std::optional<std::string> password) {
    showStep(tr("Importing the backup. Please wait."));
    work_->run<BackupImportJob::Result>(
        [folder, password = std::move(password), quitting = quitting_] {
            return BackupImportJob::importFolder(folder, password, [quitting] { return quitting->load(); });
        },
        [this](BackupImportJob::Result result) { imported(result); });
}

void BackupImportFlow::imported(const BackupImportJob::Result& result) {
    if (!result.imported) return finish(tr("Import iPhone Backup"), QString::fromStdString(result.error));
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
    finish(tr("Import iPhone Backup"), tr("New messages counted: %1").arg(*newMessages));
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
