// HASHBYTES with the algorithms the simulator computes itself (MD5, SHA1, SHA2_256), so that
// clients that checksum rows on the server can be tested. A text is hashed as the bytes the
// simulator stores it in (UTF-8); other algorithms are refused rather than answered wrongly.
#include "engine/errors.h"
#include "engine/functions_util.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <utility>

namespace sqlsim::fn {

namespace {

uint32_t Rotl(uint32_t x, int n) {
    return (x << n) | (x >> (32 - n));
}
uint32_t Rotr(uint32_t x, int n) {
    return (x >> n) | (x << (32 - n));
}

uint32_t Load(const unsigned char* p, bool bigEndian) {
    return bigEndian
               ? (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3]
               : (uint32_t(p[3]) << 24) | (uint32_t(p[2]) << 16) | (uint32_t(p[1]) << 8) | p[0];
}

void Store(unsigned char* p, uint64_t v, int bytes, bool bigEndian) {
    for (int i = 0; i < bytes; ++i)
        p[i] = static_cast<unsigned char>(bigEndian ? v >> (8 * (bytes - 1 - i)) : v >> (8 * i));
}

constexpr uint32_t kMd5K[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};
constexpr int kMd5S[64] = {7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22,
                           5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20,
                           4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23,
                           6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21};

// One MD5 step with everything that depends on the step number fixed at compile time: a row
// checksum runs 128 of them per row, and the table-driven loop ran at half the speed.
template <int I>
inline void Md5Step(uint32_t& a, uint32_t& b, uint32_t& c, uint32_t& d, const uint32_t* w) {
    uint32_t f;
    int g;
    if constexpr (I < 16) {
        f = (b & c) | (~b & d);
        g = I;
    } else if constexpr (I < 32) {
        f = (d & b) | (~d & c);
        g = (5 * I + 1) % 16;
    } else if constexpr (I < 48) {
        f = b ^ c ^ d;
        g = (3 * I + 5) % 16;
    } else {
        f = c ^ (b | ~d);
        g = (7 * I) % 16;
    }
    const uint32_t next = d;
    d = c;
    c = b;
    b = b + Rotl(a + f + kMd5K[I] + w[g], kMd5S[I]);
    a = next;
}

template <int... I>
inline void Md5Steps(uint32_t& a, uint32_t& b, uint32_t& c, uint32_t& d, const uint32_t* w,
                     std::integer_sequence<int, I...>) {
    (Md5Step<I>(a, b, c, d, w), ...);
}

void Md5Block(uint32_t* h, const unsigned char* block) {
    uint32_t w[16];
    for (int i = 0; i < 16; ++i)
        w[i] = Load(block + 4 * i, false);
    uint32_t a = h[0], b = h[1], c = h[2], d = h[3];
    Md5Steps(a, b, c, d, w, std::make_integer_sequence<int, 64>{});
    h[0] += a;
    h[1] += b;
    h[2] += c;
    h[3] += d;
}

void Sha1Block(uint32_t* h, const unsigned char* block) {
    uint32_t w[80];
    for (int i = 0; i < 16; ++i)
        w[i] = Load(block + 4 * i, true);
    for (int i = 16; i < 80; ++i)
        w[i] = Rotl(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 1);
    uint32_t a = h[0], b = h[1], c = h[2], d = h[3], e = h[4];
    for (int i = 0; i < 80; ++i) {
        uint32_t f, k;
        if (i < 20) {
            f = (b & c) | (~b & d);
            k = 0x5A827999;
        } else if (i < 40) {
            f = b ^ c ^ d;
            k = 0x6ED9EBA1;
        } else if (i < 60) {
            f = (b & c) | (b & d) | (c & d);
            k = 0x8F1BBCDC;
        } else {
            f = b ^ c ^ d;
            k = 0xCA62C1D6;
        }
        const uint32_t t = Rotl(a, 5) + f + e + k + w[i];
        e = d;
        d = c;
        c = Rotl(b, 30);
        b = a;
        a = t;
    }
    h[0] += a;
    h[1] += b;
    h[2] += c;
    h[3] += d;
    h[4] += e;
}

void Sha256Block(uint32_t* h, const unsigned char* block) {
    static const uint32_t K[64] = {
        0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4,
        0xab1c5ed5, 0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe,
        0x9bdc06a7, 0xc19bf174, 0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f,
        0x4a7484aa, 0x5cb0a9dc, 0x76f988da, 0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7,
        0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967, 0x27b70a85, 0x2e1b2138, 0x4d2c6dfc,
        0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85, 0xa2bfe8a1, 0xa81a664b,
        0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070, 0x19a4c116,
        0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
        0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7,
        0xc67178f2};
    uint32_t w[64];
    for (int i = 0; i < 16; ++i)
        w[i] = Load(block + 4 * i, true);
    for (int i = 16; i < 64; ++i) {
        const uint32_t s0 = Rotr(w[i - 15], 7) ^ Rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
        const uint32_t s1 = Rotr(w[i - 2], 17) ^ Rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
        w[i] = w[i - 16] + s0 + w[i - 7] + s1;
    }
    uint32_t a = h[0], b = h[1], c = h[2], d = h[3], e = h[4], f = h[5], g = h[6], hh = h[7];
    for (int i = 0; i < 64; ++i) {
        const uint32_t S1 = Rotr(e, 6) ^ Rotr(e, 11) ^ Rotr(e, 25);
        const uint32_t ch = (e & f) ^ (~e & g);
        const uint32_t t1 = hh + S1 + ch + K[i] + w[i];
        const uint32_t S0 = Rotr(a, 2) ^ Rotr(a, 13) ^ Rotr(a, 22);
        const uint32_t maj = (a & b) ^ (a & c) ^ (b & c);
        const uint32_t t2 = S0 + maj;
        hh = g;
        g = f;
        f = e;
        e = d + t1;
        d = c;
        c = b;
        b = a;
        a = t1 + t2;
    }
    h[0] += a;
    h[1] += b;
    h[2] += c;
    h[3] += d;
    h[4] += e;
    h[5] += f;
    h[6] += g;
    h[7] += hh;
}

// MD5, SHA-1 and SHA-256 share their frame: 64-byte blocks, the message closed by 0x80, zeros
// and its length in bits; they differ in the block function, the start state and byte order.
struct Algorithm {
    const char* Name;
    int Words;
    bool BigEndian;
    uint32_t Initial[8];
    void (*Block)(uint32_t*, const unsigned char*);
};

const Algorithm kAlgorithms[] = {
    {"MD5", 4, false, {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476}, Md5Block},
    {"SHA", 5, true, {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0}, Sha1Block},
    {"SHA1", 5, true, {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0}, Sha1Block},
    {"SHA2_256",
     8,
     true,
     {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a, 0x510e527f, 0x9b05688c, 0x1f83d9ab,
      0x5be0cd19},
     Sha256Block},
};

// The digest of `size` bytes, written to `out` (Words * 4 bytes). The whole blocks are read
// where they lie; only the closing one or two blocks are assembled.
void Digest(const Algorithm& a, const unsigned char* data, size_t size, unsigned char* out) {
    uint32_t h[8];
    std::memcpy(h, a.Initial, sizeof h);
    const size_t whole = size - size % 64;
    for (size_t at = 0; at < whole; at += 64)
        a.Block(h, data + at);
    unsigned char tail[128] = {};
    const size_t rest = size - whole;
    if (rest)
        std::memcpy(tail, data + whole, rest);
    tail[rest] = 0x80;
    const size_t tailSize = rest + 1 + 8 <= 64 ? 64 : 128;
    Store(tail + tailSize - 8, static_cast<uint64_t>(size) * 8, 8, a.BigEndian);
    for (size_t at = 0; at < tailSize; at += 64)
        a.Block(h, tail + at);
    for (int i = 0; i < a.Words; ++i)
        Store(out + 4 * i, h[i], 4, a.BigEndian);
}

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
    Digest(a, data, size, digest);
    sqlite3_result_blob(ctx, digest, a.Words * 4, SQLITE_TRANSIENT);
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
