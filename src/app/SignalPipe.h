#pragma once
// SIGTERM, SIGHUP and SIGINT (a logout, a shutdown, the terminal closing,
// Ctrl+C there) reach the event loop as a Qt signal: the handler only writes
// the signal's number into a pipe, which the loop reads. A second signal
// while the first is being handled ends the process at once.
#include <QObject>

class QSocketNotifier;
class TSelectThemaForm;

class TSignalPipe : public QObject {
  Q_OBJECT
public:
  explicit TSignalPipe(QObject *parent = nullptr);
  ~TSignalPipe() override;
  // False when the pipe or a handler could not be set up (the signals then
  // end the program as they would without it).
  bool Installed() const { return notifier_ != nullptr; }

signals:
  void EndRequested(int signal);

private:
  void Read();
  QSocketNotifier *notifier_ = nullptr;
};

// The ends the desktop asks for, handled by the catalogue: the signals of
// `pipe` (everything kept, then the process exits 0) and the session
// manager's request to save before a logout.
void ConnectSessionEnd(TSelectThemaForm &catalogue, TSignalPipe &pipe);
