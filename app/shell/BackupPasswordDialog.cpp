#include "app/shell/BackupPasswordDialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

BackupPasswordDialog::BackupPasswordDialog(QWidget* parent)
    : QDialog(parent), label_(new QLabel(tr("This backup is encrypted. Enter the backup password:"), this)),
      field_(new QLineEdit(this)), remember_(new QCheckBox(tr("Remember the password in the keyring"), this)),
      import_(nullptr) {
    setWindowTitle(tr("Encrypted Backup"));
    label_->setWordWrap(true);
    label_->setBuddy(field_);
    field_->setEchoMode(QLineEdit::Password);
    // The phone style draws fields without a frame, as table cells; alone in
    // a dialog the field needs one to be seen.
    field_->setStyleSheet(QStringLiteral("QLineEdit { border: 1px solid #8e8e93; border-radius: 4px; padding: 4px; }"));
    field_->setMinimumWidth(280);
    remember_->setToolTip(tr("The next backups of this iPhone are then counted by themselves."));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    import_ = buttons->button(QDialogButtonBox::Ok);
    import_->setText(tr("Import"));
    buttons->button(QDialogButtonBox::Cancel)->setText(tr("Cancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &BackupPasswordDialog::choose);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label_);
    layout->addWidget(field_);
    layout->addWidget(remember_);
    layout->addWidget(buttons);
}

QString BackupPasswordDialog::labelText() const { return label_->text(); }

void BackupPasswordDialog::choose() {
    const QString password = field_->text();
    field_->clear();
    accept();
    emit passwordChosen(password, remember_->isChecked());
}
