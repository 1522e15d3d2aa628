// Port I/O on the simulated card and on a file standing in for /dev/port.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "TapeFixture.h"
#include "platform/DevPortDriver.h"

namespace {
std::string Err(int e) { return SystemIoError(e).description; }
}  // namespace

class TapeIoTest : public TapeFixture {};

TEST_F(TapeIoTest, AddressesOutsideTheCardAreRefusedWithoutTouchingIt) {
    TPortIO io;
    std::string error;
    ASSERT_TRUE(io.PortOpen(0x1B0, 0x1B3, 0, true, error));
    EXPECT_EQ(card->openedBase, 0x1B0);

    EXPECT_FALSE(io.PortWrite(0x1B4, 0x12, error, true));
    EXPECT_EQ(error, std::string(kWriteBadAddress) + "01B4");
    uint8_t v = 0;
    EXPECT_FALSE(io.PortRead(0x1AF, v, error, false));
    EXPECT_EQ(error, "Lese fra port - Ulovlig adresse: $01AF");
    EXPECT_EQ(card->accesses, 0);
    // Only the write asked for the box.
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].first, kPortErrorCaption);
    EXPECT_EQ(errors[0].second, "Skrive til port - Ulovlig adresse: $01B4");

    EXPECT_TRUE(io.PortWrite(0x1B3, 0x8A, error, true));
    EXPECT_TRUE(error.empty());
    EXPECT_EQ(card->control(), 0x8A);
    EXPECT_EQ(HexAddress(0xABC), "0ABC");
}

TEST_F(TapeIoTest, PortsAreNumberedFromTheBasePlusTheOffset) {
    card->cardOffset = 8;
    card->recordWrites = true;
    TPortIO io;
    std::string error;
    ASSERT_TRUE(io.PortOpen(0x300, 0x303, 8, true, error));
    ASSERT_TRUE(io.PortWrite(0x303, 0x8A, error, true));
    ASSERT_TRUE(io.PortWrite(0x300, 0x5A, error, true));
    ASSERT_EQ(card->writes.size(), 2u);
    EXPECT_EQ(card->writes[0].port, 3u);
    EXPECT_EQ(card->portA(), 0x5A);
    // Without the offset the writes would miss the card.
    TPortIO off;
    card->writes.clear();
    ASSERT_TRUE(off.PortOpen(0x300, 0x303, 0, true, error));
    ASSERT_TRUE(off.PortWrite(0x300, 0x11, error, true));
    EXPECT_TRUE(card->writes.empty());
}

TEST_F(TapeIoTest, DriverFailuresHaveTheirTexts) {
    TPortIO io;
    std::string error;
    card->openError = SystemIoError(EPERM);
    EXPECT_FALSE(io.PortOpen(0x1B0, 0x1B3, 0, true, error));
    EXPECT_EQ(error, std::string(kOpenFailed) + "1\r" + Err(EPERM));
    EXPECT_FALSE(io.IsOpen());
    card->openError = SystemIoError(ENOSYS);
    EXPECT_FALSE(io.PortOpen(0x1B0, 0x1B3, 0, false, error));
    EXPECT_EQ(error, "Klarer ikke å åpne driver - ingen support");
    card->openError.reset();
    ASSERT_TRUE(io.PortOpen(0x1B0, 0x1B3, 0, true, error));

    card->writeError = SystemIoError(EIO);
    EXPECT_FALSE(io.PortWrite(0x1B0, 1, error, true));
    EXPECT_EQ(error, "Kalarer ikke å skrive til port " + std::to_string(EIO) + "\r" + Err(EIO));
    card->writeError = SystemIoError(EOPNOTSUPP);
    EXPECT_FALSE(io.PortWrite(0x1B0, 1, error, true));
    EXPECT_EQ(error, kWriteNoSupport);
    card->writeError.reset();
    card->writeReturned = 1;
    EXPECT_FALSE(io.PortWrite(0x1B0, 1, error, true));
    EXPECT_EQ(error, "Skrive til port: Verdi er tilbakelest");
    card->writeReturned = 0;

    uint8_t v = 0;
    card->readError = SystemIoError(EIO);
    EXPECT_FALSE(io.PortRead(0x1B2, v, error, true));
    EXPECT_EQ(error, std::string(kReadFailed) + std::to_string(EIO) + "\r" + Err(EIO));
    card->readError = SystemIoError(ENOTTY);
    EXPECT_FALSE(io.PortRead(0x1B2, v, error, true));
    EXPECT_EQ(error, "Kalarer ikke å lese fra port - ingen support");
    card->readError.reset();
    card->readCount = 0;
    EXPECT_FALSE(io.PortRead(0x1B2, v, error, true));
    EXPECT_EQ(error, "Lese fra port - antall bytes 0");

    EXPECT_EQ(errors.size(), 7u);  // every one asked for the box but the quiet open
    io.PortClose();
    EXPECT_FALSE(card->opened);
    EXPECT_FALSE(io.PortWrite(0x1B0, 1, error, false));
    EXPECT_EQ(error, std::string(kWriteFailed) + std::to_string(EBADF) + "\r" + Err(EBADF));
}

TEST_F(TapeIoTest, WithoutADriverTheOpenIsNotSupported) {
    IoDriverFactory previous = SetIoDriverFactory(nullptr);
    TPortIO io;
    std::string error;
    EXPECT_FALSE(io.PortOpen(0x1B0, 0x1B3, 0, true, error));
    EXPECT_EQ(error, kOpenNoSupport);
    SetIoDriverFactory(previous);
}

