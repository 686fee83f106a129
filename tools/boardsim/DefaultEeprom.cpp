#include <algorithm>
#include <cstring>

#include "PtyBoard.h"

namespace orvan::sim {

namespace {

// Feeds one byte through the image's 16-bit check register.
std::uint16_t CrcStep(std::uint16_t reg, std::uint8_t byte) {
    for (int bit = 7; bit >= 0; --bit) {
        const bool out = reg & 0x8000;
        reg = static_cast<std::uint16_t>((reg << 1) | ((byte >> bit) & 1));
        if (out) reg ^= 0x1021;
    }
    return reg;
}

void Put16(std::uint8_t* img, std::size_t off, std::uint16_t v) {
    img[off] = static_cast<std::uint8_t>(v & 0xFF);
    img[off + 1] = static_cast<std::uint8_t>(v >> 8);
}

}  // namespace

std::array<std::uint8_t, kEepromSize> DefaultEeprom() {
    std::array<std::uint8_t, kEepromSize> e{};
    e.fill(0xFF);
    std::fill_n(e.begin(), 16, 0);
    const char* serial = "SIM-000001";
    std::memcpy(e.data(), serial, std::strlen(serial));

    std::uint8_t* img = e.data() + 16;  // the configuration image, addresses 16 to 399
    img[0] = 3;
    Put16(img, 2, 218);
    Put16(img, 4, 3276);    // stand-by current
    Put16(img, 6, 6553);    // minimum current
    Put16(img, 8, 52428);   // maximum working current
    Put16(img, 10, 6000);   // diode current at end of life, 60.00 A
    Put16(img, 12, 229);    // supply feedback voltage at 1 A
    Put16(img, 14, 1023);   // maximum voltage on the power-setting input
    Put16(img, 16, 500);    // soft-start ramp, ms
    for (int i = 0; i < 6; ++i) img[18 + i] = 0;   // offsets
    for (int i = 0; i < 6; ++i) img[24 + i] = 8;   // averages
    Put16(img, 30, 624);    // temperatures, sensor counts
    Put16(img, 32, 690);
    Put16(img, 34, 720);
    Put16(img, 36, 760);
    Put16(img, 38, 800);
    Put16(img, 40, 9);
    img[42] = 5;
    Put16(img, 44, 44);
    Put16(img, 46, 26);
    Put16(img, 48, 9);
    img[50] = 5;
    Put16(img, 52, 44);
    Put16(img, 54, 500);    // photodiode tolerance, mW
    Put16(img, 56, 800);    // current tolerance, mA
    for (int i = 0; i < 7; ++i) Put16(img, 58 + 2 * i, static_cast<std::uint16_t>(i == 6 ? 1000 : 100 + 10 * i));
    for (int i = 0; i < 12; ++i) Put16(img, 72 + 2 * i, 20);
    for (int i = 0; i < 16; ++i) Put16(img, 96 + 2 * i, static_cast<std::uint16_t>(i < 3 ? 50 + 50 * i : 0));
    Put16(img, 128, 8000);  // diode power, 80.00 W
    for (int i = 0; i < 10; ++i) Put16(img, 130 + 2 * i, static_cast<std::uint16_t>(i * 900));
    for (int i = 0; i < 10; ++i) Put16(img, 150 + 2 * i, static_cast<std::uint16_t>(i * 100));
    Put16(img, 170, 1000);
    Put16(img, 172, static_cast<std::uint16_t>(-5));
    Put16(img, 174, 1200);
    Put16(img, 176, static_cast<std::uint16_t>(-3));
    for (int i = 0; i < 6; ++i) Put16(img, 178 + 2 * i, 1000);
    for (int i = 0; i < 6; ++i) Put16(img, 190 + 2 * i, static_cast<std::uint16_t>(i * 1600));
    for (int i = 0; i < 6; ++i) Put16(img, 202 + 2 * i, static_cast<std::uint16_t>(6553 + i * 9175));
    Put16(img, 214, 100);
    Put16(img, 216, 0);
    std::uint16_t crc = 0;
    for (int i = 0; i < 218; ++i) crc = CrcStep(crc, img[i]);
    Put16(img, 382, crc);
    return e;
}

}  // namespace orvan::sim
