// The benchmark's report: a table of figures against their targets, and
// the details behind them.
#pragma once

#include <string>
#include <vector>

#include "countdown/runs.h"

namespace bench {

struct Row {
  std::string figure, ours, peer, ratio, target;
  bool met;
};

struct FilledRun {
  TermSize size;
  Figures ours, peer;
};

// Rows of the table, by run.
void countdownRows(const Figures& ours, const Figures& theirs, std::vector<Row>& rows);
void breakRows(const Figures& onBreak, std::vector<Row>& rows);
void filledRows(const FilledRun& run, std::vector<Row>& rows);
void latenessRows(const Lateness& late, std::vector<Row>& rows);

void printTable(const std::vector<Row>& rows);
void printDetails(const Figures& ours, const Figures& theirs, bool showFrames);
void printFilledDetails(const FilledRun& run);

}  // namespace bench
