// HASHBYTES with the algorithms the simulator computes (MD5, SHA1, SHA2_256), so that
// clients that checksum rows on the server can be tested. A text is hashed as the bytes the
// simulator stores it in (UTF-8); other algorithms are refused rather than answered wrongly.
#include "engine/errors.h"
#include "engine/functions_util.h"

#include <gnutls/crypto.h>

#include <cstdint>
#include <cstring>
#include <string>

namespace sqlsim::fn {

namespace {

void Store(unsigned char* p, uint64_t v, int bytes, bool bigEndian) {
    for (int i = 0; i < bytes; ++i)
        p[i] = static_cast<unsigned char>(bigEndian ? v >> (8 * (bytes - 1 - i)) : v >> (8 * i));
}

// The digests come from the TLS library's hash code, which uses the processor's SHA
// instructions where it has them: fingerprinting every stored module text of a database hashes
// tens of megabytes, and a portable block function was a quarter of such a query's time.
struct Algorithm {
    const char* Name;
    gnutls_digest_algorithm_t Digest;
    int Size;
};

const Algorithm kAlgorithms[] = {
    {"MD5", GNUTLS_DIG_MD5, 16},
    {"SHA", GNUTLS_DIG_SHA1, 20},
    {"SHA1", GNUTLS_DIG_SHA1, 20},
    {"SHA2_256", GNUTLS_DIG_SHA256, 32},
};

// The bytes of a value as HASHBYTES and CAST(... AS varbinary) see them: numbers in big-endian
// form (4 bytes when they fit an int, else 8; a float as its 8 IEEE bytes), texts and binary
// data as stored. Numbers are written to `scratch`; texts and binary data are not copied.
const unsigned char* ValueBytes(sqlite3_value* v, unsigned char (&scratch)[8], size_t& size) {
    switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER: {
        const int64_t n = sqlite3_value_int64(v);
        size = (n >= INT32_MIN && n <= INT32_MAX) ? 4 : 8;
        Store(scratch, static_cast<uint64_t>(n), static_cast<int>(size), true);
        return scratch;
    }
    case SQLITE_FLOAT: {
        double d = sqlite3_value_double(v);
        uint64_t bits = 0;
        std::memcpy(&bits, &d, sizeof bits);
        size = 8;
        Store(scratch, bits, 8, true);
        return scratch;
    }
    default: {
        const void* p = sqlite3_value_blob(v);
        size = static_cast<size_t>(sqlite3_value_bytes(v));
        return p ? static_cast<const unsigned char*>(p) : scratch;
    }
    }
}

// The algorithm HASHBYTES names, or nullptr when the call is already answered: NULL for a name
// SQL Server does not know, an error for one the simulator does not compute.
const Algorithm* FindAlgorithm(sqlite3_context* ctx, sqlite3_value* nameValue) {
    const char* name = reinterpret_cast<const char*>(sqlite3_value_text(nameValue));
    // The SHA-2 family came with SQL Server 2012; to earlier versions its names are unknown.
    if (session(ctx)->major() < 11 && sqlite3_strnicmp(name, "SHA2_", 5) == 0) {
        sqlite3_result_null(ctx);
        return nullptr;
    }
    for (const Algorithm& a : kAlgorithms)
        if (sqlite3_stricmp(name, a.Name) == 0)
            return &a;
    for (const char* refused : {"MD2", "MD4", "SHA2_512"})
        if (sqlite3_stricmp(name, refused) == 0) {
            sqlite3_result_error(
                ctx,
                ("The simulator does not support HASHBYTES with " + std::string(refused)).c_str(),
                -1);
            return nullptr;
        }
    sqlite3_result_null(ctx); // SQL Server answers NULL for an unknown algorithm
    return nullptr;
}

void ResultDigest(sqlite3_context* ctx, const Algorithm& a, const unsigned char* data,
                  size_t size) {
    unsigned char digest[32];
    if (gnutls_hash_fast(a.Digest, data, size, digest) != 0)
        return sqlite3_result_error(ctx, "The hash could not be computed.", -1);
    sqlite3_result_blob(ctx, digest, a.Size, SQLITE_TRANSIENT);
}

// Until SQL Server 2016 HASHBYTES takes at most 8,000 bytes of input and refuses more with
// 8152. A text is held here in UTF-8 without its declared type: more than 8,000 characters is
// too long as varchar and as nvarchar alike, so that is what is refused; an nvarchar of 4,001
// to 8,000 characters, which the server would refuse too, passes.
bool TooLongBefore2016(sqlite3_value* v) {
    if (sqlite3_value_type(v) == SQLITE_BLOB)
        return sqlite3_value_bytes(v) > 8000;
    if (sqlite3_value_type(v) != SQLITE_TEXT || sqlite3_value_bytes(v) <= 8000)
        return false;
    const unsigned char* p = sqlite3_value_text(v);
    size_t units = 0;
    for (int i = 0, n = sqlite3_value_bytes(v); i < n; ++i) {
        if ((p[i] & 0xC0) != 0x80)
            units += (p[i] >= 0xF0) ? 2 : 1; // outside the BMP: two UTF-16 units
    }
    return units > 8000;
}

void fnHashBytes(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL)
        return sqlite3_result_null(ctx);
    const Algorithm* algorithm = FindAlgorithm(ctx, argv[0]);
    if (!algorithm)
        return;
    if (session(ctx)->major() < 13 && TooLongBefore2016(argv[1]))
        return sqlite3_result_error(
            ctx, codedError(8152, "String or binary data would be truncated.").c_str(), -1);
    unsigned char scratch[8];
    size_t size = 0;
    const unsigned char* data = ValueBytes(argv[1], scratch, size);
    ResultDigest(ctx, *algorithm, data, size);
}

