#include "app/DocumentOpener.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QTimer>

#include "platform/Program.h"

namespace kelvory {

DocumentOpener::DocumentOpener(QString program, QObject* parent) : QObject(parent), program_(std::move(program)) {
  if (program_.isEmpty()) program_ = QString::fromStdString(platform::DocumentOpenerProgram());
}

DocumentOpener::~DocumentOpener() {
  // Ending xdg-open itself leaves the viewer it runs as its child open.
  for (QProcess* opener : findChildren<QProcess*>()) {
    opener->disconnect(this);
    if (opener->state() == QProcess::NotRunning) continue;
    opener->kill();
    opener->waitForFinished(1000);
  }
}

void DocumentOpener::Open(const QUrl& url) {
  // Asked first: a viewer would report a missing file as a failure of its own.
  if (url.isLocalFile() && !QFileInfo(url.toLocalFile()).isFile()) {
    QTimer::singleShot(0, this, [this, url] { emit Missing(url); });
    return;
  }
  if (program_.isEmpty()) {
    // The shell's answer is final; it is told from the event loop, as xdg-open's is.
    if (!QDesktopServices::openUrl(url)) QTimer::singleShot(0, this, [this, url] { emit Failed(url); });
    return;
  }
  auto* opener = new QProcess(this);
  opener->setProgram(program_);
  // The URL as the desktop's own services hand it over, every byte of a path kept.
  opener->setArguments({QString::fromLatin1(url.toEncoded())});
  // The viewer inherits these: the program's own, not pipes that would close with us.
  opener->setProcessChannelMode(QProcess::ForwardedChannels);
  opener->setStandardInputFile(QProcess::nullDevice());
  connect(opener, &QProcess::errorOccurred, this, [this, opener, url](QProcess::ProcessError error) {
    if (error != QProcess::FailedToStart) return;
    emit Failed(url);
    opener->deleteLater();
  });
  connect(opener, &QProcess::finished, this, [this, opener, url](int status, QProcess::ExitStatus how) {
    if (how != QProcess::NormalExit || status != 0) emit Failed(url);
    opener->deleteLater();
  });
  opener->start();
}

}  // namespace kelvory
