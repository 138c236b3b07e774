#pragma once
// The end of a finished headless run: its output files and its place in the history are one
// decision. The history's write lock is taken first (waiting for another program, and saying so),
// then the files replace their targets and the run is committed to the history while signals wait;
// a signal before that point leaves every file and the history as they were.
#include <nlohmann/json.hpp>

#include <iosfwd>
#include <string>

#include "app/history/history_cli.h"
#include "platform/output_files.h"

namespace asmpic::app {

struct CommitOutcome {
  int interruptedBefore = 0;  // a signal came first: nothing was written or stored
  int interruptedDuring = 0;  // a signal came while the results were put in place: they all were
  bool written = true;        // every staged output is in place
  bool historyFailed = false;  // the run was to be stored and was not
  std::string saying;          // what to tell the user after the report (failures, the stored run)
};

// With `quiet`, a run that was stored is not said (failures still are).
CommitOutcome CommitRun(platform::OutputFiles& outputs, const HistoryOptions& history,
                        const nlohmann::ordered_json& document, std::ostream& err, bool quiet = false);

}  // namespace asmpic::app
