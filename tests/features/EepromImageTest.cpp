// What the EEPROM tools take from the user, checked before anything is sent,
// and the dump file: exactly the 1024 bytes, saved and loaded back.

#include <gtest/gtest.h>

#include <fstream>

#include "features/EepromImage.h"
#include "support/TempDir.h"

using namespace orvan;
using namespace orvan::features;

namespace {

TEST(EepromInput, TypedWrites) {
    struct Case {
        const char* address;
        std::string text;
        bool ok;
        const char* why;  // part of the reason
    };
    const Case cases[] = {
        {"300", "AB", true, ""},
        {" 0 ", "CfgData123", true, ""},
        {"1022", "AB", true, ""},
        {"1023", "AB", false, "past the end"},
        {"1024", "A", false, "outside the memory"},
        {"-1", "A", false, "outside the memory"},
        {"x", "A", false, "Address: 'x' is not a valid integer value"},
        {"", "A", false, "Address: ''"},
        {"0", "", false, "empty"},
        {"0", std::string(245, 'a'), true, ""},
        {"0", std::string(246, 'a'), false, "at most 245"},
        {"0", std::string(250, 'a'), false, "at most 245"},
    };
    for (const Case& c : cases) {
        TTypedWrite w;
        std::string why;
        EXPECT_EQ(CheckTypedWrite(c.address, c.text, w, &why), c.ok) << c.address;
        if (c.ok) {
            EXPECT_EQ(w.bytes.size(), c.text.size());
        } else {
            EXPECT_NE(why.find(c.why), std::string::npos) << c.address << ": " << why;
        }
    }
    TTypedWrite w;
    ASSERT_TRUE(CheckTypedWrite("300", "AB", w, nullptr));
    EXPECT_EQ(w.address, 300);
    EXPECT_EQ(w.bytes, (std::vector<std::uint8_t>{0x41, 0x42}));
}

TEST(EepromInput, RawReads) {
    struct Case {
        const char* address;
        const char* length;
        bool ok;
        const char* why;
    };
    const Case cases[] = {
        {"16", "8", true, ""},           {"0", "32", true, ""},
        {"992", "32", true, ""},         {"993", "32", false, "past the end"},
        {"0", "0", false, "1 to 32"},    {"0", "-4", false, "1 to 32"},
        {"0", "33", false, "1 to 32"},   {"0", "288", false, "1 to 32"},  // never its low byte
        {"1024", "1", false, "outside"}, {"0", "ab", false, "Length: 'ab'"},
    };
    for (const Case& c : cases) {
        TRawRead r;
        std::string why;
        EXPECT_EQ(CheckRawRead(c.address, c.length, r, &why), c.ok) << c.address << " " << c.length;
        if (!c.ok) {
            EXPECT_NE(why.find(c.why), std::string::npos) << why;
        }
    }
    TRawRead r;
    ASSERT_TRUE(CheckRawRead("16", "8", r, nullptr));
    EXPECT_EQ(r.address, 16);
    EXPECT_EQ(r.count, 8);
}

TEST(EepromDumpFile, RoundTripAndWrongSizes) {
    test::TempDir dir;
    TEepromImage image{};
    for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i * 7);
    std::string why;
    ASSERT_TRUE(SaveDumpFile(dir.File("board.bin"), image, &why)) << why;
    TEepromImage back{};
    ASSERT_TRUE(LoadDumpFile(dir.File("board.bin"), back, &why)) << why;
    EXPECT_EQ(back, image);

    for (std::size_t size : {0u, 1023u, 1025u, 384u}) {
        std::ofstream(dir.File("odd.bin"), std::ios::binary) << std::string(size, 'x');
        TEepromImage untouched = image;
        EXPECT_FALSE(LoadDumpFile(dir.File("odd.bin"), untouched, &why)) << size;
        EXPECT_NE(why.find("exactly 1024"), std::string::npos) << why;
        EXPECT_EQ(untouched, image);
    }
    EXPECT_FALSE(LoadDumpFile(dir.File("missing.bin"), back, &why));
    EXPECT_FALSE(SaveDumpFile(dir.File("no/such/folder/board.bin"), image, &why));
}

TEST(EepromDumpFile, SerialNumberAndDifferences) {
    TEepromImage a{};
    a.fill(0xFF);
    const std::string sn = "SIM-000001";
    std::copy(sn.begin(), sn.end(), a.begin());
    a[sn.size()] = 0;
    EXPECT_EQ(ImageSerialNumber(a), sn);
    TEepromImage full = a;
    std::fill_n(full.begin(), 16, 'Z');
    EXPECT_EQ(ImageSerialNumber(full), std::string(15, 'Z'));  // never past 15

    TEepromImage b = a;
    b[16] = 0x00;
    b[1023] = 0x12;
    const auto d = CompareImages(a, b);
    ASSERT_EQ(d.size(), 2u);
    EXPECT_EQ(d[0].address, 16);
    EXPECT_EQ(d[1].address, 1023);
    EXPECT_EQ(DifferencesText(d),
              "2 bytes differ: 0x0010 written FF read 00, 0x03FF written FF read 12");
    EXPECT_TRUE(CompareImages(a, a).empty());
}

}  // namespace
