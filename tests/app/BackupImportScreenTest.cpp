// The way in for a user who has only their iPhone: the empty main screen of
// a first start, and "Import iPhone Backup" from it and from the
// preferences, driven through what the screens show.
#include "GermanTranslations.h"
#include "ScreenDriver.h"

#include "app/filters/PreferencesViewController.h"
#include "app/shell/BackgroundWork.h"
#include "app/shell/BackupImportFlow.h"
#include "app/shell/BackupImportJob.h"
#include "support/ScopedEnvironment.h"
#include "tools/BackupScenario.h"
#include "tools/fixtures/BackupEncryptor.h"
#include "tools/phone/BackupOrigin.h"
#include "tools/phone/BackupSnapshot.h"

#include <QDialogButtonBox>
#include <QCheckBox>
#include <QPushButton>

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace backup_scenario;

namespace {

// Standard error of this process while it lives, kept in `path` and read
// back as text.
class StderrCapture {
public:
    explicit StderrCapture(std::string path) : path_(std::move(path)) {
        std::fflush(stderr);
        saved_ = ::dup(STDERR_FILENO);
        const int file = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(file, STDERR_FILENO);
        ::close(file);
    }
    ~StderrCapture() { restore(); }
    std::string text() {
        restore();
        return slurp(path_);
    }

private:
    void restore() {
        if (saved_ < 0) return;
        std::fflush(stderr);
        ::dup2(saved_, STDERR_FILENO);
        ::close(saved_);
        saved_ = -1;
    }
    std::string path_;
    int saved_ = -1;
};

class BackupImportScreenTest : public ::testing::Test {
protected:
    void TearDown() override { BackgroundWork::holdResultsForTesting(false); }

    // The folder chooser answers with `folder` (empty: the user cancelled).
    void chooseFolder(const std::string& folder) {
        app_.root().backupImport().setFolderChooser([folder](QWidget*) { return QString::fromStdString(folder); });
    }
    // Without waiting for counts: a held sync is one.
    BackupImportFlow& flow() { return app_.delegate().rootViewController()->backupImport(); }
    // Until the flow has ended with its alert; the alert's message.
    QString finalMessage() {
        EXPECT_TRUE(QTest::qWaitFor([this] { return !flow().isRunning(); }, 20000)) << "the import never ended";
        app_.waitForCounts();
        return AlertView::lastShownMessage();
    }
    PreferencesViewController* openPreferences() {
        drive_.tapLeft();  // the gears
        return drive_.top<PreferencesViewController>();
    }
    void tapImportRow(PreferencesViewController& screen) {
        drive_.tapRow(*screen.tableView(), {0, PreferencesViewController::kImportBackupRow});
    }
    bool showsEmptyState() {
        RootViewController& root = app_.root();
        return root.noPhoneDataLabel()->isVisible() && root.importButton()->isVisible() &&
               !root.filterTableView()->isVisible();
    }
    QString hudText() { return flow().progress() ? flow().progress()->text() : QString(); }

    TempDeviceRoot backups_;
    std::string parent_ = backups_.path() + "/iphone-backup";
    AppHarness app_{AppHarness::FreshHome{}};
    ScreenDriver drive_{app_};
};

}  // namespace

TEST_F(BackupImportScreenTest, AFirstStartWithoutAPhoneShowsAnEmptyScreenThatOffersTheImport) {
    StderrCapture errors(backups_.path() + "/stderr.txt");
    app_.launch();
    app_.goToBackground();
    emit app_.window().activated();
    app_.waitForCounts();
    const std::string said = errors.text();

    // No alert, and nothing on standard error about files that were never there.
    EXPECT_EQ(AlertView::shownCountForTesting(), 0) << AlertView::lastShownMessage().toStdString();
    EXPECT_EQ(said.find("unable to open"), std::string::npos) << said;
    EXPECT_EQ(said.find("Brindlex"), std::string::npos) << said;
    EXPECT_TRUE(showsEmptyState());
    EXPECT_EQ(app_.root().noPhoneDataLabel()->text(), "No messages yet: import a backup of your iPhone.");
    EXPECT_EQ(app_.root().importButton()->text(), "Import iPhone Backup");
    // Chart and Report have nothing to show yet.
    for (QPushButton* button : app_.root().findChildren<QPushButton*>()) {
        if (button != app_.root().importButton()) {
            EXPECT_FALSE(button->isVisible()) << button->text().toStdString();
        }
    }
    // The first start wrote nothing into the home either.
    EXPECT_FALSE(fs::exists(DevicePaths::root()));
    app_.screenshot("no-phone-data");

    // A cancelled chooser starts nothing.
    chooseFolder("");
    drive_.tap(app_.root().importButton());
    EXPECT_FALSE(flow().isRunning());
    EXPECT_EQ(AlertView::shownCountForTesting(), 0);
}

