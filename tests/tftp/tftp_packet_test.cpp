// SPDX-License-Identifier: MIT
// The TFTP codec: big-endian fields, the OACK and DATA bytes, bounded reads of what arrives, and
// the block numbering of an image.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "app/settling_wait.h"
#include "tftp/tftp_listener.h"
#include "tftp/tftp_packet.h"
#include "tftp/tftp_session.h"

namespace {

std::span<const std::uint8_t> bytesOf(const std::string& text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

std::string textOf(std::span<const std::uint8_t> bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

TEST(TftpCodec, Be16StoresTheLowSixteenBitsHighByteFirst) {
    std::array<std::uint8_t, 2> field{};
    putBe16(field, 0x1234);
    EXPECT_EQ(field, (std::array<std::uint8_t, 2>{0x12, 0x34}));
    putBe16(field, 0x12345); // only the low 16 bits travel
    EXPECT_EQ(field, (std::array<std::uint8_t, 2>{0x23, 0x45}));
    putBe16(field, 65535);
    EXPECT_EQ(getBe16(field), 65535); // unsigned: never negative
    for (const std::uint32_t value : {0u, 1u, 255u, 256u, 1418u, 65534u}) {
        putBe16(field, value);
        EXPECT_EQ(getBe16(field), value);
    }
}

TEST(TftpCodec, OackForTheEmbeddedImageIsTwentyFiveBytes) {
    std::array<std::uint8_t, kTftpPacketSize> packet{};
    const std::size_t length = buildTftpOack(packet, 725912);
    EXPECT_EQ(length, 25u);
    EXPECT_EQ(textOf(std::span(packet).first(length)), std::string("\0\6tsize\0"
                                                                   "725912\0timeout\0"
                                                                   "5\0",
                                                                   25));
}

TEST(TftpCodec, OackLengthIsNineteenPlusTheDigitsOfTheSize) {
    std::array<std::uint8_t, kTftpPacketSize> packet{};
    EXPECT_EQ(buildTftpOack(packet, 0), 20u);
    EXPECT_EQ(textOf(std::span(packet).first(20)), std::string("\0\6tsize\0"
                                                               "0\0timeout\0"
                                                               "5\0",
                                                               20));
    EXPECT_EQ(buildTftpOack(packet, 9), 20u);
    EXPECT_EQ(buildTftpOack(packet, 10), 21u);
    EXPECT_EQ(buildTftpOack(packet, 33553919), 27u);
    EXPECT_EQ(buildTftpOack(packet, 4294967295u), 29u);
    EXPECT_EQ(textOf(std::span(packet).first(29)), std::string("\0\6tsize\0"
                                                               "4294967295\0timeout\0"
                                                               "5\0",
                                                               29));
}

TEST(TftpCodec, DataCarriesTheBlockNumberAndAtMostOneBlock) {
    std::array<std::uint8_t, kTftpPacketSize> packet{};
    std::vector<std::uint8_t> data(600, 0xAB);
    EXPECT_EQ(buildTftpData(packet, 1418, std::span(data).first(408)), 412u);
    EXPECT_EQ(packet[0], 0);
    EXPECT_EQ(packet[1], 3);
    EXPECT_EQ(packet[2], 1418 >> 8);
    EXPECT_EQ(packet[3], 1418 & 0xFF);
    EXPECT_EQ(packet[4], 0xAB);
    EXPECT_EQ(packet[411], 0xAB);
    EXPECT_EQ(packet[412], 0);                            // nothing beyond the block
    EXPECT_EQ(buildTftpData(packet, 7, data), 4u + 512u); // never more than one block
    EXPECT_EQ(buildTftpData(packet, 8, {}), 4u);          // the empty closing block
    EXPECT_EQ(getBe16(std::span(packet).subspan<2, 2>()), 8);
}

TEST(TftpCodec, ShortDatagramsHaveNoOpcodeNameOrBlock) {
    EXPECT_EQ(tftpOpcode({}), 0);
    EXPECT_EQ(tftpOpcode(bytesOf(std::string("\0", 1))), 0);
    EXPECT_EQ(tftpOpcode(bytesOf(std::string("\0\1", 2))), 1);
    EXPECT_EQ(tftpOpcode(bytesOf(std::string("\xff\xfe", 2))), 65534);

    EXPECT_FALSE(tftpAckBlock(bytesOf(std::string("\0\4", 2))));
    EXPECT_FALSE(tftpAckBlock(bytesOf(std::string("\0\4\0", 3))));
    EXPECT_EQ(tftpAckBlock(bytesOf(std::string("\0\4\5\x8a", 4))), 1418);
    EXPECT_EQ(tftpAckBlock(bytesOf(std::string("\0\4\0\0extra", 9))), 0);
    EXPECT_FALSE(tftpAckBlock(bytesOf(std::string("\0\3\0\1", 4)))); // DATA, not ACK
    EXPECT_FALSE(tftpAckBlock(bytesOf(std::string("\0\5\0\1", 4)))); // ERROR

    EXPECT_FALSE(tftpRequestedName(bytesOf(std::string("\0\1", 2))));
    EXPECT_FALSE(tftpRequestedName(bytesOf(std::string("\0\1/tov1.bin", 11)))); // no NUL
    EXPECT_EQ(tftpRequestedName(bytesOf(std::string("\0\1\0", 3))), "");
    EXPECT_EQ(tftpRequestedName(bytesOf(std::string("\0\1/tov1.bin\0octet\0", 18))), "/tov1.bin");
}

TEST(TftpCodec, OnlyAnRrqForExactlyTheOfferedNameMatches) {
    const std::string_view offered = "/tov1a2b.bin";
    const auto rrq = [](const std::string& name) {
        return std::string("\0\1", 2) + name +
               std::string("\0octet\0tsize\0"
                           "0\0",
                           15);
    };
    EXPECT_TRUE(isOfferedFileRequest(bytesOf(rrq("/tov1a2b.bin")), offered));
    // Options are not read, whatever they carry.
    EXPECT_TRUE(isOfferedFileRequest(
        bytesOf(std::string("\0\1/tov1a2b.bin\0netascii\0tsize\0banana\0", 37)), offered));
    EXPECT_TRUE(isOfferedFileRequest(bytesOf(std::string("\0\1/tov1a2b.bin\0", 15)), offered));

    EXPECT_FALSE(isOfferedFileRequest(bytesOf(rrq("/TOV1A2B.BIN")), offered));
    EXPECT_FALSE(isOfferedFileRequest(bytesOf(rrq("tov1a2b.bin")), offered));
    EXPECT_FALSE(isOfferedFileRequest(bytesOf(rrq("/tov1a2b.bi")), offered));
    EXPECT_FALSE(isOfferedFileRequest(bytesOf(rrq("/tov1a2b.bin2")), offered));
    EXPECT_FALSE(isOfferedFileRequest(bytesOf(rrq("")), offered));
    // The right name without its NUL inside the datagram.
    EXPECT_FALSE(isOfferedFileRequest(bytesOf(std::string("\0\1/tov1a2b.bin", 14)), offered));
    // A WRQ for the right name.
    EXPECT_FALSE(
        isOfferedFileRequest(bytesOf(std::string("\0\2/tov1a2b.bin\0octet\0", 21)), offered));
}

TEST(TftpBlocks, EmbeddedImageNeedsFourteenEighteenBlocksTheLastOfFourOhEight) {
    const std::vector<std::uint8_t> image(725912);
    TftpSession session{};
    setTftpImageGeometry(session, image);
    EXPECT_EQ(session.blockCount, 1418u);
    EXPECT_EQ(session.lastBlockLength, 408u);
    EXPECT_EQ(tftpTransferState(session), TftpSessionState::awaitOptionAck);
    session.blockCounter = 1418;
    EXPECT_EQ(tftpTransferState(session), TftpSessionState::sendingBlocks);
    session.blockCounter = 1419;
    EXPECT_EQ(tftpTransferState(session), TftpSessionState::settling);
}

TEST(TftpBlocks, BlocksStayInsideTheImage) {
    std::vector<std::uint8_t> image(1024);
    for (std::size_t i = 0; i < image.size(); ++i)
        image[i] = static_cast<std::uint8_t>(i / 4);
    TftpSession session{};
    setTftpImageGeometry(session, image);
    ASSERT_EQ(session.blockCount, 3u); // a whole number of blocks ends with an empty one
    EXPECT_EQ(tftpBlockData(session, 1).data(), image.data());
    EXPECT_EQ(tftpBlockData(session, 1).size(), 512u);
    EXPECT_EQ(tftpBlockData(session, 2).data(), image.data() + 512);
    EXPECT_EQ(tftpBlockData(session, 2).size(), 512u);
    EXPECT_TRUE(tftpBlockData(session, 3).empty());
    EXPECT_TRUE(tftpBlockData(session, 4).empty());
    EXPECT_TRUE(tftpBlockData(session, 0).empty());
}

TEST(TftpBlocks, LargestImageStillNumbersEveryBlockInSixteenBits) {
    EXPECT_TRUE(tftpImageFits(33553919));
    EXPECT_FALSE(tftpImageFits(33553920));
    const std::vector<std::uint8_t> largest(33553919);
    TftpSession session{};
    setTftpImageGeometry(session, largest);
    EXPECT_EQ(session.blockCount, 65535u);
    EXPECT_EQ(session.lastBlockLength, 511u);
}

TEST(TftpSettlingTicks, CountAcrossOneWrapOfTheClock) {
    EXPECT_EQ(settlingTicksSince(5, 5), 0u);
    EXPECT_EQ(settlingTicksSince(5, 5 + 1562), 1562u);
    EXPECT_EQ(settlingTicksSince(kSettlingTickWrap - 1, 0), 1u);
    EXPECT_EQ(settlingTicksSince(kSettlingTickWrap - 100, 1461), 1561u);
    EXPECT_EQ(settlingTicksSince(kSettlingTickWrap - 100, 1462), 1562u);
    EXPECT_EQ(0xFFFFFFFFu >> kSettlingTickShift, kSettlingTickWrap - 1);
}

} // namespace
