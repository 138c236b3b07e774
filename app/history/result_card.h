#pragma once
// The result card: one picture of one run to share. The machine (processor, memory, system), the
// kernels that ran, the single- and multi-core throughput scores with their intervals, the
// verdict, the seven tests as bars against the bundled references, and the sustained run's and
// the thread scaling's summaries when the run has them. Private: it shows nothing that names the
// machine or its user (no host name, user name, machine id or serial number; no file names), and
// the file's own title and description are fixed texts.
#include <nlohmann/json.hpp>

#include <QRect>
#include <QSize>
#include <optional>
#include <string>
#include <vector>

#include "app/history/result_summary.h"

class QPainter;

namespace asmpic::app {

// A run to draw: a result file (JSON), a stored run's id in the history at `historyPath`, or the
// name of a bundled reference. Nothing, with `error` set, when it is none of them or not a sound
// result document.
std::optional<nlohmann::ordered_json> LoadResultDocument(const std::string& name, const std::string& historyPath,
                                                         const std::string& assetsDirectory, std::string* error);

// The card's size for this document and these references.
QSize ResultCardSize(const nlohmann::ordered_json& document, const std::vector<ResultSummary>& references);

// Draws the card into `area` (ResultCardSize's size). A document that SummarizeDocument refuses
// draws its machine and nothing else.
void DrawResultCard(QPainter& painter, const nlohmann::ordered_json& document,
                    const std::vector<ResultSummary>& references, const QRect& area);

// Writes the card to `path` as SVG or PNG by its extension. False, with `error` set, for a
// document that is no sound result or a file that cannot be written.
bool WriteResultCard(const nlohmann::ordered_json& document, const std::vector<ResultSummary>& references,
                     const std::string& path, std::string* error);

}  // namespace asmpic::app