TEST_F(BackupImportScreenTest, TheImportShowsEachStepThenHowManyNewMessagesWereCounted) {
    make(parent_, kPhoneA, {.messageCount = 3});
    app_.setNow(kFirstDate + 3600);
    app_.launch();
    chooseFolder(parent_);

    // Held back, each step's answer leaves its text on the overlay to be read.
    BackgroundWork::holdResultsForTesting(true);
    drive_.tap(app_.root().importButton());
    ASSERT_TRUE(QTest::qWaitFor([] { return BackgroundWork::heldResultCountForTesting() == 1; }, 20000));
    EXPECT_EQ(hudText(), "Importing the backup. Please wait.");
    app_.screenshot("import-progress");
    // Handing the import's answer over ends the holding; the sync it starts
    // answers later, through the event loop, and is held again.
    BackgroundWork::releaseHeldResultsNewestFirstForTesting();
    BackgroundWork::holdResultsForTesting(true);
    ASSERT_TRUE(QTest::qWaitFor([] { return BackgroundWork::heldResultCountForTesting() == 1; }, 20000));
    EXPECT_EQ(hudText(), "Counting the new messages. Please wait.");
    EXPECT_EQ(AlertView::shownCountForTesting(), 0) << "no result before the count";
    BackgroundWork::releaseHeldResultsNewestFirstForTesting();

    EXPECT_EQ(finalMessage(), "New messages counted: 3");
    EXPECT_EQ(AlertView::shownCountForTesting(), 1);
    EXPECT_TRUE(QTest::qWaitFor([this] { return !hudText().size(); }, uiwait::timeoutMs)) << "the overlay stayed";
    // The main screen now shows the phone's period and its count.
    EXPECT_FALSE(showsEmptyState());
    EXPECT_TRUE(app_.root().filterTableView()->isVisible());
    EXPECT_EQ(app_.shownValue("Total Messages"), "3");
    app_.screenshot("after-import");
}

TEST_F(BackupImportScreenTest, ThePreferencesRowImportsOnceAndSaysWhyWhenItCannot) {
    make(parent_, kPhoneA, {.messageCount = 4});
    app_.launch();
    PreferencesViewController* preferences = openPreferences();
    ASSERT_TRUE(preferences);
    EXPECT_EQ(drive_.text(*preferences->tableView(), {0, PreferencesViewController::kImportBackupRow}),
              "Import iPhone Backup");
    app_.screenshot("preferences-import-row");

    // A folder without a backup: the import's own reason, and still no phone.
    fs::create_directories(backups_.path() + "/photos");
    chooseFolder(backups_.path() + "/photos");
    tapImportRow(*preferences);
    EXPECT_TRUE(finalMessage().contains("holds no iPhone backup")) << AlertView::lastShownMessage().toStdString();
    EXPECT_FALSE(fs::exists(DevicePaths::smsDatabase()));

    chooseFolder(parent_);
    tapImportRow(*preferences);
    EXPECT_EQ(finalMessage(), "New messages counted: 4");
    // The same backup again: the same phone, nothing counted twice.
    tapImportRow(*preferences);
    EXPECT_EQ(finalMessage(), "New messages counted: 0");
    drive_.tapBack();
    EXPECT_FALSE(showsEmptyState());
}

