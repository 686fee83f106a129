// The fault matrix on the in-memory board: every long sequence under every
// line fault. The table is printed; the README shows it.

#include <gtest/gtest.h>

#include <cstdio>

#include "FaultMatrix.h"
#include "features/SupervisorCore.h"
#include "link/MemoryMap.h"

namespace orvan::test {
namespace {

TEST(FaultMatrix, EverySequenceSurvivesEveryFault) {
    const TMatrix m = RunMatrix(StandardSequences(), StandardFaults());
    std::printf("%s", m.Table().c_str());
    EXPECT_EQ(m.Failures(), 0) << m.Table();
    EXPECT_EQ(m.rows.size(), StandardSequences().size());
    EXPECT_EQ(m.columns.size(), 19u);
}

// The checks of a cell catch what they are there for: a sequence that hangs,
// one that writes where it was not asked to, one that stops silently.
TEST(FaultMatrix, ACellFailsWhatItShould) {
    const TSequenceRow read = StandardSequences().at(1);  // configuration read
    struct Row {
        const char* what;
        TSequenceRow row;
        const char* detail;
    } rows[] = {
        {"writes unasked",
         {"writes unasked", 0, 0,
          [read](TMatrixRig& r) {
              // A stray write of the serial number's first byte.
              r.model.Eeprom()[0] ^= 0xFF;
              return read.start(r);
          },
          nullptr, 0, nullptr},
         "written unasked"},
        {"never starts",
         {"never starts", 0, 0, [](TMatrixRig&) { return std::string("refused"); }, nullptr, 0,
          nullptr},
         "refused"},
    };
    for (const Row& r : rows) {
        const TCellResult c = RunCell(r.row, TFault{TFaultKind::NoAnswer});
        EXPECT_FALSE(c.pass) << r.what;
        EXPECT_NE(c.detail.find(r.detail), std::string::npos) << r.what << ": " << c.detail;
    }
}

}  // namespace
}  // namespace orvan::test
