#pragma once

#include "app/list/MailComposerDelegate.h"

#include <QObject>
#include <QPointer>
#include <QStringList>

class QProcess;

// A new mail handed to the user's own mail program through xdg-email: the
// recipients, a subject, a plain-text body and one attached file. present()
// returns at once; the delegate learns the outcome when xdg-email exits:
// status 0 is a mail handed over (reported as Sent, since what the user
// then does in the mail program is out of sight), anything else, or a
// program that does not start, is Failed.
class MailComposer : public QObject {
    Q_OBJECT
public:
    explicit MailComposer(QObject* parent = nullptr);
    ~MailComposer() override;

    // Mail can be sent when xdg-email is on the PATH.
    static bool canSendMail();

    void setMailComposeDelegate(MailComposerDelegate* delegate) { delegate_ = delegate; }
    void setToRecipients(const QStringList& recipients) { recipients_ = recipients; }
    void setSubject(const QString& subject) { subject_ = subject; }
    // xdg-email carries plain text only.
    void setMessageBody(const QString& body) { body_ = body; }
    // The mail program attaches the file under its own name; its type
    // follows from the name (data.csv: text/csv).
    void setAttachmentPath(const QString& path) { attachmentPath_ = path; }
    const QString& attachmentPath() const { return attachmentPath_; }

    // The arguments xdg-email is started with.
    QStringList arguments() const;
    void present();
    bool isPresented() const;

private:
    void finish(MailComposeResult result);

    MailComposerDelegate* delegate_ = nullptr;
    QStringList recipients_;
    QString subject_;
    QString body_;
    QString attachmentPath_;
    QPointer<QProcess> process_;
    bool finished_ = false;
};