// The count said is the backup's, however the syncs fall: here an
// activation's sync copies the new messages before the import's own sync
// gets to them.
TEST_F(BackupImportScreenTest, ANewerBackupCountsItsNewMessagesEvenWhenAnotherSyncCopiedThemFirst) {
    app_.setNow(kFirstDate + 3600);
    app_.launch();
    chooseFolder(make(parent_ + "/monday", kPhoneA, {.messageCount = 3}).folder());
    drive_.tap(app_.root().importButton());
    ASSERT_EQ(finalMessage(), "New messages counted: 3");

    chooseFolder(make(parent_ + "/friday", kPhoneA, {.messageCount = 5}).folder());
    BackgroundWork::holdResultsForTesting(true);
    PreferencesViewController* preferences = openPreferences();
    ASSERT_TRUE(preferences);
    tapImportRow(*preferences);
    ASSERT_TRUE(QTest::qWaitFor([] { return BackgroundWork::heldResultCountForTesting() == 1; }, 20000));
    emit app_.window().activated();
    ASSERT_TRUE(QTest::qWaitFor([] { return BackgroundWork::heldResultCountForTesting() == 2; }, 20000));
    // The activation's sync is handed over first, then the import's answer.
    BackgroundWork::releaseHeldResultsNewestFirstForTesting();
    EXPECT_EQ(finalMessage(), "New messages counted: 2");
    drive_.tapBack();
    EXPECT_EQ(app_.shownValue("Total Messages"), "5");
}

TEST_F(BackupImportScreenTest, AnEncryptedBackupAsksForItsPasswordAndImportsWithTheRightOne) {
    BackupFixture encrypted = make(parent_, kPhoneA, {.messageCount = 3});
    std::string error;
    ASSERT_TRUE(BackupEncryptor::encrypt(encrypted.folder(), {.password = "correct horse battery"}, &error)) << error;
    app_.launch();
    chooseFolder(parent_);
    auto enterPassword = [this](const char* password, bool remember = false) {
        drive_.tap(app_.root().importButton());
        EXPECT_TRUE(QTest::qWaitFor([this] { return flow().passwordDialog() && flow().passwordDialog()->isVisible(); },
                                    uiwait::timeoutMs));
        BackupPasswordDialog* dialog = flow().passwordDialog();
        if (!dialog) return;
        EXPECT_FALSE(dialog->rememberBox()->isChecked()) << "nothing is kept unless asked for";
        if (remember) dialog->rememberBox()->click();
        auto* field = dialog->findChild<QLineEdit*>();
        ASSERT_TRUE(field);
        EXPECT_EQ(field->echoMode(), QLineEdit::Password);
        QTest::keyClicks(field, password);
        QPushButton* ok = dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
        ASSERT_TRUE(ok);
        EXPECT_EQ(ok->text(), "Import");
        ok->click();
    };

    // Cancelled: nothing imported, nothing said.
    drive_.tap(app_.root().importButton());
    ASSERT_TRUE(QTest::qWaitFor([this] { return flow().passwordDialog() && flow().passwordDialog()->isVisible(); },
                                uiwait::timeoutMs));
    EXPECT_EQ(flow().passwordDialog()->labelText(), "This backup is encrypted. Enter the backup password:");
    flow().passwordDialog()->grab().save(QStringLiteral(BRINDLEX_SCREENSHOT_DIR) + "/import-password.png");
    flow().passwordDialog()->reject();
    EXPECT_FALSE(flow().isRunning());
    EXPECT_EQ(AlertView::shownCountForTesting(), 0);

    // A wrong password: said so, and the root is as it was.
    enterPassword("s3cret");
    EXPECT_TRUE(finalMessage().contains("the backup password is wrong")) << AlertView::lastShownMessage().toStdString();
    EXPECT_TRUE(showsEmptyState());
    EXPECT_FALSE(fs::exists(DevicePaths::smsDatabase()));

    // The right one, to be remembered: its messages are counted, as from
    // the plain backup. Without a keyring to keep the password the import
    // stands and the alert says what became of the password.
    {
        const ScopedEnvironment noBus("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus");
        enterPassword("correct horse battery", true);
        const QString message = finalMessage();
        EXPECT_TRUE(message.startsWith("New messages counted: 3\n\nThe keyring did not keep the password ("))
            << message.toStdString();
    }
    EXPECT_FALSE(showsEmptyState());
}

