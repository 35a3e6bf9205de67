#include "app/SignalPipe.h"

#include "catalogue/SelectThema.h"

#include <QApplication>
#include <QSessionManager>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

int g_pipe[2] = {-1, -1};
volatile sig_atomic_t g_received = 0;

constexpr int kSignals[] = {SIGTERM, SIGHUP, SIGINT};

// Only async-signal-safe calls here.
void OnSignal(int signal) {
  if (g_received)
    ::_exit(128 + signal); // asked again: the end is not waited for
  g_received = signal;
  const int saved = errno;
  const unsigned char byte = static_cast<unsigned char>(signal);
  [[maybe_unused]] const ssize_t n = ::write(g_pipe[1], &byte, 1);
  errno = saved;
}

} // namespace

TSignalPipe::TSignalPipe(QObject *parent) : QObject(parent) {
  if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
    return;
  struct sigaction action = {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int s : kSignals)
    if (::sigaction(s, &action, nullptr) != 0)
      return;
  notifier_ = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, &TSignalPipe::Read);
}

TSignalPipe::~TSignalPipe() {
  struct sigaction action = {};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  for (int s : kSignals)
    ::sigaction(s, &action, nullptr);
}

void TSignalPipe::Read() {
  unsigned char byte = 0;
  if (::read(g_pipe[0], &byte, 1) == 1)
    emit EndRequested(byte);
}

void ConnectSessionEnd(TSelectThemaForm &catalogue, TSignalPipe &pipe) {
  QObject::connect(&pipe, &TSignalPipe::EndRequested, &catalogue, [&catalogue](int) {
    catalogue.EndWithoutQuestions();
    if (QApplication::activeModalWidget()) {
      // A box waits in an event loop of its own, which would go on first;
      // everything is on disk already.
      std::fflush(nullptr);
      ::_exit(0);
    }
    QCoreApplication::exit(0);
  });
  QObject::connect(qApp, &QGuiApplication::commitDataRequest, &catalogue,
                   [&catalogue](QSessionManager &manager) {
                     if (!catalogue.CommitSessionData(manager.allowsInteraction()))
                       manager.cancel();
                     manager.release();
                   });
}
