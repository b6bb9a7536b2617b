// A small PNG writer: 8-bit RGB, each row filtered by its left neighbour,
// one zlib stream compressed with the fixed Huffman codes of deflate and
// matches at one byte, one pixel or one row back (plain frames shrink to
// almost nothing, text stays literal).
#include <cstdio>

#include "world_render.h"

namespace sim {

namespace {

uint32_t Crc32(const uint8_t* data, size_t size, uint32_t crc = 0) {
    static uint32_t table[256];
    if (!table[1]) {
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            table[n] = c;
        }
    }
    crc = ~crc;
    for (size_t i = 0; i < size; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

uint32_t Adler32(const std::vector<uint8_t>& data) {
    uint32_t a = 1, b = 0;
    for (uint8_t byte : data) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    return b << 16 | a;
}

class BitWriter {
public:
    explicit BitWriter(std::vector<uint8_t>& out) : out_(out) {}
    // Extra bits and header fields: least significant bit first.
    void Bits(uint32_t value, int count) {
        for (int i = 0; i < count; ++i) Bit((value >> i) & 1);
    }
    // Huffman codes: most significant bit first.
    void Code(uint32_t code, int length) {
        for (int i = length - 1; i >= 0; --i) Bit((code >> i) & 1);
    }
    void Finish() {
        if (used_) out_.push_back(current_);
        used_ = 0;
        current_ = 0;
    }

private:
    void Bit(uint32_t bit) {
        current_ |= static_cast<uint8_t>(bit << used_);
        if (++used_ == 8) Finish();
    }
    std::vector<uint8_t>& out_;
    uint8_t current_ = 0;
    int used_ = 0;
};

void Symbol(BitWriter& bits, int symbol) {
    if (symbol < 144) bits.Code(0x30 + symbol, 8);
    else if (symbol < 256) bits.Code(0x190 + symbol - 144, 9);
    else if (symbol < 280) bits.Code(symbol - 256, 7);
    else bits.Code(0xC0 + symbol - 280, 8);
}

constexpr int kLengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                 31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr int kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr int kDistanceBase[30] = {1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
                                   193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr int kDistanceExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

void Match(BitWriter& bits, int length, int distance) {
    int code = 28;
    while (kLengthBase[code] > length) --code;
    Symbol(bits, 257 + code);
    bits.Bits(length - kLengthBase[code], kLengthExtra[code]);
    code = 29;
    while (kDistanceBase[code] > distance) --code;
    bits.Code(code, 5);
    bits.Bits(distance - kDistanceBase[code], kDistanceExtra[code]);
}

int MatchLength(const std::vector<uint8_t>& data, size_t at, size_t distance) {
    if (distance > at || distance > 32768) return 0;
    int length = 0;
    while (length < 258 && at + length < data.size() && data[at + length] == data[at + length - distance]) ++length;
    return length;
}

std::vector<uint8_t> Deflate(const std::vector<uint8_t>& data, size_t rowBytes) {
    std::vector<uint8_t> out = {0x78, 0x01};
    BitWriter bits(out);
    bits.Bits(1, 1);  // the last block
    bits.Bits(1, 2);  // fixed Huffman codes
    const size_t distances[3] = {1, 3, rowBytes};
    for (size_t at = 0; at < data.size();) {
        int best = 0;
        size_t bestDistance = 0;
        for (size_t distance : distances) {
            const int length = MatchLength(data, at, distance);
            if (length > best) {
                best = length;
                bestDistance = distance;
            }
        }
        if (best >= 3) {
            Match(bits, best, static_cast<int>(bestDistance));
            at += best;
        } else {
            Symbol(bits, data[at++]);
        }
    }
    Symbol(bits, 256);
    bits.Finish();
    const uint32_t adler = Adler32(data);
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(adler >> shift));
    return out;
}

void PutBig32(std::vector<uint8_t>& out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

void Chunk(std::vector<uint8_t>& png, const char* type, const std::vector<uint8_t>& body) {
    PutBig32(png, static_cast<uint32_t>(body.size()));
    const size_t start = png.size();
    png.insert(png.end(), type, type + 4);
    png.insert(png.end(), body.begin(), body.end());
    PutBig32(png, Crc32(png.data() + start, png.size() - start));
}

}  // namespace

std::vector<uint8_t> EncodePng(const Frame& frame) {
    const size_t rowBytes = static_cast<size_t>(frame.width) * 3;
    std::vector<uint8_t> filtered;
    filtered.reserve((rowBytes + 1) * frame.height);
    for (int y = 0; y < frame.height; ++y) {
        const uint8_t* row = frame.rgb.data() + y * rowBytes;
        filtered.push_back(1);  // Sub: each byte less the same channel of the pixel to its left
        for (size_t i = 0; i < rowBytes; ++i) filtered.push_back(static_cast<uint8_t>(row[i] - (i >= 3 ? row[i - 3] : 0)));
    }
    std::vector<uint8_t> header;
    PutBig32(header, static_cast<uint32_t>(frame.width));
    PutBig32(header, static_cast<uint32_t>(frame.height));
    header.insert(header.end(), {8, 2, 0, 0, 0});  // 8-bit RGB, deflate, adaptive filters, no interlace

    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    Chunk(png, "IHDR", header);
    Chunk(png, "IDAT", Deflate(filtered, rowBytes + 1));
    Chunk(png, "IEND", {});
    return png;
}

bool WritePng(const std::string& path, const Frame& frame) {
    const std::vector<uint8_t> png = EncodePng(frame);
    FILE* file = fopen(path.c_str(), "wb");
    if (!file) return false;
    const bool written = fwrite(png.data(), 1, png.size(), file) == png.size();
    return fclose(file) == 0 && written;
}

}  // namespace sim