TEST_F(BackupImportScreenTest, TheEmptyScreenAndTheImportSpeakGerman) {
    GermanTranslations german;
    ASSERT_GT(german.installed(), 0);
    app_.launch();
    EXPECT_EQ(app_.root().noPhoneDataLabel()->text(),
              "Noch keine Nachrichten: Importieren Sie ein Backup Ihres iPhones.");
    EXPECT_EQ(app_.root().importButton()->text(), "iPhone-Backup importieren");
    app_.screenshot("no-phone-data-de");
    PreferencesViewController* preferences = openPreferences();
    ASSERT_TRUE(preferences);
    EXPECT_EQ(drive_.text(*preferences->tableView(), {0, PreferencesViewController::kImportBackupRow}),
              "iPhone-Backup importieren");
    app_.screenshot("preferences-import-row-de");

    make(parent_, kPhoneA, {.messageCount = 2});
    chooseFolder(parent_);
    tapImportRow(*preferences);
    EXPECT_EQ(finalMessage(), "Neu gezählte Nachrichten: 2");
    EXPECT_EQ(AlertView::lastShownTitle(), "iPhone-Backup importieren");
}

// The password dialog in both languages, with its keyring box, as pictures
// to look at; Import hands over the password and the box and keeps neither.
TEST(BackupPasswordDialogTest, OffersTheKeyringInEnglishAndGermanAndForgetsThePassword) {
    {
        BackupPasswordDialog dialog;
        dialog.resize(360, dialog.sizeHint().height());
        EXPECT_EQ(dialog.rememberBox()->text(), "Remember the password in the keyring");
        dialog.grab().save(QStringLiteral(BRINDLEX_SCREENSHOT_DIR) + "/import-password-keyring.png");
        QString chosen;
        bool remembered = false;
        QObject::connect(&dialog, &BackupPasswordDialog::passwordChosen, [&](const QString& password, bool remember) {
            chosen = password;
            remembered = remember;
        });
        QTest::keyClicks(dialog.passwordField(), "pw");
        dialog.rememberBox()->click();
        dialog.importButton()->click();
        EXPECT_EQ(chosen, "pw");
        EXPECT_TRUE(remembered);
        EXPECT_TRUE(dialog.passwordField()->text().isEmpty());
    }
    GermanTranslations german;
    ASSERT_GT(german.installed(), 0);
    BackupPasswordDialog dialog;
    dialog.resize(360, dialog.sizeHint().height());
    EXPECT_EQ(dialog.windowTitle(), "Verschlüsseltes Backup");
    EXPECT_EQ(dialog.rememberBox()->text(), "Passwort im Schlüsselbund speichern");
    EXPECT_EQ(dialog.importButton()->text(), "Importieren");
    dialog.grab().save(QStringLiteral(BRINDLEX_SCREENSHOT_DIR) + "/import-password-keyring-de.png");
}

// The app quitting under an import stops it between its steps: the root is
// left as it was, and the next start finds no half-imported phone.
TEST(BackupImportJobTest, AStopAskedForRollsTheImportBack) {
    TempDeviceRoot backups;
    make(backups.path(), kPhoneA);
    TempDeviceRoot root;
    int asked = 0;
    const auto result = BackupImportJob::importFolder(backups.path(), std::nullopt, [&asked] { return ++asked > 1; });
    EXPECT_FALSE(result.imported);
    EXPECT_GT(asked, 1);
    EXPECT_FALSE(fs::exists(DevicePaths::smsDatabase()));
    EXPECT_TRUE(fs::is_empty(root.path())) << result.error;

    const auto whole = BackupImportJob::importFolder(backups.path(), std::nullopt, [] { return false; });
    EXPECT_TRUE(whole.imported) << whole.error;
    EXPECT_TRUE(fs::exists(DevicePaths::smsDatabase()));
    // The root remembers the folder, for the daemon to watch, and the backup it read.
    const auto origin = BackupOrigin::inRoot();
    ASSERT_TRUE(origin);
    EXPECT_EQ(origin->directory, backups.path());
    EXPECT_EQ(origin->folder, fs::canonical(backups.path() + "/" + kPhoneA).string());
    EXPECT_EQ(origin->snapshot, BackupSnapshot::of(origin->folder)->key());
}
