#pragma once

#include "app/shell/BackupImportJob.h"
#include "app/shell/BackupPasswordDialog.h"
#include "platform/ui/ProgressHUD.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class AlertView;
class BackgroundWork;
class MainScreenController;
class QWidget;

// "Import iPhone Backup", from the main screen's empty state or the
// preferences: the desktop's folder chooser, the backup password when the
// backup is encrypted, the import off the UI thread under the progress
// overlay with the step it is on, the main screen controller's sync, and
// an alert with how many new messages were counted (or why nothing was).
class BackupImportFlow : public QObject {
    Q_OBJECT

public:
    // Asks for the backup folder over `parent`; empty when the user cancels.
    using FolderChooser = std::function<QString(QWidget* parent)>;

    // `screen` is what the dialogs and the overlay show over.
    BackupImportFlow(MainScreenController* controller, QWidget* screen, QObject* parent = nullptr);
    ~BackupImportFlow() override;

    // The desktop's own folder dialog unless a test puts another in.
    void setFolderChooser(FolderChooser chooser) { chooser_ = std::move(chooser); }
    static FolderChooser desktopFolderChooser();

    // Starts with the folder chooser; ignored while an import is under way.
    void start();
    bool isRunning() const { return running_; }

    // What is on the screen while it runs, for the tests and the pictures.
    BackupPasswordDialog* passwordDialog() const { return passwordDialog_; }
    ProgressHUD* progress() const { return hud_; }
    AlertView* resultBox() const { return resultBox_; }

private:
    void askPassword(const std::string& folder);
    void importFolder(const std::string& folder, std::optional<std::string> password, bool rememberPassword);
    void imported(const BackupImportJob::Result& result);
    void synced(std::optional<int> newMessages);
    void finish(const QString& title, const QString& message);
    void showStep(const QString& text);

    MainScreenController* controller_;
    QWidget* screen_;
    FolderChooser chooser_;
    BackgroundWork* work_;
    AlertView* resultBox_;
    QPointer<BackupPasswordDialog> passwordDialog_;
    QPointer<ProgressHUD> hud_;
    // Set when the app quits under an import, which then rolls back rather
    // than keep the quit waiting for a large copy.
    std::shared_ptr<std::atomic_bool> quitting_ = std::make_shared<std::atomic_bool>(false);
    bool running_ = false;
    bool awaitingSync_ = false;
    // What became of a password the user asked to remember, for the last alert.
    QString keyringNote_;
};
