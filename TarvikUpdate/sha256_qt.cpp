#include "sha256.h"

#include <QByteArrayView>
#include <QCryptographicHash>

#include <algorithm>

tarvik::Sha256Digest PlatformSha256(std::span<const std::uint8_t> bytes) {
  const QByteArray hash = QCryptographicHash::hash(
      QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())),
      QCryptographicHash::Sha256);
  tarvik::Sha256Digest digest{};
  std::copy_n(hash.constData(), std::min<qsizetype>(hash.size(), digest.size()), digest.begin());
  return digest;
}
