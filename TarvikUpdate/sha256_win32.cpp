// SHA-256 through the CryptoAPI of advapi32, which every Windows from XP SP3
// on has (the AES provider is the one that knows SHA-256). Should any call
// fail, the digest stays all zeros and so matches no recorded one: the
// program then refuses to run rather than trust an image it could not check.
#include "sha256.h"

#include "window_win32/win32_headers.h"

#include <wincrypt.h>

tarvik::Sha256Digest PlatformSha256(std::span<const std::uint8_t> bytes) {
  tarvik::Sha256Digest digest{};
  HCRYPTPROV provider = 0;
  if (!::CryptAcquireContextW(&provider, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT))
    return digest;
  HCRYPTHASH hash = 0;
  if (::CryptCreateHash(provider, CALG_SHA_256, 0, 0, &hash)) {
    DWORD size = static_cast<DWORD>(digest.size());
    if (!::CryptHashData(hash, bytes.data(), static_cast<DWORD>(bytes.size()), 0) ||
        !::CryptGetHashParam(hash, HP_HASHVAL, digest.data(), &size, 0) || size != digest.size())
      digest.fill(0);
    ::CryptDestroyHash(hash);
  }
  ::CryptReleaseContext(provider, 0);
  return digest;
}
