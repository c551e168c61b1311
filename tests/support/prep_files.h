// Files for dorvu-prep's tests: 64 random sequences and their FASTA form, and
// bytes compressed as gzip and bgzip write them. Header only.
#pragma once

#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace dorvu::test {

// 64 sequences of random base codes, ambiguity codes and gaps, of 20 to 219
// codes each.
inline std::vector<std::string> RandomSequences(unsigned seed) {
  std::mt19937 random(seed);
  const std::string codes = "ACGTACGTACGTacgtRYSWKMBDHVN-";
  std::vector<std::string> sequences;
  for (int k = 0; k < 64; ++k) {
    std::string sequence;
    for (unsigned n = 20 + random() % 200; n > 0; --n) sequence += codes[random() % codes.size()];
    sequences.push_back(sequence);
  }
  return sequences;
}

// The records r1, r2, ... holding the sequences, one line each.
inline std::string Fasta(const std::vector<std::string>& sequences) {
  std::string text;
  for (std::size_t k = 0; k < sequences.size(); ++k)
    text += ">r" + std::to_string(k + 1) + " made up\n" + sequences[k] + "\n";
  return text;
}

// One gzip member holding `bytes`.
inline std::string Gzip(std::string_view bytes, int level = 6) {
  z_stream stream{};
  EXPECT_EQ(deflateInit2(&stream, level, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY), Z_OK);
  std::string out(deflateBound(&stream, bytes.size()), '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
  stream.avail_in = static_cast<uInt>(bytes.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  EXPECT_EQ(deflate(&stream, Z_FINISH), Z_STREAM_END);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  return out;
}

// Members of at most `size` bytes each, one after the other, as bgzip writes them.
inline std::string GzipMembers(std::string_view bytes, std::size_t size) {
  std::string out;
  for (std::size_t at = 0; at < bytes.size(); at += size) out += Gzip(bytes.substr(at, size), 1);
  return out;
}

}  // namespace dorvu::test
