// HASHBYTES with the algorithms the simulator computes itself (MD5, SHA1, SHA2_256), so that
// clients that checksum rows on the server can be tested. A text is hashed as the bytes the
// simulator stores it in (UTF-8); other algorithms are refused rather than answered wrongly.
#include "engine/errors.h"
#include "engine/functions_util.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <string>

namespace sqlsim::fn {

namespace {

uint32_t Rotl(uint32_t x, int n) {
    return (x << n) | (x >> (32 - n));
}
uint32_t Rotr(uint32_t x, int n) {
    return (x >> n) | (x << (32 - n));
}

// Pads a message the way MD5 and the SHA family do; `bigEndian` picks the length's byte order.
std::string Padded(const std::string& data, bool bigEndian) {
    std::string m = data;
    const uint64_t bits = static_cast<uint64_t>(data.size()) * 8;
    m += static_cast<char>(0x80);
    while (m.size() % 64 != 56)
        m += '\0';
    for (int i = 0; i < 8; ++i)
        m +=
            static_cast<char>(bigEndian ? (bits >> (56 - 8 * i)) & 0xFF : (bits >> (8 * i)) & 0xFF);
    return m;
}

uint32_t Word(const std::string& m, size_t at, bool bigEndian) {
    const auto* p = reinterpret_cast<const unsigned char*>(m.data()) + at;
    return bigEndian
               ? (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3]
               : (uint32_t(p[3]) << 24) | (uint32_t(p[2]) << 16) | (uint32_t(p[1]) << 8) | p[0];
}

void Put(std::string& out, uint32_t v, bool bigEndian) {
    for (int i = 0; i < 4; ++i)
        out += static_cast<char>(bigEndian ? (v >> (24 - 8 * i)) & 0xFF : (v >> (8 * i)) & 0xFF);
}

std::string Md5(const std::string& data) {
    static const uint32_t K[64] = {
        0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613,
        0xfd469501, 0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193,
        0xa679438e, 0x49b40821, 0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d,
        0x02441453, 0xd8a1e681, 0xe7d3fbc8, 0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed,
        0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a, 0xfffa3942, 0x8771f681, 0x6d9d6122,
        0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70, 0x289b7ec6, 0xeaa127fa,
        0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665, 0xf4292244,
        0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
        0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb,
        0xeb86d391};
    static const int S[64] = {7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22,
                              5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20,
                              4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23,
                              6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21};
    uint32_t h[4] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};
    const std::string m = Padded(data, false);
    for (size_t chunk = 0; chunk < m.size(); chunk += 64) {
        uint32_t w[16];
        for (int i = 0; i < 16; ++i)
            w[i] = Word(m, chunk + 4 * static_cast<size_t>(i), false);
        uint32_t a = h[0], b = h[1], c = h[2], d = h[3];
        for (int i = 0; i < 64; ++i) {
            uint32_t f;
            int g;
            if (i < 16) {
                f = (b & c) | (~b & d);
                g = i;
            } else if (i < 32) {
                f = (d & b) | (~d & c);
                g = (5 * i + 1) % 16;
            } else if (i < 48) {
                f = b ^ c ^ d;
                g = (3 * i + 5) % 16;
            } else {
                f = c ^ (b | ~d);
                g = (7 * i) % 16;
            }
            const uint32_t next = d;
            d = c;
            c = b;
            b = b + Rotl(a + f + K[i] + w[g], S[i]);
            a = next;
        }
        h[0] += a;
        h[1] += b;
        h[2] += c;
        h[3] += d;
    }
    std::string out;
    for (uint32_t v : h)
        Put(out, v, false);
    return out;
}

std::string Sha1(const std::string& data) {
    uint32_t h[5] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0};
    const std::string m = Padded(data, true);
    for (size_t chunk = 0; chunk < m.size(); chunk += 64) {
        uint32_t w[80];
        for (int i = 0; i < 16; ++i)
            w[i] = Word(m, chunk + 4 * static_cast<size_t>(i), true);
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
    std::string out;
    for (uint32_t v : h)
        Put(out, v, true);
    return out;
}

std::string Sha256(const std::string& data) {
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
    uint32_t h[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                     0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
    const std::string m = Padded(data, true);
    for (size_t chunk = 0; chunk < m.size(); chunk += 64) {
        uint32_t w[64];
        for (int i = 0; i < 16; ++i)
            w[i] = Word(m, chunk + 4 * static_cast<size_t>(i), true);
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
    std::string out;
    for (uint32_t v : h)
        Put(out, v, true);
    return out;
}

std::string Upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 32);
    return s;
}

// The bytes of a value as HASHBYTES and CAST(... AS varbinary) see them: numbers in big-endian
// form (4 bytes when they fit an int, else 8; a float as its 8 IEEE bytes), texts and binary
// data as stored.
std::string ValueBytes(sqlite3_value* v) {
    std::string out;
    switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER: {
        const int64_t n = sqlite3_value_int64(v);
        const int bytes = (n >= INT32_MIN && n <= INT32_MAX) ? 4 : 8;
        for (int i = bytes - 1; i >= 0; --i)
            out += static_cast<char>((static_cast<uint64_t>(n) >> (8 * i)) & 0xFF);
        return out;
    }
    case SQLITE_FLOAT: {
        double d = sqlite3_value_double(v);
        uint64_t bits = 0;
        std::memcpy(&bits, &d, sizeof bits);
        for (int i = 7; i >= 0; --i)
            out += static_cast<char>((bits >> (8 * i)) & 0xFF);
        return out;
    }
    default: {
        const void* p = sqlite3_value_blob(v);
        const int n = sqlite3_value_bytes(v);
        return p ? std::string(static_cast<const char*>(p), static_cast<size_t>(n)) : out;
    }
    }
}

void fnHashBytes(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL)
        return sqlite3_result_null(ctx);
    const std::string algorithm = Upper(reinterpret_cast<const char*>(sqlite3_value_text(argv[0])));
    const std::string data = ValueBytes(argv[1]);
    std::string digest;
    if (algorithm == "MD5")
        digest = Md5(data);
    else if (algorithm == "SHA" || algorithm == "SHA1")
        digest = Sha1(data);
    else if (algorithm == "SHA2_256")
        digest = Sha256(data);
    else if (algorithm == "MD2" || algorithm == "MD4" || algorithm == "SHA2_512")
        return sqlite3_result_error(
            ctx, ("The simulator does not support HASHBYTES with " + algorithm).c_str(), -1);
    else
        return sqlite3_result_null(ctx); // SQL Server answers NULL for an unknown algorithm
    sqlite3_result_blob(ctx, digest.data(), static_cast<int>(digest.size()), SQLITE_TRANSIENT);
}

} // namespace

std::string BinaryForm(sqlite3_value* v) {
    return ValueBytes(v);
}

void registerHashFunctions(sqlite3* db, SessionImpl* s) {
    static const Def defs[] = {{"tsql_hashbytes", 2, fnHashBytes, true}};
    registerAll(db, s, defs, sizeof defs / sizeof defs[0]);
}

} // namespace sqlsim::fn
