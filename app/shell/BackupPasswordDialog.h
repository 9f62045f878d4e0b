#pragma once

#include <QDialog>
#include <QString>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The password of an encrypted backup: a field that shows no characters and
// a check box that keeps the password in the desktop's keyring, so the
// badge daemon imports the phone's next backups by itself. Unticked unless
// the user ticks it: nothing is stored without being asked for.
class BackupPasswordDialog : public QDialog {
    Q_OBJECT

public:
    explicit BackupPasswordDialog(QWidget* parent = nullptr);

    QString labelText() const;
    QLineEdit* passwordField() const { return field_; }
    QCheckBox* rememberBox() const { return remember_; }
    QPushButton* importButton() const { return import_; }

signals:
    // Import was chosen; the field is emptied right after, so the password
    // stays nowhere in the dialog.
    void passwordChosen(const QString& password, bool remember);

private:
    void choose();

    QLabel* label_;
    QLineEdit* field_;
    QCheckBox* remember_;
    QPushButton* import_;
};
