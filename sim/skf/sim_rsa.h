// The key's RSA, through libgcrypt. Signing is what a token does: PKCS#1
// v1.5 type-1 padding of the given bytes, no hashing and no DigestInfo.
#pragma once

#include <string>
#include <vector>

#include "token/skf.h"

namespace qex::sim {

// `key` is the container's private key as a libgcrypt S-expression
// "(private-key (rsa (n ..) (e ..) (d ..) (p ..) (q ..) (u ..)))".
ULONG RsaSign(const std::string& key, const BYTE* data, ULONG dataLen, std::vector<BYTE>* sig);
ULONG RsaPublicBlob(const std::string& key, RSAPUBLICKEYBLOB* blob);
ULONG RsaVerify(const RSAPUBLICKEYBLOB& blob, const BYTE* data, ULONG dataLen, const BYTE* sig,
                ULONG sigLen);
// Byte length of the key's modulus; 0 when the key does not parse.
ULONG RsaModulusBytes(const std::string& key);

}  // namespace qex::sim
