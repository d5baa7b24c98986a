#pragma once
// Opens a document with the desktop's program and tells when that failed. On Linux
// the program is xdg-open, which says by its exit status whether any program took
// the document; it may run as long as the viewer it started, so it is watched from
// the event loop and never waited for. Windows' shell answers at once.
#include <QObject>
#include <QString>
#include <QUrl>

namespace kelvory {

class DocumentOpener final : public QObject {
  Q_OBJECT

 public:
  // program: what opens a document given its URL; empty takes the desktop's own.
  explicit DocumentOpener(QString program = {}, QObject* parent = nullptr);
  // An opener still running is ended; a viewer it started stays open.
  ~DocumentOpener() override;

  void Open(const QUrl& url);

 signals:
  // The opener could not be started, or it ended with a failure: nothing shows url.
  void Failed(const QUrl& url);
  // url names a local file that is not there; no opener was started.
  void Missing(const QUrl& url);

 private:
  QString program_;
};

}  // namespace kelvory
