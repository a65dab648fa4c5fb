#include <gtest/gtest.h>

#include <vector>

#include "link/KV_BI.h"

namespace qv {
namespace {

// The codec alone: Transact has no body here.
class Codec : public TKVBaseInterface {
 public:
  void Transact() override {}
  std::vector<uint8_t> Sealed() const {
    int n = FrameBuffer[0] == 0 ? 256 : FrameBuffer[0];
    return {FrameBuffer.begin(), FrameBuffer.begin() + n};
  }
  std::vector<uint8_t> Built() const {
    return {FrameBuffer.begin() + 1, FrameBuffer.begin() + TxLength};
  }
};

TEST(Codec, SealsFramesWithLengthAndChecksum) {
  struct Case {
    const char* name;
    std::vector<uint8_t> body;  // bytes after the length byte
    std::vector<uint8_t> sealed;
  };
  const Case cases[] = {
      {"empty frame", {}, {0x02, 0xFE}},
      {"identify request", {0xF4, 0x01, 0x00, 0x01}, {0x06, 0xF4, 0x01, 0x00, 0x01, 0x04}},
      {"sum already a multiple of 256", {0xFD}, {0x03, 0xFD, 0x00}},
  };
  for (const auto& c : cases) {
    Codec codec;
    codec.ClearFrame();
    for (uint8_t b : c.body)
      codec.PutByte(b);
    int before = codec.TxLength;
    codec.SealFrame();
    EXPECT_EQ(codec.Sealed(), c.sealed) << c.name;
    EXPECT_EQ(codec.TxLength, before) << c.name << ": sealing must not move TxLength";
  }
}

TEST(Codec, FrameOf256BytesCarriesLengthZero) {
  Codec codec;
  codec.ClearFrame();
  while (codec.TxLength < 255)
    codec.PutByte(0x11);
  codec.SealFrame();
  EXPECT_EQ(codec.FrameBuffer[0], 0);
  uint8_t sum = 0;
  for (int i = 0; i < 256; ++i)
    sum = static_cast<uint8_t>(sum + codec.FrameBuffer[i]);
  EXPECT_EQ(sum, 0);
  EXPECT_THROW(codec.PutByte(0), std::exception) << "a 257th byte cannot be described";
}

TEST(Codec, MultiByteValuesAreLittleEndian) {
  Codec codec;
  codec.ClearFrame();
  codec.PutWord(513);
  codec.PutDWord(258);
  EXPECT_EQ(codec.Built(), (std::vector<uint8_t>{0x01, 0x02, 0x02, 0x01, 0x00, 0x00}));

  codec.Rx(5) = 0x01;
  codec.Rx(6) = 0x02;
  codec.Rx(7) = 0x7F;
  codec.RxIndex = 5;
  EXPECT_EQ(codec.GetWord(), 513);
  EXPECT_EQ(codec.RxIndex, 7);
  EXPECT_EQ(codec.GetByte(), 0x7F);
  EXPECT_EQ(codec.RxIndex, 8);
}

// PutWord and PutDWord go through the virtual PutByte, so an override sees every byte.
TEST(Codec, WordsAreAppendedThroughPutByte) {
  struct Counting : Codec {
    int calls = 0;
    void PutByte(uint8_t v) override {
      ++calls;
      Codec::PutByte(v);
    }
  } codec;
  codec.ClearFrame();
  codec.PutWord(1);
  codec.PutDWord(2);
  EXPECT_EQ(codec.calls, 6);
}

TEST(Codec, CheckReplySumsTheCountedBytesOnly) {
  Codec codec;
  const std::vector<uint8_t> frame = {0x07, 0xF4, 0x01, 0x00, 0x01, 0x21, 0x00};
  auto load = [&](const std::vector<uint8_t>& bytes) {
    for (size_t i = 0; i < bytes.size(); ++i)
      codec.Rx(static_cast<int>(i)) = bytes[i];
  };
  std::vector<uint8_t> good = frame;
  uint8_t sum = 0;
  for (size_t i = 0; i + 1 < good.size(); ++i)
    sum = static_cast<uint8_t>(sum + good[i]);
  good.back() = static_cast<uint8_t>(256 - sum);
  load(good);
  codec.Rx(7) = 0x55;  // behind the counted bytes: does not matter
  EXPECT_TRUE(codec.CheckReply());
  for (size_t i = 1; i < good.size(); ++i) {
    std::vector<uint8_t> bad = good;
    bad[i] ^= 0x10;
    load(bad);
    EXPECT_FALSE(codec.CheckReply()) << "byte " << i << " changed";
  }
}

}  // namespace
}  // namespace qv
