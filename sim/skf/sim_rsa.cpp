#include "sim/skf/sim_rsa.h"

#include <gcrypt.h>

#include <cstring>
#include <mutex>

namespace qex::sim {

namespace {

void InitGcrypt() {
    static std::once_flag once;
    std::call_once(once, [] {
        gcry_check_version(nullptr);
        // Keys come from files anyway; locked secure memory buys nothing here
        // and needs privileges.
        gcry_control(GCRYCTL_DISABLE_SECMEM, 0);
        gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);
    });
}

// Owns one S-expression.
class Sexp {
public:
    Sexp() = default;
    explicit Sexp(gcry_sexp_t s) : s_(s) {}
    ~Sexp() { gcry_sexp_release(s_); }
    Sexp(const Sexp&) = delete;
    Sexp& operator=(const Sexp&) = delete;
    gcry_sexp_t* out() { return &s_; }
    gcry_sexp_t get() const { return s_; }

private:
    gcry_sexp_t s_ = nullptr;
};

class Mpi {
public:
    ~Mpi() { gcry_mpi_release(m_); }
    gcry_mpi_t* out() { return &m_; }
    gcry_mpi_t get() const { return m_; }

private:
    gcry_mpi_t m_ = nullptr;
};

bool ParseKey(const std::string& text, Sexp* key) {
    InitGcrypt();
    if (gcry_sexp_sscan(key->out(), nullptr, text.data(), text.size()) != 0) return false;
    return gcry_pk_get_nbits(key->get()) > 0;
}

// Unsigned big-endian bytes of an MPI, left-padded with zeros to `width`.
bool MpiBytes(gcry_mpi_t m, size_t width, BYTE* out) {
    size_t n = 0;
    if (gcry_mpi_print(GCRYMPI_FMT_USG, nullptr, 0, &n, m) != 0 || n > width) return false;
    std::memset(out, 0, width);
    return gcry_mpi_print(GCRYMPI_FMT_USG, out + (width - n), n, &n, m) == 0;
}

bool KeyParam(const Sexp& key, const char* name, Mpi* value) {
    Sexp token(gcry_sexp_find_token(key.get(), name, 0));
    if (!token.get()) return false;
    *value->out() = gcry_sexp_nth_mpi(token.get(), 1, GCRYMPI_FMT_USG);
    return value->get() != nullptr;
}

}  // namespace

ULONG RsaModulusBytes(const std::string& key) {
    Sexp k;
    if (!ParseKey(key, &k)) return 0;
    return (gcry_pk_get_nbits(k.get()) + 7) / 8;
}

ULONG RsaSign(const std::string& keyText, const BYTE* data, ULONG dataLen, std::vector<BYTE>* sig) {
    Sexp key;
    if (!ParseKey(keyText, &key)) return SAR_KEYNOTFOUNTERR;
    const ULONG k = (gcry_pk_get_nbits(key.get()) + 7) / 8;
    // Type-1 padding needs at least 8 bytes of 0xFF plus three marker bytes.
    if (dataLen == 0 || dataLen + 11 > k) return SAR_INDATALENERR;
    Sexp in;
    if (gcry_sexp_build(in.out(), nullptr, "(data (flags pkcs1-raw) (value %b))", (int)dataLen,
                        data) != 0)
        return SAR_FAIL;
    Sexp out;
    if (gcry_pk_sign(out.out(), in.get(), key.get()) != 0) return SAR_RSAENCERR;
    Sexp s(gcry_sexp_find_token(out.get(), "s", 0));
    if (!s.get()) return SAR_FAIL;
    Mpi value;
    *value.out() = gcry_sexp_nth_mpi(s.get(), 1, GCRYMPI_FMT_USG);
    sig->assign(k, 0);
    if (!value.get() || !MpiBytes(value.get(), k, sig->data())) return SAR_FAIL;
    return SAR_OK;
}

ULONG RsaPublicBlob(const std::string& keyText, RSAPUBLICKEYBLOB* blob) {
    Sexp key;
    if (!ParseKey(keyText, &key)) return SAR_KEYNOTFOUNTERR;
    Mpi n, e;
    if (!KeyParam(key, "n", &n) || !KeyParam(key, "e", &e)) return SAR_KEYNOTFOUNTERR;
    RSAPUBLICKEYBLOB b;
    std::memset(&b, 0, sizeof(b));
    b.AlgID = SGD_RSA;
    b.BitLen = gcry_pk_get_nbits(key.get());
    if (b.BitLen > MAX_RSA_MODULUS_LEN * 8) return SAR_MODULUSLENERR;
    if (!MpiBytes(n.get(), sizeof(b.Modulus), b.Modulus) ||
        !MpiBytes(e.get(), sizeof(b.PublicExponent), b.PublicExponent))
        return SAR_KEYINFOTYPEERR;
    *blob = b;
    return SAR_OK;
}

ULONG RsaVerify(const RSAPUBLICKEYBLOB& blob, const BYTE* data, ULONG dataLen, const BYTE* sig,
                ULONG sigLen) {
    InitGcrypt();
    if (blob.AlgID != SGD_RSA || blob.BitLen < 512 || blob.BitLen > MAX_RSA_MODULUS_LEN * 8 ||
        blob.BitLen % 8 != 0)
        return SAR_INVALIDPARAMERR;
    const ULONG k = blob.BitLen / 8;
    if (sigLen != k) return SAR_INDATALENERR;
    if (dataLen == 0 || dataLen + 11 > k) return SAR_INDATALENERR;
    const BYTE* modulus = blob.Modulus + (sizeof(blob.Modulus) - k);
    Sexp pub;
    if (gcry_sexp_build(pub.out(), nullptr, "(public-key (rsa (n %b) (e %b)))", (int)k, modulus,
                        (int)sizeof(blob.PublicExponent), blob.PublicExponent) != 0)
        return SAR_INVALIDPARAMERR;
    Sexp in, s;
    if (gcry_sexp_build(in.out(), nullptr, "(data (flags pkcs1-raw) (value %b))", (int)dataLen,
                        data) != 0 ||
        gcry_sexp_build(s.out(), nullptr, "(sig-val (rsa (s %b)))", (int)sigLen, sig) != 0)
        return SAR_FAIL;
    // GM/T 0016 names no code for "signature does not match"; SAR_FAIL it is.
    return gcry_pk_verify(s.get(), in.get(), pub.get()) == 0 ? SAR_OK : SAR_FAIL;
}

}  // namespace qex::sim
