#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGINT and SIGTERM into a Qt signal on the event loop. The handler
// itself only writes a byte to a pipe; everything else happens when the loop
// gets to it, so a stop never lands between a sync's COMMIT and the write of
// its markers.
class SignalPipe : public QObject {
    Q_OBJECT

public:
    explicit SignalPipe(QObject* parent = nullptr);
    ~SignalPipe() override;

    // False when the handlers cannot be installed.
    bool install();
    bool received() const { return received_; }

signals:
    void interrupted();

private:
    void drain();

    QSocketNotifier* notifier_ = nullptr;
    bool received_ = false;
};
