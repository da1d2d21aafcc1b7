// The telegram codec: packing the parameters, building requests and decoding
// replies, byte for byte.
#include <gtest/gtest.h>

#include <cstring>

#include "link/telegram.h"
#include "shell/globals.h"
#include "tests/link/link_fixture.h"

namespace {

using linktest::ParameterWords;
using linktest::SetParameterWords;

unsigned char TxByte(int i) {
    return static_cast<unsigned char>(szWriteBuf[i]);
}

class Telegram : public testing::Test {
  protected:
    void SetUp() override {
        sync = 0x55;
        SetParameterWords({});
        std::memset(pp, 0, sizeof pp);
        std::memset(szWriteBuf, 0, sizeof szWriteBuf);
        std::memset(szReadBuf, 0, sizeof szReadBuf);
    }
};

TEST_F(Telegram, Value500InWordIIsSentAs01F4AtOffset4Plus2I) {
    for (int i = 0; i < PNUM; i++) {
        sim::Words w{};
        w[i] = 500;
        SetParameterWords(w);
        CopyVarsToPP();
        FillTxBuf(1, pp);
        for (int b = 4; b < TELEGRAM_LEN; b++) {
            unsigned char expected = b == 4 + 2 * i ? 0x01 : b == 5 + 2 * i ? 0xF4 : 0x00;
            EXPECT_EQ(TxByte(b), expected) << "word " << i << " byte " << b;
        }
    }
}

TEST_F(Telegram, ParametersArePackedInBlockOrder) {
    SetParameterWords({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15});
    power = 100;
    para15 = 1150;
    CopyVarsToPP();
    EXPECT_EQ(pp[0], 100u);
    for (int i = 1; i < 15; i++)
        EXPECT_EQ(pp[i], i);
    EXPECT_EQ(pp[15], 1150u);
}

TEST_F(Telegram, Order10RequestBeginsWith0055000AWhateverPpHolds) {
    for (int i = 0; i < PNUM; i++)
        pp[i] = static_cast<unsigned short>(0xA5A5 + i);
    FillTxBuf(10, pp);
    EXPECT_EQ(TxByte(0), 0x00);
    EXPECT_EQ(TxByte(1), 0x55);
    EXPECT_EQ(TxByte(2), 0x00);
    EXPECT_EQ(TxByte(3), 0x0A);
    for (int i = 0; i < PNUM; i++) {
        EXPECT_EQ(TxByte(4 + 2 * i), 0xA5);
        EXPECT_EQ(TxByte(5 + 2 * i), (0xA5 + i) & 0xFF);
    }
}

TEST_F(Telegram, RequestTakesNothingBeyondByte35) {
    std::memset(szWriteBuf, 0x77, sizeof szWriteBuf);
    FillTxBuf(2, pp);
    EXPECT_EQ(TxByte(35), 0x00);
    EXPECT_EQ(TxByte(36), 0x77);
}

TEST_F(Telegram, ReplyWithWrongHeaderAndEchoIsStillDecodedWordForWord) {
    const auto reply = sim::makeReply(3, {0x0102, 0xFFFF, 0x8000, 7}, 0x0055);
    std::memcpy(szReadBuf, reply.data(), reply.size());
    GetRxBuf(PNUM);
    EXPECT_EQ(pp[0], 0x0102u);
    EXPECT_EQ(pp[1], 0xFFFFu);
    EXPECT_EQ(pp[2], 0x8000u);
    EXPECT_EQ(pp[3], 7u);
    for (int i = 4; i < PNUM; i++)
        EXPECT_EQ(pp[i], 0u);
}

TEST_F(Telegram, HighBytesAbove0x7FAreTakenUnsigned) {
    szReadBuf[4] = static_cast<char>(0xFF);
    szReadBuf[5] = static_cast<char>(0xFE);
    GetRxBuf(PNUM);
    EXPECT_EQ(pp[0], 0xFFFEu);
}

TEST_F(Telegram, DecodingFewerWordsLeavesTheRestOfPp) {
    pp[2] = 0x1234;
    const auto reply = sim::makeReply(2, {9, 8, 7});
    std::memcpy(szReadBuf, reply.data(), reply.size());
    GetRxBuf(2);
    EXPECT_EQ(pp[0], 9u);
    EXPECT_EQ(pp[1], 8u);
    EXPECT_EQ(pp[2], 0x1234u);
}

TEST_F(Telegram, PackAndUnpackLeaveEveryVariableUnchangedUpTo65535) {
    const sim::Words values{65535,  1,   1023, 60, 0, 4,    1024, 512,
                            0x8001, 128, 1,    0,  2, 1023, 3,    65534};
    SetParameterWords(values);
    CopyVarsToPP();
    SetParameterWords({});
    CopyPPtoVars();
    EXPECT_EQ(ParameterWords(), values);
}

TEST_F(Telegram, ARequestDecodedAsReplyGivesTheSameWords) {
    const sim::Words values{65535, 0x00FF, 0xFF00, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13};
    SetParameterWords(values);
    CopyVarsToPP();
    FillTxBuf(1, pp);
    std::memcpy(szReadBuf, szWriteBuf, TELEGRAM_LEN);
    std::memset(pp, 0, sizeof pp);
    GetRxBuf(PNUM);
    CopyPPtoVars();
    EXPECT_EQ(ParameterWords(), values);
}

TEST_F(Telegram, WordsTravelHighByteFirst) {
    char b[2];
    WordToBytes(0xABCD, b);
    EXPECT_EQ(static_cast<unsigned char>(b[0]), 0xAB);
    EXPECT_EQ(static_cast<unsigned char>(b[1]), 0xCD);
    EXPECT_EQ(BytesToWord(b), 0xABCDu);
}

} // namespace
