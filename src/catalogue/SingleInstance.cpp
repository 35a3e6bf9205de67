#include "catalogue/SingleInstance.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QPointer>
#include <QThread>
#include <QTimer>
#include <QtEndian>

#include "store/FileSystem.h"

#include <sys/socket.h>
#include <unistd.h>

namespace {

const QByteArray kMagic("ORV1");
constexpr int kHeaderSize = 4 + 1 + 4;
// A path is far shorter; anything longer is not a hand-over.
constexpr quint32 kMaxArgument = 64 * 1024;
constexpr char kAnswer = 'K';
// A client that connects and then says nothing is dropped after this.
constexpr int kIdleClientMs = 10000;

uid_t g_peerUid = ::getuid(); // the user a peer must run as

// True when the process at the other end of `socket` runs as this user. The
// socket's directory keeps other users out already; this holds even where a
// directory of the environment is not as private as it should be.
bool PeerIsThisUser(const QLocalSocket &socket) {
  struct ucred cred {};
  socklen_t size = sizeof cred;
  const auto fd = socket.socketDescriptor();
  return fd >= 0 && ::getsockopt(int(fd), SOL_SOCKET, SO_PEERCRED, &cred, &size) == 0 &&
         size == sizeof cred && cred.uid == g_peerUid;
}

QByteArray Request(const std::optional<QString> &argument) {
  QByteArray bytes = argument ? QFile::encodeName(*argument) : QByteArray();
  QByteArray out = kMagic;
  out.append(char(argument ? 1 : 0));
  char length[4];
  qToBigEndian<quint32>(quint32(bytes.size()), length);
  out.append(length, 4);
  out.append(bytes);
  return out;
}

} // namespace

TSingleInstance::TSingleInstance(QString address, QObject *parent)
    : QObject(parent), address_(std::move(address)),
      lock_(std::make_unique<QLockFile>(address_ + QStringLiteral(".lock"))) {
  // The lock is held for the whole life of the running instance: only a lock
  // whose process is gone counts as stale, never an old one.
  lock_->setStaleLockTime(0);
}

TSingleInstance::~TSingleInstance() {
  if (server_)
    server_->close();
  lock_->unlock();
}

QString TSingleInstance::DefaultAddress(QString *problem) {
  const QString name = QStringLiteral("orvane-%1.sock").arg(::getuid());
  const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
  if (!runtime.isEmpty() && QDir::isAbsolutePath(runtime) && QFileInfo(runtime).isDir())
    return QDir(runtime).filePath(name);
  // The shared temporary directory is open to every user: the socket goes
  // into a directory of this user's own there, or nowhere.
  const QString dir =
      QDir(QDir::tempPath()).absoluteFilePath(QStringLiteral("orvane-%1").arg(::getuid()));
  if (fsys::Status s = fsys::MakePrivateDirectory(QFile::encodeName(dir).toStdString()); !s) {
    if (problem)
      *problem = QString::fromStdString(s.Text());
    return QString();
  }
  return QDir(dir).filePath(name);
}

void TSingleInstance::SetPeerUidForTest(uid_t uid) { g_peerUid = uid; }

QString TSingleInstance::HandOverForm(const QString &argument) {
  qsizetype i = 0;
  while (i < argument.size() && argument[i] == QLatin1Char(' '))
    ++i;
  QString name = argument.mid(i);
  if (name.isEmpty() || QDir::isAbsolutePath(name))
    return name;
  return QDir::current().absoluteFilePath(name);
}

bool TSingleInstance::Send(const QString &address, const std::optional<QString> &argument,
                           int connectMs, int answerMs) {
  QLocalSocket socket;
  socket.connectToServer(address);
  if (!socket.waitForConnected(connectMs))
    return false;
  // The argument goes to no one but this user's own running instance.
  if (!PeerIsThisUser(socket)) {
    socket.abort();
    return false;
  }
  socket.write(Request(argument));
  if (!socket.waitForBytesWritten(answerMs))
    return false;
  QElapsedTimer waited;
  waited.start();
  while (socket.bytesAvailable() < 1) {
    const int left = answerMs - int(waited.elapsed());
    if (left <= 0 || !socket.waitForReadyRead(left))
      return false;
  }
  char answer = 0;
  socket.read(&answer, 1);
  socket.disconnectFromServer();
  return answer == kAnswer;
}

TSingleInstance::Role TSingleInstance::Start(const std::optional<QString> &argument, int waitMs) {
  std::optional<QString> handed;
  if (argument)
    handed = HandOverForm(*argument);
  QElapsedTimer waited;
  waited.start();
  for (;;) {
    // A running instance answers at once; one that is busy gets the time left.
    const int left = std::max(0, waitMs - int(waited.elapsed()));
    if (Send(address_, handed, 200, std::max(left, 1000)))
      return Role::HandedOver;
    if (lock_->tryLock(0)) {
      // Whoever holds the lock is the running instance; a socket still lying
      // there belongs to one that crashed.
      if (Listen())
        return Role::First;
      lock_->unlock();
      return Role::NoAnswer;
    }
    if (lock_->error() != QLockFile::LockFailedError) {
      // No lock can be made here at all (read-only directory): run without it
      // rather than not at all.
      QLocalServer::removeServer(address_);
      return Listen() ? Role::First : Role::NoAnswer;
    }
    if (waited.elapsed() >= waitMs)
      return Role::NoAnswer;
    // Another start holds the lock and is about to listen.
    QThread::msleep(50);
  }
}

bool TSingleInstance::Listen() {
  QLocalServer::removeServer(address_);
  auto *server = new QLocalServer(this);
  server->setSocketOptions(QLocalServer::UserAccessOption);
  if (!server->listen(address_)) {
    delete server;
    return false;
  }
  server_ = server;
  connect(server_, &QLocalServer::newConnection, this, &TSingleInstance::Accept);
  return true;
}

void TSingleInstance::Accept() {
  while (QLocalSocket *socket = server_->nextPendingConnection()) {
    if (!PeerIsThisUser(*socket)) {
      socket->abort();
      socket->deleteLater();
      continue;
    }
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] { Read(socket); });
    QTimer::singleShot(kIdleClientMs, socket, [socket] { socket->abort(); });
    Read(socket); // the request may be there already
  }
}

void TSingleInstance::Read(QLocalSocket *socket) {
  if (socket->bytesAvailable() < kHeaderSize)
    return;
  const QByteArray header = socket->peek(kHeaderSize);
  const quint32 length = qFromBigEndian<quint32>(header.constData() + 5);
  if (!header.startsWith(kMagic) || quint8(header[4]) > 1 || length > kMaxArgument) {
    socket->abort();
    return;
  }
  if (socket->bytesAvailable() < kHeaderSize + qint64(length))
    return;
  socket->read(kHeaderSize);
  const bool hasArgument = header[4] == 1;
  const QString argument = QFile::decodeName(socket->read(length));
  socket->write(&kAnswer, 1);
  socket->flush();
  socket->disconnectFromServer();
  QPointer<TSingleInstance> self(this);
  QTimer::singleShot(0, this, [self, hasArgument, argument] {
    if (self)
      emit self->HandOver(hasArgument, argument);
  });
}
