#include "app/list/MailComposer.h"

#include <QProcess>
#include <QStandardPaths>

namespace {

const QString kProgram = QStringLiteral("xdg-email");

}  // namespace

MailComposer::MailComposer(QObject* parent) : QObject(parent) {}

MailComposer::~MailComposer() = default;

bool MailComposer::canSendMail() { return !QStandardPaths::findExecutable(kProgram).isEmpty(); }

QStringList MailComposer::arguments() const {
    // Subject and body go over as UTF-8 whatever the locale's encoding.
    QStringList arguments{QStringLiteral("--utf8"), QStringLiteral("--subject"), subject_, QStringLiteral("--body"),
                          body_};
    if (!attachmentPath_.isEmpty()) arguments << QStringLiteral("--attach") << attachmentPath_;
    return arguments + recipients_;
}

void MailComposer::present() {
    const QString program = QStandardPaths::findExecutable(kProgram);
    if (program.isEmpty()) {
        finish(MailComposeResult::Failed);
        return;
    }
    finished_ = false;
    process_ = new QProcess(this);
    process_->setStandardOutputFile(QProcess::nullDevice());
    process_->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    connect(process_, &QProcess::finished, this, [this](int exitCode, QProcess::ExitStatus status) {
        finish(status == QProcess::NormalExit && exitCode == 0 ? MailComposeResult::Sent : MailComposeResult::Failed);
    });
    connect(process_, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) finish(MailComposeResult::Failed);
    });
    process_->start(program, arguments());
}

bool MailComposer::isPresented() const { return process_ && process_->state() != QProcess::NotRunning; }

void MailComposer::finish(MailComposeResult result) {
    // A program that fails to start reports both an error and, on some
    // platforms, an exit; the delegate hears once.
    if (finished_) return;
    finished_ = true;
    if (process_) process_->deleteLater();
    if (delegate_) delegate_->mailComposeControllerDidFinish(*this, result);
}