TEST_F(TapeIoTest, StableReadsOfAFlickeringLine) {
    TPortIO io;
    std::string error;
    ASSERT_TRUE(io.PortOpen(0x1B0, 0x1B3, 0, true, error));
    ASSERT_TRUE(io.PortWrite(0x1B3, 0x8A, error, true));
    uint8_t v = 0;
    ASSERT_TRUE(io.PortReadStable(0x1B2, 3, error, true, v));
    EXPECT_EQ(v & 0x30, 0x30);  // motor on, forward

    card->unstableStatus = true;
    int before = card->accesses;
    EXPECT_TRUE(io.PortReadStable(0x1B2, 0, error, true, v));
    EXPECT_TRUE(error.empty());
    EXPECT_EQ(card->accesses - before, 2);  // one attempt: a reference and one read

    before = card->accesses;
    EXPECT_FALSE(io.PortReadStable(0x1B2, 1, error, true, v));
    EXPECT_EQ(error, kUnstableInput);
    EXPECT_EQ(card->accesses - before, 4);  // two attempts of two reads
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].second, "Ustabilt inngangssignal");

    // A failing read ends the stable read with its own text.
    card->unstableStatus = false;
    card->readError = SystemIoError(EIO);
    EXPECT_FALSE(io.PortReadStable(0x1B2, 3, error, false, v));
    EXPECT_EQ(error.rfind(kReadFailed, 0), 0u);
}

// /dev/port itself is never opened by the tests: a plain file stands in for it.
TEST_F(TapeIoTest, DevPortDriverReachesTheCardsAddresses) {
    TempDir dir;
    std::string fake = dir.File("port");
    WriteFileBytes(fake, std::string(0x1B3, '\0'));
    SetIoDriverFactory([&]() -> std::shared_ptr<IoDriver> {
        return std::make_shared<DevPortDriver>(fake);
    });
    TPortIO io;
    std::string error;
    ASSERT_TRUE(io.PortOpen(0x1B0, 0x1B3, 0, true, error)) << error;
    ASSERT_TRUE(io.PortWrite(0x1B2, 0x5A, error, true));
    ASSERT_TRUE(io.PortWrite(0x1B0, 0x8A, error, true));
    uint8_t v = 0;
    ASSERT_TRUE(io.PortRead(0x1B2, v, error, true));
    EXPECT_EQ(v, 0x5A);
    // Beyond the end of the file a read returns no byte.
    EXPECT_FALSE(io.PortRead(0x1B3, v, error, false));
    EXPECT_EQ(error, std::string(kReadCount) + "0");
    io.PortClose();

    ASSERT_TRUE(io.PortOpen(0x1A0, 0x1A3, 0x10, true, error));  // 0x1A0 + 0x10: 0x1B0
    ASSERT_TRUE(io.PortRead(0x1A0, v, error, true));
    EXPECT_EQ(v, 0x8A);
    io.PortClose();
    std::string bytes = ReadFileBytes(fake);
    EXPECT_EQ(uint8_t(bytes[0x1B2]), 0x5A);
    EXPECT_EQ(uint8_t(bytes[0x1B0]), 0x8A);

    // Past the end of the I/O space.
    ASSERT_TRUE(io.PortOpen(0xFFFC, 0xFFFF, 0x10, true, error));
    EXPECT_FALSE(io.PortWrite(0xFFFC, 1, error, false));
    EXPECT_EQ(error, std::string(kWriteFailed) + std::to_string(EINVAL) + "\r" + Err(EINVAL));
    io.PortClose();

    // A driver that cannot be opened, reported like any other failure.
    SetIoDriverFactory([&]() -> std::shared_ptr<IoDriver> {
        return std::make_shared<DevPortDriver>(dir.File("missing"));
    });
    EXPECT_FALSE(io.PortOpen(0x1B0, 0x1B3, 0, true, error));
    EXPECT_EQ(error, std::string(kOpenFailed) + std::to_string(ENOENT) + "\r" + Err(ENOENT));
}

TEST_F(TapeIoTest, TheEnvironmentSelectsTheSimulatedCard) {
    const char* old = std::getenv(kSimulatedCardVariable);
    std::string saved = old ? old : "";
    UseIni("Kode=EIA");
    ::setenv(kSimulatedCardVariable, "1", 1);
    EXPECT_TRUE(SimulatedCardRequested());
    InstallPlatformIoDriver();
    auto made = std::dynamic_pointer_cast<SimulatedCard>(MakeIoDriver());
    ASSERT_TRUE(made);
    // The demo machine punches in the configured code: EIA has no LF, CR is 0x80.
    ASSERT_FALSE(made->toPunch.empty());
    EXPECT_NE(std::find(made->toPunch.begin(), made->toPunch.end(), 0x80), made->toPunch.end());
    EXPECT_EQ(std::find(made->toPunch.begin(), made->toPunch.end(), 0x0A), made->toPunch.end());

    ::setenv(kSimulatedCardVariable, "0", 1);
    EXPECT_FALSE(SimulatedCardRequested());
    InstallPlatformIoDriver();
    // The real driver is only made here, never opened.
    EXPECT_TRUE(std::dynamic_pointer_cast<DevPortDriver>(MakeIoDriver()));
    ::unsetenv(kSimulatedCardVariable);
    EXPECT_FALSE(SimulatedCardRequested());
    if (old) ::setenv(kSimulatedCardVariable, saved.c_str(), 1);
}
