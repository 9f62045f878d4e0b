#pragma once

class MailComposer;

// How a mail hand-over ended, numbered as the phone's mail composer numbers
// its results.
enum class MailComposeResult { Cancelled = 0, Saved = 1, Sent = 2, Failed = 3 };

// Receives the end of a mail hand-over.
class MailComposerDelegate {
public:
    virtual ~MailComposerDelegate() = default;
    virtual void mailComposeControllerDidFinish(MailComposer& composer, MailComposeResult result) = 0;
};
