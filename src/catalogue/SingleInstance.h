#pragma once
// One running program per user. The first start listens on a per-user local
// socket; a later start connects, hands over its first command-line argument
// (a shortcut file) and ends. A lock file held for the life of the running
// instance decides between two starts at the same moment, so exactly one of
// them becomes the running instance; a socket left behind by a crashed
// instance is removed by whoever holds the lock.
//
// Wire form of a hand-over: "ORV1", one byte (1 when an argument follows),
// the argument's length as 4 bytes big-endian, the argument in the OS's
// file-name encoding. The running instance answers one byte 'K' as soon as it
// has the whole request, and handles it afterwards from its event loop, so the
// second start never waits on a dialog of the first. Both ends check that
// the other runs as the same user and drop it otherwise.
#include <QObject>
#include <QString>

#include <memory>
#include <optional>

#include <sys/types.h>

class QLocalServer;
class QLocalSocket;
class QLockFile;

class TSingleInstance : public QObject {
  Q_OBJECT
public:
  enum class Role {
    First,      // this process is the running instance now (listening)
    HandedOver, // another instance took the argument; this one should end
    NoAnswer,   // another instance holds the lock but does not answer
  };

  // `address`: absolute path of the socket; the lock file lies beside it.
  explicit TSingleInstance(QString address, QObject *parent = nullptr);
  ~TSingleInstance() override;

  // $XDG_RUNTIME_DIR / "orvane-<uid>.sock"; without it the same name in the
  // private directory "orvane-<uid>" of the temporary directory, made when
  // missing. Empty, with `problem` said, when that directory is not this
  // user's alone (a link, another owner, a mode other than 0700).
  static QString DefaultAddress(QString *problem = nullptr);

  // Peers of another user than `uid` are dropped; tests pretend to be one.
  static void SetPeerUidForTest(uid_t uid);

  // Becomes the running instance or hands `argument` over to it. Waits at most
  // `waitMs` for an instance that is starting up or busy.
  Role Start(const std::optional<QString> &argument, int waitMs = 15000);

  // The argument as it travels: leading spaces dropped and made absolute
  // against this process's working directory, which the running instance
  // does not share.
  static QString HandOverForm(const QString &argument);

  // Client side alone: true when a running instance at `address` confirmed.
  static bool Send(const QString &address, const std::optional<QString> &argument, int connectMs,
                   int answerMs);

  const QString &Address() const { return address_; }
  bool IsRunning() const { return server_ != nullptr; }

signals:
  // A later start handed this over (delivered from the event loop).
  void HandOver(bool hasArgument, const QString &argument);

private:
  bool Listen();
  void Accept();
  void Read(QLocalSocket *socket);

  QString address_;
  std::unique_ptr<QLockFile> lock_;
  QLocalServer *server_ = nullptr;
};
