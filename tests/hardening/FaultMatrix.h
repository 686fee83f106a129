#pragma once
// The fault matrix: every long sequence under every injected line fault, on
// the core with the in-memory simulated board. A cell passes when
//   - the sequence ends (the program keeps running) and the core goes idle;
//   - a sequence that did not complete says what stopped and where; one that
//     completed anyway has the right result;
//   - no file is left half-written (no temporary file, every dump whole);
//   - the board's memory changed only where the sequence was asked to write;
//   - once the line is sound again, the same sequence completes.
// A row is one TSequenceRow: adding a sequence is one line in
// StandardSequences() (or a row of a feature's own, appended by its test).

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "FaultRig.h"

namespace orvan::test {

// Every fault of the matrix: the six line faults, a refusal with each error
// code the board sends (1 to 12) and one it does not know, the device gone.
std::vector<TFault> StandardFaults();

struct TSequenceRow {
    std::string name;
    // The EEPROM bytes [writeFrom, writeTo) the sequence is asked to write;
    // equal bounds: it writes nothing.
    std::uint16_t writeFrom = 0, writeTo = 0;
    // Starts the sequence on the rig; an empty string when it started, else
    // why it did not.
    std::function<std::string(TMatrixRig&)> start;
    // When it completed: "" when its result is right, else what is wrong.
    std::function<std::string(TMatrixRig&)> checkCompleted;
    // Status polling has no end of its own: it counts as completed when it
    // still runs after this many ticks.
    int runTicks = 0;
    // The user's "yes" when the sequence ended asking a question (the rig's
    // `asked`): starts it again with the user's word; empty when it never asks.
    std::function<std::string(TMatrixRig&)> confirm;
};

std::vector<TSequenceRow> StandardSequences();

struct TCellResult {
    bool pass = false;
    std::string detail;  // what failed, or how it ended
};

// Runs one row under one fault on a fresh rig; the fault strikes at the
// request halfway through the row's clean run.
TCellResult RunCell(const TSequenceRow& row, const TFault& fault);

struct TMatrix {
    std::vector<std::string> rows, columns;
    std::vector<std::vector<TCellResult>> cells;  // [row][column]
    int Failures() const;
    // The table (sequence x fault, "pass"/"FAIL") as Markdown, then one line
    // per failed cell.
    std::string Table() const;
};

TMatrix RunMatrix(const std::vector<TSequenceRow>& rows, const std::vector<TFault>& faults);

}  // namespace orvan::test
