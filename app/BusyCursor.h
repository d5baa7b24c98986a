#pragma once
// The wait cursor over the whole program while a command works through many files
// (a list of a million paths, a big folder tree), and the usual one back afterwards,
// however the work ends.
#include <QApplication>
#include <QCursor>

namespace kelvory {

class BusyCursor {
 public:
  BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~BusyCursor() { QApplication::restoreOverrideCursor(); }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;
};

}  // namespace kelvory
