#pragma once
// Reading the welcome text file whole, with the operating system's own words
// when it cannot be opened. One backend per platform, chosen by the build.
#include <QByteArray>
#include <QString>

namespace tarvik {

struct WelcomeFileBytes {
  enum class Status { Ok, OpenFailed, ReadFailed };
  Status status = Status::OpenFailed;
  QByteArray bytes;       // Ok only
  QString systemError;    // OpenFailed only: the system's description of the error, untrimmed
};

// Opens path for reading while denying others write access where the
// platform has share modes (Windows), and reads at most maxSize bytes; a
// longer file, or a failing read, gives ReadFailed.
WelcomeFileBytes ReadWelcomeFile(const QString& path, qint64 maxSize);

}  // namespace tarvik