// tsql_rowhash(algorithm, flags, value, flags, value, ...): the row checksum the translator
// recognises (translate_row_hash.cpp), giving the bytes the general path would: per value its
// length in four big-endian bytes and its bytes as CAST(... AS varbinary) gives them (after
// RTRIM's removal of trailing blanks when flag 2 is set); a NULL is 0xFFFFFFFF when flag 1 (the
// ISNULL) is set, and otherwise makes the whole hash NULL, as NULL + anything is NULL.
void fnRowHash(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL)
        return sqlite3_result_null(ctx);
    thread_local std::string row;
    row.clear();
    for (int k = 1; k + 1 < argc; k += 2) {
        const int flags = sqlite3_value_int(argv[k]);
        sqlite3_value* v = argv[k + 1];
        if (sqlite3_value_type(v) == SQLITE_NULL) {
            if (!(flags & 1))
                return sqlite3_result_null(ctx);
            row.append(4, '\xFF');
            continue;
        }
        unsigned char scratch[8];
        size_t size = 0;
        const unsigned char* data = nullptr;
        if (flags & 2) {
            data = sqlite3_value_text(v);
            size = static_cast<size_t>(sqlite3_value_bytes(v));
            while (size && data[size - 1] == ' ')
                --size;
        } else {
            data = ValueBytes(v, scratch, size);
        }
        unsigned char length[4];
        Store(length, size, 4, true);
        row.append(reinterpret_cast<const char*>(length), 4);
        if (size)
            row.append(reinterpret_cast<const char*>(data), size);
    }
    const Algorithm* algorithm = FindAlgorithm(ctx, argv[0]);
    if (algorithm)
        ResultDigest(ctx, *algorithm, reinterpret_cast<const unsigned char*>(row.data()),
                     row.size());
}

} // namespace

std::string BinaryForm(sqlite3_value* v) {
    unsigned char scratch[8];
    size_t size = 0;
    const unsigned char* p = ValueBytes(v, scratch, size);
    return std::string(reinterpret_cast<const char*>(p), size);
}

void registerHashFunctions(sqlite3* db, SessionImpl* s) {
    static const Def defs[] = {{"tsql_hashbytes", 2, fnHashBytes, true},
                               {"tsql_rowhash", -1, fnRowHash, true}};
    registerAll(db, s, defs, sizeof defs / sizeof defs[0]);
}

} // namespace sqlsim::fn
